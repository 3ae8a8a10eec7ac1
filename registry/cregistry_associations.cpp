// Registering an executable as the shell's handler of a file type, written
// entirely through the object's own properties and value writes.
#include "platform/error.h"
#include "platform/ignore_errors.h"
#include "registry/cregistry.h"
#include "registry/registry_errors.h"

namespace brakkis {
namespace {

std::string QuotedPath(const std::string& path) {
    const auto first = path.find_first_not_of(' ');
    std::string exe =
        first == std::string::npos ? std::string() : path.substr(first, path.find_last_not_of(' ') - first + 1);
    if (exe.empty() || exe.front() != '"') exe.insert(exe.begin(), '"');
    if (exe.back() != '"') exe += '"';
    return exe;
}

std::string OrDefault(const std::string& text, const std::string& fallback) { return text.empty() ? fallback : text; }

}  // namespace

void CRegistry::CreateEXEAssociation(const std::string& sExePath, const std::string& sClassName,
                                     const std::string& sClassDescription, const std::string& sAssociation,
                                     const std::string& sOpenMenuText, bool bSupportPrint,
                                     const std::string& sPrintMenuText, bool bSupportNew,
                                     const std::string& sNewMenuText, bool bSupportInstall,
                                     const std::string& sInstallMenuText, std::int32_t lDefaultIconIndex) {
    const std::string exe = QuotedPath(sExePath);
    const auto writeDefault = [this](const std::string& section, const std::string& data) {
        sectionKey_ = section;
        valueKey_.clear();
        SetValue(data);
    };
    const auto writeVerb = [&](const std::string& verb, const std::string& menuText, const std::string& switchText) {
        const std::string verbKey = sClassName + "\\shell\\" + verb;
        writeDefault(verbKey, menuText);
        writeDefault(verbKey + "\\command", exe + switchText + " \"%1\"");
    };

    classKey_ = static_cast<std::int32_t>(reg::kClassesRoot);
    valueType_ = static_cast<std::int32_t>(reg::kSz);
    writeDefault("." + sAssociation, sClassName);
    writeDefault(sClassName, sClassDescription);
    writeVerb("open", OrDefault(sOpenMenuText, "&Open"), "");
    if (bSupportPrint) writeVerb("print", OrDefault(sPrintMenuText, "&Print"), " /p");
    if (bSupportInstall) {
        writeVerb("add", OrDefault(sInstallMenuText, "&Install " + sAssociation), " /a");
    }
    if (bSupportNew) writeVerb("new", OrDefault(sNewMenuText, "&New"), " /n");
    if (lDefaultIconIndex > -1) {
        writeDefault(sClassName + "\\DefaultIcon", exe + "," + std::to_string(lDefaultIconIndex));
    }
}

void CRegistry::CreateAdditionalEXEAssociations(const std::string& sClassName, const std::vector<Variant>& vItems) {
    // Nothing reaches the caller: each refusal is raised and swallowed, and
    // a write that fails leaves only its own entry out.
    const bool itemsValid = SkipOnError([&] {
        if (vItems.size() % 3 != 0) {
            Raise(registry_error::kAssociationItems,
                  "Invalid parameter list passed to CreateAdditionalEXEAssociations - expected "
                  "Name/Text/Command");
        }
    });
    if (!itemsValid) return;

    sectionKey_ = sClassName;
    const bool classDefined = SkipOnError([&] {
        if (!KeyExists()) {
            Raise(registry_error::kAssociationClass,
                  "Error - attempt to create additional associations before class defined.");
        }
    });
    if (!classDefined) return;

    for (std::size_t item = 0; item < vItems.size(); item += 3) {
        const std::string verbKey = sClassName + "\\shell\\" + VariantToText(vItems[item]);
        valueType_ = static_cast<std::int32_t>(reg::kSz);
        sectionKey_ = verbKey;
        valueKey_.clear();
        SkipOnError([&] { SetValue(vItems[item + 1]); });
        sectionKey_ = verbKey + "\\command";
        valueKey_.clear();
        SkipOnError([&] { SetValue(vItems[item + 2]); });
    }
}

}  // namespace brakkis

#include "launcher/render_device.h"

#include <algorithm>

#include "launcher/launcher_texts.h"
#include "platform/ascii_case.h"
#include "platform/error.h"

namespace brakkis {
namespace {

bool EqualNoCase(char a, char b) { return ascii::FoldCase(a) == ascii::FoldCase(b); }

std::size_t FindNoCase(const std::string& text, const std::string& what, std::size_t from) {
    if (what.empty() || from > text.size()) return std::string::npos;
    const auto it = std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), what.begin(), what.end(),
                                EqualNoCase);
    return it == text.end() ? std::string::npos : static_cast<std::size_t>(it - text.begin());
}

[[noreturn]] void InvalidArgument() {
    throw RaisedError(errnum::kInvalidCall, texts::kErrorSource, "Invalid procedure call or argument");
}

}  // namespace

std::string RenderDeviceLine(const std::string& text) {
    const std::size_t key = FindNoCase(text, "GameRenderDevice", 0);
    if (key == std::string::npos) InvalidArgument();
    const std::size_t end = text.find("\r\n", key);
    if (end == std::string::npos) InvalidArgument();
    return text.substr(key, end - key);
}

std::string ReplaceAllNoCase(const std::string& text, const std::string& oldText, const std::string& newText) {
    std::string result;
    result.reserve(text.size());
    std::size_t pos = 0;
    for (std::size_t hit; (hit = FindNoCase(text, oldText, pos)) != std::string::npos; pos = hit + oldText.size()) {
        result.append(text, pos, hit - pos).append(newText);
    }
    return result.append(text, pos, std::string::npos);
}

}  // namespace brakkis

#include "launcher/general_section.h"

#include <cstddef>

#include "platform/ascii_case.h"

namespace brakkis {
namespace {

// Any of CR LF, LF or CR ends a line: files edited by hand on other systems
// still have their sections found.
std::size_t NextLineStart(const std::string& text, std::size_t pos) {
    const std::size_t n = text.size();
    while (pos < n && text[pos] != '\r' && text[pos] != '\n') ++pos;
    if (pos < n && text[pos] == '\r') {
        ++pos;
        if (pos < n && text[pos] == '\n') ++pos;
    } else if (pos < n) {
        ++pos;
    }
    return pos;
}

std::string LineAt(const std::string& text, std::size_t pos) {
    std::size_t end = pos;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    return text.substr(pos, end - pos);
}

std::string Trimmed(const std::string& line) {
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return line.substr(first, line.find_last_not_of(" \t") - first + 1);
}

bool IsSectionHeader(const std::string& line) {
    const std::string t = Trimmed(line);
    return !t.empty() && t.front() == '[';
}

bool IsGeneralHeader(const std::string& line) {
    return ascii::EqualNoCase(Trimmed(line), "[General]");
}

}  // namespace

GeneralSectionSplit SplitAroundGeneralSection(const std::string& content) {
    // Every leading mark goes at once: were one left, the next rewrite would
    // drop it and find a header the first one did not, and a file that
    // changes its sections between rewrites loses lines.
    static const std::string kBom = "\xEF\xBB\xBF";
    std::size_t start = 0;
    while (content.compare(start, kBom.size(), kBom) == 0) start += kBom.size();
    const std::string text = content.substr(start);

    std::size_t pos = 0;
    while (pos < text.size() && !IsGeneralHeader(LineAt(text, pos))) pos = NextLineStart(text, pos);
    if (pos >= text.size()) {
        // The new section goes before the first other section, never above
        // lines that belong to no section: below its header they would join
        // it, and the next rewrite would drop them with it.
        std::size_t first = 0;
        while (first < text.size() && !IsSectionHeader(LineAt(text, first))) first = NextLineStart(text, first);
        std::string before = text.substr(0, first);
        const bool lineOpen = !before.empty() && before.back() != '\r' && before.back() != '\n';
        return {lineOpen ? before + "\r\n" : before, text.substr(first)};
    }

    std::size_t end = NextLineStart(text, pos);
    while (end < text.size() && !IsSectionHeader(LineAt(text, end))) end = NextLineStart(text, end);
    return {text.substr(0, pos), text.substr(end)};
}

}  // namespace brakkis

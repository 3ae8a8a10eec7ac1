#include "launcher/general_section.h"

#include <cstddef>
#include <string_view>

#include "platform/ascii_case.h"

namespace brakkis {
namespace {

// The same section rules hold for 8-bit and 16-bit text: only the ASCII
// units CR, LF, blank, tab, '[' and the letters of "[General]" matter, and
// every other unit is carried along untouched.
template <class Text>
bool IsLineEnd(typename Text::value_type unit) {
    return unit == '\r' || unit == '\n';
}

// Any of CR LF, LF or CR ends a line: files edited by hand on other systems
// still have their sections found.
template <class Text>
std::size_t NextLineStart(const Text& text, std::size_t pos) {
    while (pos < text.size() && !IsLineEnd<Text>(text[pos])) ++pos;
    if (pos < text.size() && text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ++pos;
    return pos < text.size() ? pos + 1 : pos;
}

// The line starting at pos, without its end and the blanks and tabs around it.
template <class Text>
Text TrimmedLine(const Text& text, std::size_t pos) {
    std::size_t end = pos;
    while (end < text.size() && !IsLineEnd<Text>(text[end])) ++end;
    while (pos < end && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    while (end > pos && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    return text.substr(pos, end - pos);
}

template <class Text>
bool IsSectionHeader(const Text& text, std::size_t pos) {
    const Text line = TrimmedLine(text, pos);
    return !line.empty() && line.front() == '[';
}

template <class Text>
bool IsGeneralHeader(const Text& text, std::size_t pos) {
    constexpr std::string_view kHeader = "[General]";
    const Text line = TrimmedLine(text, pos);
    if (line.size() != kHeader.size()) return false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] > 0x7F || ascii::FoldCase(static_cast<char>(line[i])) != ascii::FoldCase(kHeader[i])) return false;
    }
    return true;
}

template <class Text>
Text WithSection(const Text& text, const Text& section) {
    std::size_t pos = 0;
    while (pos < text.size() && !IsGeneralHeader(text, pos)) pos = NextLineStart(text, pos);
    if (pos < text.size()) {
        std::size_t end = NextLineStart(text, pos);
        while (end < text.size() && !IsSectionHeader(text, end)) end = NextLineStart(text, end);
        return text.substr(0, pos) + section + text.substr(end);
    }
    // The new section goes before the first other section, never above
    // lines that belong to no section: below its header they would join it,
    // and the next rewrite would drop them with it.
    std::size_t first = 0;
    while (first < text.size() && !IsSectionHeader(text, first)) first = NextLineStart(text, first);
    Text before = text.substr(0, first);
    if (!before.empty() && !IsLineEnd<Text>(before.back())) before += Text{'\r', '\n'};
    return before + section + text.substr(first);
}

// Every leading mark goes but one: were an extra one left, the next rewrite
// would find a header this one did not, and a file whose sections change
// between rewrites loses lines.
template <class Text>
Text WithoutLeadingMarks(Text text, const Text& mark) {
    std::size_t start = 0;
    while (text.compare(start, mark.size(), mark) == 0) start += mark.size();
    return text.substr(start);
}

}  // namespace

std::string WithGeneralSection(const std::string& content, const GeneralSection& lines) {
    std::string section;
    for (const char* line : lines) section.append(line).append("\r\n");

    const std::string utf8Mark = "\xEF\xBB\xBF";
    if (content.starts_with(utf8Mark)) return utf8Mark + WithSection(WithoutLeadingMarks(content, utf8Mark), section);

    const std::string utf16Mark = "\xFF\xFE";
    if (content.starts_with(utf16Mark) && content.size() % 2 == 0 && content.compare(2, 2, std::string(2, '\0')) != 0) {
        std::u16string units;
        for (std::size_t i = 0; i < content.size(); i += 2) {
            units += static_cast<char16_t>(static_cast<unsigned char>(content[i]) |
                                           static_cast<unsigned char>(content[i + 1]) << 8);
        }
        const std::u16string rewritten = WithSection(WithoutLeadingMarks(units, std::u16string(1, 0xFEFF)),
                                                     std::u16string(section.begin(), section.end()));
        std::string bytes = utf16Mark;
        for (const char16_t unit : rewritten)
            bytes.append({static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)});
        return bytes;
    }

    const bool ansi =
        content.find('\0') == std::string::npos && !content.starts_with(utf16Mark) && !content.starts_with("\xFE\xFF");
    return ansi ? WithSection(content, section) : section;
}

}  // namespace brakkis

#include "registry/variant.h"

#include <charconv>
#include <type_traits>

namespace brakkis {
namespace {

std::string DoubleToText(double number) {
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, number).ptr;
    return std::string(buffer, end);
}

// Hex pairs, because a byte array usually arrives here as binary data that
// someone will read in an error text; the pairs also parse back through the
// binary-array builder.
std::string BytesToText(const ByteArray& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t byte : bytes) {
        if (!text.empty()) text += ' ';
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

}  // namespace

std::string VariantToText(const Variant& value) {
    return std::visit(
        [](const auto& held) -> std::string {
            using T = std::decay_t<decltype(held)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return {};
            } else if constexpr (std::is_same_v<T, std::string>) {
                return held;
            } else if constexpr (std::is_same_v<T, bool>) {
                return held ? "True" : "False";
            } else if constexpr (std::is_same_v<T, double>) {
                return DoubleToText(held);
            } else if constexpr (std::is_same_v<T, ByteArray>) {
                return BytesToText(held);
            } else {
                return std::to_string(held);
            }
        },
        value);
}

}  // namespace brakkis

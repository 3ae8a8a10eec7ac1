// Building byte arrays from hex texts, for callers that write REG_BINARY.
#include <cmath>
#include <limits>

#include "platform/error.h"
#include "registry/cregistry.h"

namespace brakkis {

ByteArray CRegistry::InitBinaryArray(const std::vector<Variant>& vItems) {
    // A static member knows no program name, so these carry no source.
    if (vItems.empty()) {
        throw RaisedError(errnum::kSubscriptOutOfRange, "", "Subscript out of range");
    }
    ByteArray bytes;
    bytes.reserve(vItems.size());
    for (const Variant& item : vItems) {
        const std::int32_t number = ParseHexText(VariantToText(item));
        if (number < 0 || number > 255) throw RaisedError(errnum::kOverflow, "", "Overflow");
        bytes.push_back(static_cast<std::uint8_t>(number));
    }
    return bytes;
}

// Digits are counted by their character codes: anything that is not 0-9
// counts its code minus 55, which is right for A-F only. Lowercase letters
// therefore count 42 and up, and a sign or blank fails the text, giving 0.
std::int32_t CRegistry::ParseHexText(const std::string& text) {
    double result = 0;
    int exponent = 0;
    for (auto it = text.rbegin(); it != text.rend(); ++it, ++exponent) {
        const int code = static_cast<unsigned char>(*it);
        const int count = (code >= '0' && code <= '9') ? code - '0' : code - 55;
        if (count < 0 || count > 255) return 0;
        // Summed in double precision, as the 16^k terms need, and held to
        // what a signed 32-bit result can carry.
        result += count * std::pow(16.0, exponent);
        if (!std::isfinite(result) || result > std::numeric_limits<std::int32_t>::max()) return 0;
    }
    return static_cast<std::int32_t>(result);
}

}  // namespace brakkis

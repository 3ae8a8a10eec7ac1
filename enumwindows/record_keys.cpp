#include "enumwindows/record_keys.h"

#include <cstdint>
#include <limits>

namespace brakkis {

std::string MakeKey(std::int64_t id) {
    std::uint64_t bits;
    if (id >= std::numeric_limits<std::int32_t>::min() && id <= std::numeric_limits<std::int32_t>::max()) {
        bits = static_cast<std::uint32_t>(static_cast<std::int32_t>(id));
    } else {
        bits = static_cast<std::uint64_t>(id);
    }
    char digits[16];
    int n = 0;
    do {
        digits[n++] = "0123456789ABCDEF"[bits & 0xF];
        bits >>= 4;
    } while (bits != 0);
    std::string key = "K-";
    key.reserve(2 + static_cast<std::size_t>(n));
    while (n > 0) key.push_back(digits[--n]);
    return key;
}

std::string BaseNameOf(std::string_view path) {
    const auto slash = path.rfind('\\');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string TrimAtNull(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

}  // namespace brakkis

// Byte arrays built from hex texts: each item gives the byte its characters
// count to, or the whole build fails: with no items, or with an item past 255.
#include "fuzz/fuzz_support.h"
#include "platform/error.h"
#include "registry/cregistry.h"

namespace {

// Counted with whole numbers: 0-9 by their digit, anything else by its code
// minus 55; a character that counts below 0, or a sum past 2^31 - 1, makes
// the text worth 0. A zero digit far enough left still overflows 16^k.
std::int64_t HexWorth(const std::string& text) {
    std::int64_t sum = 0;
    std::size_t k = 0;
    for (auto it = text.rbegin(); it != text.rend(); ++it, ++k) {
        const int code = static_cast<unsigned char>(*it);
        const int count = code >= '0' && code <= '9' ? code - '0' : code - 55;
        if (count < 0 || k >= 256) return 0;
        if (count == 0) continue;
        if (k >= 8) return 0;
        sum += count * (std::int64_t{1} << (4 * k));
        if (sum > 2147483647) return 0;
    }
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte of each part picks the kind of item, the rest is its text.
    std::vector<brakkis::Variant> items;
    std::vector<std::string> texts;
    const std::string input(reinterpret_cast<const char*>(data), size);
    for (std::size_t at = 0; at < input.size();) {
        std::size_t cut = input.find('\x1E', at);
        if (cut == std::string::npos) cut = input.size();
        const std::string part = input.substr(at, cut - at);
        at = cut + 1;
        const std::string rest = part.empty() ? std::string() : part.substr(1);
        switch (part.empty() ? 0 : part[0] % 4) {
            case 0: items.emplace_back(rest); break;
            case 1: items.emplace_back(static_cast<std::int16_t>(std::strtol(rest.c_str(), nullptr, 10))); break;
            case 2: items.emplace_back(static_cast<std::int32_t>(std::strtoll(rest.c_str(), nullptr, 10))); break;
            default: items.emplace_back(); break;
        }
        texts.push_back(brakkis::VariantToText(items.back()));
    }

    std::int32_t expectedError = items.empty() ? brakkis::errnum::kSubscriptOutOfRange : 0;
    for (const std::string& text : texts) {
        if (expectedError == 0 && HexWorth(text) > 255) expectedError = brakkis::errnum::kOverflow;
    }
    try {
        const brakkis::ByteArray bytes = brakkis::CRegistry::InitBinaryArray(items);
        FUZZ_CHECK(expectedError == 0);
        FUZZ_CHECK(bytes.size() == items.size());
        for (std::size_t i = 0; i < bytes.size(); ++i) FUZZ_CHECK(bytes[i] == HexWorth(texts[i]));
    } catch (const brakkis::RaisedError& error) {
        FUZZ_CHECK(error.Number() == expectedError);
    }
    return 0;
}

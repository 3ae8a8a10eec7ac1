// Reading back a value of any stored type and data: the shape each type
// gives, the type reported, and no key handle left open.
#include <algorithm>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "tests/fakes/sim_registry.h"
#include "registry/cregistry.h"

namespace {

constexpr const char* kSection = "Software\\Brakkis\\Fuzz";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // Type 255 stands for the wide codes: the next four bytes give one.
    std::uint32_t type = data[0];
    std::size_t skip = 1;
    if (type == 255 && size >= 5) std::memcpy(&type, data + 1, 4), skip = 5;
    const std::string stored(reinterpret_cast<const char*>(data + skip), size - skip);

    brakkis::sim::SimRegistry registry;
    registry.SetEnvironment("GAME", "C:\\UT");
    brakkis::RegKey key = 0;
    registry.CreateKeyEx(brakkis::reg::kCurrentUser, kSection, 0, brakkis::reg::kAllButDelete, &key, nullptr);
    // One byte more than the size, never a NUL: the data is stored exactly as given.
    const std::string buffer = stored + "x";
    registry.SetValueEx(key, "Brakkis", type, reinterpret_cast<const std::uint8_t*>(buffer.data()),
                        static_cast<std::uint32_t>(stored.size()));
    registry.CloseKey(key);

    brakkis::CRegistry r(registry, "Brakkis Isle");
    r.SetClassKey(static_cast<std::int32_t>(brakkis::reg::kCurrentUser));
    r.SetSectionKey(kSection);
    r.SetValueKey("brakkis");  // names match in any case
    r.SetDefault(std::string("default"));
    const brakkis::Variant value = r.GetValue();
    FUZZ_CHECK(r.ValueType() == static_cast<std::int32_t>(type));

    const std::string text = stored.empty() ? std::string() : stored.substr(0, stored.size() - 1);
    std::string word = stored.substr(0, 4);
    word.resize(4, '\0');
    std::int32_t number = 0;
    std::memcpy(&number, word.data(), 4);
    switch (type) {
        case brakkis::reg::kSz:
        case brakkis::reg::kMultiSz: FUZZ_CHECK(value == brakkis::Variant(text)); break;
        case brakkis::reg::kExpandSz: {
            std::string expanded(registry.ExpandEnvironmentStrings(text, nullptr, 0), '\0');
            registry.ExpandEnvironmentStrings(text, expanded.data(), static_cast<std::uint32_t>(expanded.size()));
            expanded.pop_back();
            FUZZ_CHECK(value == brakkis::Variant(expanded));
            break;
        }
        case brakkis::reg::kDword: FUZZ_CHECK(value == brakkis::Variant(number)); break;
        case brakkis::reg::kDwordBigEndian:
            std::reverse(word.begin(), word.end());
            std::memcpy(&number, word.data(), 4);
            FUZZ_CHECK(value == brakkis::Variant(number));
            break;
        default: FUZZ_CHECK(value == brakkis::Variant(brakkis::ByteArray(stored.begin(), stored.end())));
    }
    // Only a plain string counts as the launcher's own value.
    FUZZ_CHECK(r.ValueExists() == (type == brakkis::reg::kSz));
    FUZZ_CHECK(r.DeleteValue());
    FUZZ_CHECK(r.GetValue() == brakkis::Variant(std::string("default")));
    FUZZ_CHECK(r.ValueType() == static_cast<std::int32_t>(type));
    FUZZ_CHECK(!r.DeleteValue());
    FUZZ_CHECK(registry.OpenHandleCount() == 0);
    return 0;
}

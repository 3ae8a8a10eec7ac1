// Writing text: it is stored whole with one terminator, as REG_EXPAND_SZ
// exactly when a second percent sign stands at least two places after the
// first, whatever text type was asked for; other types refuse text alone.
#include "fuzz/fuzz_support.h"
#include "platform/error.h"
#include "tests/fakes/sim_registry.h"
#include "registry/cregistry.h"
#include "registry/registry_errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::int32_t asked = data[0] % 9;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    brakkis::sim::SimRegistry registry;
    brakkis::CRegistry r(registry, "Brakkis Isle");
    r.SetClassKey(static_cast<std::int32_t>(brakkis::reg::kCurrentUser));
    r.SetSectionKey("Software\\Brakkis");
    r.SetValueKey("Path");
    r.SetValueType(asked);

    bool raised = false;
    try {
        r.SetValue(text);
    } catch (const brakkis::RaisedError& error) {
        raised = true;
        FUZZ_CHECK(asked == 3 ? error.Number() == brakkis::registry_error::kKeyOrValue
                              : error.Number() == brakkis::registry_error::kSetValue);
    }
    FUZZ_CHECK(r.ValueType() == asked);
    FUZZ_CHECK(registry.OpenHandleCount() == 0);

    brakkis::RegKey key = 0;
    FUZZ_CHECK(registry.OpenKeyEx(brakkis::reg::kCurrentUser, "Software\\Brakkis", 0, 1, &key) == 0);
    std::uint32_t type = 0, stored = 0;
    const bool exists = registry.QueryValueEx(key, "Path", &type, nullptr, &stored) == 0;
    if (asked != 1 && asked != 2) {
        // Integers only for the word types: text writes nothing, and says so
        // only where the type cannot take text at all.
        FUZZ_CHECK(raised == (asked != 4 && asked != 5));
        FUZZ_CHECK(!exists);
    } else {
        FUZZ_CHECK(!raised && exists);
        const std::size_t first = text.find('%');
        const bool expandable = first != std::string::npos && text.find('%', first + 2) != std::string::npos;
        FUZZ_CHECK(type == (expandable ? brakkis::reg::kExpandSz : brakkis::reg::kSz));
        std::string bytes(stored, '\0');
        registry.QueryValueEx(key, "Path", &type, reinterpret_cast<std::uint8_t*>(bytes.data()), &stored);
        FUZZ_CHECK(bytes == text + '\0');
    }
    registry.CloseKey(key);
    return 0;
}

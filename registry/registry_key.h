// Owns a key handle obtained through the registry port for the length of one
// operation, so every path out of it, a raise included, closes the key.
#pragma once

#include "platform/registry_calls.h"

namespace brakkis {

class RegistryKey {
public:
    // Always: the close is issued even for a handle that stayed 0, as the
    // operations that never look at their open's status do.
    enum class Close { IfOpened, Always };

    explicit RegistryKey(RegistryCalls& calls, Close when = Close::IfOpened) noexcept : calls_(calls), when_(when) {}
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() {
        if (key_ != 0 || when_ == Close::Always) calls_.CloseKey(key_);
    }

    RegKey* Receive() noexcept { return &key_; }
    RegKey Get() const noexcept { return key_; }

private:
    RegistryCalls& calls_;
    Close when_;
    RegKey key_ = 0;
};

}  // namespace brakkis

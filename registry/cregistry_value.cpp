// The `value` property: reading a value in the shape its type gives it, and
// writing one in the shape the caller selected through ValueType.
#include <algorithm>
#include <cstring>

#include "platform/error.h"
#include "registry/cregistry.h"
#include "registry/registry_errors.h"
#include "registry/registry_key.h"

namespace brakkis {
namespace {

// Text with a pair of percent signs that can hold a name between them is
// stored expandable, whatever type the caller asked for, so that a path
// written as %TEMP%\x keeps working when read back by other programs.
bool LooksExpandable(const std::string& text) {
    const auto first = text.find('%');
    return first != std::string::npos && text.find('%', first + 2) != std::string::npos;
}

std::int32_t ToInt32(const std::uint8_t* bytes) {
    std::int32_t number = 0;
    std::memcpy(&number, bytes, sizeof number);
    return number;
}

}  // namespace

Variant CRegistry::GetValue() {
    RegistryKey key(calls_, RegistryKey::Close::Always);
    calls_.OpenKeyEx(Root(), sectionKey_, 0, reg::kQueryValue, key.Receive());

    // A zero-sized buffer only learns the type and the size; a value with
    // data answers "more data", an empty one plain success.
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    std::uint8_t probe[4] = {};
    const std::int32_t status = calls_.QueryValueEx(key.Get(), valueKey_, &type, probe, &size);
    if (status != reg::kSuccess && status != reg::kMoreData) return default_;

    valueType_ = static_cast<std::int32_t>(type);
    return ReadData(key.Get(), type, size);
}

// The second query's status is not looked at: a read that fails in between
// yields the buffer as it was prepared.
Variant CRegistry::ReadData(RegKey key, std::uint32_t type, std::uint32_t size) {
    std::uint32_t ignoredType = 0;
    switch (type) {
        case reg::kSz:
        case reg::kExpandSz:
        case reg::kMultiSz: {
            // The stored data less its last byte, normally the terminator; NULs
            // inside, such as multi-string separators, stay.
            std::string text(std::max<std::uint32_t>(size, 1), '\0');
            calls_.QueryValueEx(key, valueKey_, &ignoredType, reinterpret_cast<std::uint8_t*>(text.data()), &size);
            text.resize(text.size() - 1);
            if (type == reg::kExpandSz) return ExpandEnvironmentText(text);
            return text;
        }
        case reg::kDword:
        case reg::kDwordBigEndian: {
            // The size handed over is the stored one, as for every type; the
            // buffer is widened so that an oversized value cannot overrun it.
            ByteArray buffer(std::max<std::uint32_t>(size, 4), 0);
            calls_.QueryValueEx(key, valueKey_, &ignoredType, buffer.data(), &size);
            const std::int32_t number = ToInt32(buffer.data());
            return type == reg::kDword ? number : ReverseByteOrder(number);
        }
        default: {
            ByteArray bytes(size, 0);
            calls_.QueryValueEx(key, valueKey_, &ignoredType, bytes.data(), &size);
            return bytes;
        }
    }
}

void CRegistry::SetValue(const Variant& vValue) {
    RegistryKey key(calls_);
    if (OpenOrCreate(key.Receive()) != reg::kSuccess) {
        Raise(registry_error::kKeyOrValue, SetValueDescription(vValue));
    }
    if (StoreValue(key.Get(), vValue) != reg::kSuccess) {
        Raise(registry_error::kSetValue, SetValueDescription(vValue));
    }
}

std::int32_t CRegistry::StoreValue(RegKey key, const Variant& vValue) {
    switch (valueType_) {
        case reg::kSz:
        case reg::kExpandSz: {
            const std::string text = VariantToText(vValue);
            const std::uint32_t type = LooksExpandable(text) ? reg::kExpandSz : reg::kSz;
            return calls_.SetValueEx(key, valueKey_, type, reinterpret_cast<const std::uint8_t*>(text.c_str()),
                                     static_cast<std::uint32_t>(text.size() + 1));
        }
        case reg::kBinary: {
            const auto* bytes = std::get_if<ByteArray>(&vValue);
            if (bytes == nullptr) {
                // Raised bare; what it carries is what the runtime fills in for
                // an error that names neither source nor description.
                throw RaisedError(registry_error::kKeyOrValue, exeName_, "Application-defined or object-defined error");
            }
            return calls_.SetValueEx(key, valueKey_, reg::kBinary, bytes->data(),
                                     static_cast<std::uint32_t>(bytes->size()));
        }
        case reg::kDword:
        case reg::kDwordBigEndian: {
            // Big-endian is accepted as a request but stored in machine order.
            std::int32_t number = 0;
            if (const auto* small = std::get_if<std::int16_t>(&vValue)) {
                number = *small;
            } else if (const auto* large = std::get_if<std::int32_t>(&vValue)) {
                number = *large;
            } else {
                return reg::kSuccess;
            }
            return calls_.SetValueEx(key, valueKey_, reg::kDword, reinterpret_cast<const std::uint8_t*>(&number),
                                     sizeof number);
        }
        default:
            return reg::kInvalidData;
    }
}

std::string CRegistry::SetValueDescription(const Variant& vValue) const {
    return "Failed to set registry value Key: '" + std::to_string(classKey_) + "',Section: '" + sectionKey_ +
           "',Key: '" + valueKey_ + "' to value: '" + VariantToText(vValue) + "'";
}

std::int32_t CRegistry::ReverseByteOrder(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    return static_cast<std::int32_t>((bits >> 24) | ((bits >> 8) & 0xFF00u) | ((bits << 8) & 0xFF0000u) | (bits << 24));
}

std::string CRegistry::ExpandEnvironmentText(const std::string& text) {
    const std::uint32_t needed = calls_.ExpandEnvironmentStrings(text, nullptr, 0);
    if (needed == 0) return {};
    std::string expanded(needed, '\0');
    calls_.ExpandEnvironmentStrings(text, expanded.data(), needed);
    expanded.resize(needed - 1);
    return expanded;
}

}  // namespace brakkis

// Move-only owners for operating-system handles: each closes its handle with
// the call that matches how it was opened, exactly once.
#pragma once

#include <utility>

#include "platform/win32/windows_api.h"

namespace brakkis::win32 {

template <class Traits>
class ScopedHandle {
public:
    using Handle = typename Traits::Handle;

    ScopedHandle() noexcept = default;
    explicit ScopedHandle(Handle handle) noexcept : handle_(handle) {}
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ~ScopedHandle() { Reset(); }

    bool IsValid() const noexcept { return Traits::IsValid(handle_); }
    explicit operator bool() const noexcept { return IsValid(); }
    Handle Get() const noexcept { return handle_; }
    // For out-parameters of the calls that open handles.
    Handle* Receive() noexcept {
        Reset();
        return &handle_;
    }
    Handle Release() noexcept { return std::exchange(handle_, Traits::Null()); }
    void Reset(Handle handle = Traits::Null()) noexcept {
        if (Traits::IsValid(handle_)) Traits::Close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Traits::Null();
};

// Kernel objects: processes, threads, snapshots. Both 0 and
// INVALID_HANDLE_VALUE mean "none", depending on the call that opened it.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Null() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;

// Directory searches.
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Null() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) noexcept { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Handle h) noexcept { ::FindClose(h); }
};
using ScopedFindHandle = ScopedHandle<FindHandleTraits>;

// Registry keys opened below a root; the roots themselves are never closed.
struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Null() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::RegCloseKey(h); }
};
using ScopedRegKey = ScopedHandle<RegKeyTraits>;

// Libraries probed at run time.
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Null() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::FreeLibrary(h); }
};
using ScopedLibrary = ScopedHandle<ModuleTraits>;

// GDI objects: the splash bitmap and brushes.
struct GdiObjectTraits {
    using Handle = HGDIOBJ;
    static Handle Null() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::DeleteObject(h); }
};
using ScopedGdiObject = ScopedHandle<GdiObjectTraits>;

// Memory device contexts made with CreateCompatibleDC.
struct MemoryDcTraits {
    using Handle = HDC;
    static Handle Null() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::DeleteDC(h); }
};
using ScopedMemoryDc = ScopedHandle<MemoryDcTraits>;

// Icons loaded without LR_SHARED.
struct IconTraits {
    using Handle = HICON;
    static Handle Null() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::DestroyIcon(h); }
};
using ScopedIcon = ScopedHandle<IconTraits>;

}  // namespace brakkis::win32

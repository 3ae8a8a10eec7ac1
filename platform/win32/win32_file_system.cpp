#include "platform/win32/win32_file_system.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_errors.h"
#include "platform/path_names.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace brakkis {
namespace {

using path_names::EndsWithSeparator;
using path_names::HasWildcard;
using path_names::NameMatches;
using win32::ScopedFindHandle;
using win32::ScopedKernelHandle;

std::int32_t NumberFor(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return errnum::kFileNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_DIRECTORY:
            return errnum::kPathNotFound;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return errnum::kFileAlreadyExists;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
        case ERROR_DIR_NOT_EMPTY:
            return errnum::kPermissionDenied;
        default:
            return errnum::kInvalidCall;  // ERROR_NOT_SAME_DEVICE among them
    }
}

[[noreturn]] void RaiseLastError() { RaiseFileError(NumberFor(::GetLastError())); }

bool IsFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsFolder(const std::string& path) { return IsFolder(::GetFileAttributesA(path.c_str())); }

// "C:\" and "\" stay roots; any other trailing separator goes.
std::string TrimFolder(std::string path) {
    while (path.size() > 1 && EndsWithSeparator(path) && path[path.size() - 2] != ':') path.pop_back();
    return path;
}

std::pair<std::string, std::string> Split(const std::string& path) {
    const std::size_t at = path.find_last_of("\\/");
    if (at == std::string::npos) return {".", path};
    const bool root = at == 0 || path[at - 1] == ':';
    return {path.substr(0, root ? at + 1 : at), path.substr(at + 1)};
}

std::string Join(const std::string& folder, const std::string& name) {
    return EndsWithSeparator(folder) ? folder + name : folder + "\\" + name;
}

// One entry by its name, found the way Windows finds it (case aside), with
// its own spelling in cFileName.
std::optional<WIN32_FIND_DATAA> Lookup(const std::string& path) {
    WIN32_FIND_DATAA data{};
    ScopedFindHandle find(::FindFirstFileA(path.c_str(), &data));
    if (!find) return std::nullopt;
    return data;
}

// Every entry is listed and matched here rather than by the pattern search
// of FindFirstFile, which would also match 8.3 short names: "*.ini" must not
// pick up "Brakkis.ini.bak" through a short name like "BRAKKI~1.INI".
bool ListFolder(const std::string& folder, std::vector<WIN32_FIND_DATAA>& entries) {
    WIN32_FIND_DATAA data{};
    ScopedFindHandle find(::FindFirstFileA(Join(folder, "*").c_str(), &data));
    if (!find) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const std::string name = data.cFileName;
        if (name != "." && name != "..") entries.push_back(data);
    } while (::FindNextFileA(find.Get(), &data));
    return true;
}

// Files (not folders) that the name or pattern picks, in a stable order.
std::vector<std::string> MatchingFiles(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> names;
    if (!HasWildcard(pattern)) {
        const auto entry = Lookup(Join(folder, pattern));
        if (entry && !(entry->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(entry->cFileName);
        return names;
    }
    std::vector<WIN32_FIND_DATAA> entries;
    ListFolder(folder, entries);
    for (const WIN32_FIND_DATAA& entry : entries) {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && NameMatches(pattern, entry.cFileName)) {
            names.push_back(entry.cFileName);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool IsLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

bool HasReadOnlyEntry(const std::string& folder) {
    const DWORD own = ::GetFileAttributesA(folder.c_str());
    if (own != INVALID_FILE_ATTRIBUTES && (own & FILE_ATTRIBUTE_READONLY)) return true;
    std::vector<WIN32_FIND_DATAA> entries;
    ListFolder(folder, entries);
    for (const WIN32_FIND_DATAA& entry : entries) {
        if (IsLink(entry.dwFileAttributes)) continue;
        const bool readOnly = IsFolder(entry.dwFileAttributes)
                                  ? HasReadOnlyEntry(Join(folder, entry.cFileName))
                                  : (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
        if (readOnly) return true;
    }
    return false;
}

void ClearReadOnly(const std::string& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY) ::SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

// Stops at the first failure: what is left stays where it was. Junctions and
// links are removed, never entered, so nothing outside the folder is touched.
DWORD RemoveTree(const std::string& folder, bool force) {
    std::vector<WIN32_FIND_DATAA> entries;
    if (!ListFolder(folder, entries)) return ::GetLastError();
    for (const WIN32_FIND_DATAA& entry : entries) {
        const std::string path = Join(folder, entry.cFileName);
        if (force) ClearReadOnly(path, entry.dwFileAttributes);
        if (IsFolder(entry.dwFileAttributes) && !IsLink(entry.dwFileAttributes)) {
            if (const DWORD error = RemoveTree(path, force)) return error;
        } else if (!(IsFolder(entry.dwFileAttributes) ? ::RemoveDirectoryA(path.c_str())
                                                      : ::DeleteFileA(path.c_str()))) {
            return ::GetLastError();
        }
    }
    if (force) ClearReadOnly(folder, ::GetFileAttributesA(folder.c_str()));
    return ::RemoveDirectoryA(folder.c_str()) ? ERROR_SUCCESS : ::GetLastError();
}

class ReadStream final : public TextStream {
public:
    explicit ReadStream(ScopedKernelHandle file) : file_(std::move(file)) {}

    std::string ReadAll() override {
        CheckOpen();
        std::string text;
        char buffer[8192];
        DWORD got = 0;
        do {
            if (!::ReadFile(file_.Get(), buffer, sizeof buffer, &got, nullptr)) RaiseLastError();
            text.append(buffer, got);
        } while (got > 0);
        return text;
    }
    void Write(const std::string&) override {
        CheckOpen();
        RaiseFileError(errnum::kBadFileMode);
    }
    void WriteLine(const std::string& text) override { Write(text); }
    void Close() override {
        CheckOpen();
        file_.Reset();
    }

private:
    void CheckOpen() const {
        if (!file_) RaiseFileError(errnum::kInvalidCall);
    }
    ScopedKernelHandle file_;
};

// Writes go to a file beside the target; the target changes only at Close,
// in one rename, after the new bytes are flushed to disk.
class WriteStream final : public TextStream {
public:
    WriteStream(ScopedKernelHandle file, std::string temp, std::string target, DWORD keepAttributes)
        : file_(std::move(file)), temp_(std::move(temp)), target_(std::move(target)), keepAttributes_(keepAttributes) {}
    // Released without Close: what was written is thrown away and the
    // player's file keeps its old content.
    ~WriteStream() override {
        if (!file_) return;
        file_.Reset();
        ::DeleteFileA(temp_.c_str());
    }

    std::string ReadAll() override {
        CheckOpen();
        RaiseFileError(errnum::kBadFileMode);
    }
    void Write(const std::string& text) override {
        CheckOpen();
        const char* data = text.data();
        std::size_t left = text.size();
        while (left > 0 && failure_ == 0) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 20));
            if (!::WriteFile(file_.Get(), data, chunk, &written, nullptr)) {
                // A file missing a piece must never replace the player's file.
                failure_ = NumberFor(::GetLastError());
            }
            data += written;
            left -= written;
        }
        if (failure_ != 0) RaiseFileError(failure_);
    }
    void WriteLine(const std::string& text) override { Write(text + "\r\n"); }
    void Close() override {
        CheckOpen();
        std::int32_t failure = failure_;
        if (failure == 0 && !::FlushFileBuffers(file_.Get())) failure = NumberFor(::GetLastError());
        file_.Reset();
        if (failure == 0 &&
            !::MoveFileExA(temp_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            failure = NumberFor(::GetLastError());
        }
        if (failure != 0) {
            ::DeleteFileA(temp_.c_str());
            RaiseFileError(failure);
        }
        // A hidden or system file stays so; the new file was created plain.
        if (keepAttributes_ != 0) ::SetFileAttributesA(target_.c_str(), keepAttributes_);
    }

private:
    void CheckOpen() const {
        if (!file_) RaiseFileError(errnum::kInvalidCall);
    }
    ScopedKernelHandle file_;
    std::int32_t failure_ = 0;
    std::string temp_;
    std::string target_;
    DWORD keepAttributes_;
};

class Win32FileSystem final : public FileSystem {
public:
    bool FileExists(const std::string& path) override {
        const auto [folder, name] = Split(path);
        return !name.empty() && !MatchingFiles(folder, name).empty();
    }

    bool FolderExists(const std::string& path) override { return IsFolder(TrimFolder(path)); }

    // The folder's own permissions asked for the right to add files and
    // folders; taking one away (deleting) is the files' own right. Any call
    // that fails leaves the answer yes: only a certain no may stop a player.
    bool FolderWritable(const std::string& path) override {
        const SECURITY_INFORMATION parts =
            OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
        DWORD size = 0;
        ::GetFileSecurityA(TrimFolder(path).c_str(), parts, nullptr, 0, &size);
        std::vector<char> descriptor(size);
        ScopedKernelHandle token, impersonation;
        if (size == 0 || !::GetFileSecurityA(TrimFolder(path).c_str(), parts, descriptor.data(), size, &size) ||
            !::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, token.Receive()) ||
            !::DuplicateToken(token.Get(), SecurityImpersonation, impersonation.Receive())) {
            return true;
        }
        GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
        DWORD wanted = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY, granted = 0;
        PRIVILEGE_SET privileges{};
        DWORD privilegesSize = sizeof privileges;
        BOOL allowed = TRUE;
        ::MapGenericMask(&wanted, &mapping);
        if (!::AccessCheck(descriptor.data(), impersonation.Get(), wanted, &mapping, &privileges, &privilegesSize,
                           &granted, &allowed)) {
            return true;
        }
        return allowed != FALSE;
    }

    void CreateFolder(const std::string& path) override {
        if (!::CreateDirectoryA(TrimFolder(path).c_str(), nullptr)) RaiseLastError();
    }

    void DeleteFolder(const std::string& path, bool force) override {
        const std::string folder = TrimFolder(path);
        const DWORD attributes = ::GetFileAttributesA(folder.c_str());
        if (!IsFolder(attributes)) RaiseFileError(errnum::kPathNotFound);
        if (IsLink(attributes)) {
            if (!::RemoveDirectoryA(folder.c_str())) RaiseLastError();
            return;
        }
        if (!force && HasReadOnlyEntry(folder)) RaiseFileError(errnum::kPermissionDenied);
        if (const DWORD error = RemoveTree(folder, force)) RaiseFileError(NumberFor(error));
    }

    void MoveFile(const std::string& source, const std::string& destination) override {
        const auto [sourceFolder, pattern] = Split(source);
        if (!IsFolder(sourceFolder)) RaiseFileError(errnum::kPathNotFound);
        const std::vector<std::string> names =
            pattern.empty() ? std::vector<std::string>{} : MatchingFiles(sourceFolder, pattern);
        if (names.empty()) RaiseFileError(errnum::kFileNotFound);

        // Several files can only go into a folder, so a pattern makes the
        // destination a folder even without its trailing backslash.
        const bool intoFolder = EndsWithSeparator(destination) || HasWildcard(pattern);
        const auto [targetFolder, targetName] =
            intoFolder ? std::make_pair(TrimFolder(destination), std::string()) : Split(destination);
        if (!IsFolder(targetFolder)) RaiseFileError(errnum::kPathNotFound);

        std::int32_t firstFailure = 0;
        for (const std::string& name : names) {
            const std::string target = Join(targetFolder, intoFolder ? name : targetName);
            std::int32_t failure = 0;
            // No flags: never over an existing name, file or folder, never a
            // copy to another drive. The call itself refuses a name that is
            // taken; asking first would cost a second look-up of the target
            // per file, and under Wine a look-up of a missing name reads the
            // whole folder.
            if (!::MoveFileExA(Join(sourceFolder, name).c_str(), target.c_str(), 0)) {
                failure = NumberFor(::GetLastError());
            }
            if (firstFailure == 0) firstFailure = failure;
        }
        if (firstFailure != 0) RaiseFileError(firstFailure);
    }

    void DeleteFile(const std::string& path) override {
        const auto [folder, pattern] = Split(path);
        if (!IsFolder(folder)) RaiseFileError(errnum::kPathNotFound);
        const std::vector<std::string> names =
            pattern.empty() ? std::vector<std::string>{} : MatchingFiles(folder, pattern);
        if (names.empty()) RaiseFileError(errnum::kFileNotFound);
        std::int32_t firstFailure = 0;
        for (const std::string& name : names) {
            if (!::DeleteFileA(Join(folder, name).c_str()) && firstFailure == 0)
                firstFailure = NumberFor(::GetLastError());
        }
        if (firstFailure != 0) RaiseFileError(firstFailure);
    }

    std::unique_ptr<TextStream> OpenTextFile(const std::string& path, IOMode mode, bool create,
                                             TextFormat format) override {
        const auto [folder, name] = Split(path);
        if (format != TextFormat::Ascii || (mode != IOMode::ForReading && mode != IOMode::ForWriting) ||
            HasWildcard(name)) {
            RaiseFileError(errnum::kInvalidCall);
        }
        if (!IsFolder(folder)) RaiseFileError(errnum::kPathNotFound);
        if (name.empty()) RaiseFileError(errnum::kFileNotFound);
        const auto existing = Lookup(path);
        if (existing && IsFolder(existing->dwFileAttributes)) RaiseFileError(errnum::kPermissionDenied);
        if (!existing && !create) RaiseFileError(errnum::kFileNotFound);
        // The replacement takes the existing file's own spelling.
        const std::string target = Join(folder, existing ? std::string(existing->cFileName) : name);
        const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

        if (mode == IOMode::ForReading) {
            ScopedKernelHandle file(::CreateFileA(target.c_str(), GENERIC_READ, share, nullptr,
                                                  existing ? OPEN_EXISTING : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                                  nullptr));
            if (!file) RaiseLastError();
            return std::make_unique<ReadStream>(std::move(file));
        }

        DWORD keepAttributes = 0;
        if (existing) {
            if (existing->dwFileAttributes & FILE_ATTRIBUTE_READONLY) RaiseFileError(errnum::kPermissionDenied);
            // Someone holding the file without sharing it would make the
            // rename at Close fail; say so now, before anything is written.
            ScopedKernelHandle probe(::CreateFileA(target.c_str(), GENERIC_WRITE | DELETE, share, nullptr,
                                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!probe) RaiseLastError();
            keepAttributes = existing->dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        }
        const std::string temp = target + kPendingWriteSuffix;
        ScopedKernelHandle file(
            ::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) RaiseLastError();
        return std::make_unique<WriteStream>(std::move(file), temp, target, keepAttributes);
    }
};

}  // namespace

std::unique_ptr<FileSystem> CreateWin32FileSystem() { return std::make_unique<Win32FileSystem>(); }

}  // namespace brakkis

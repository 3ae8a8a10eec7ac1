// An in-memory disk and the file-system service over it, answering as the
// Win32 adapter does (one contract suite holds both to the same answers).
// Paths are Windows paths; names match in any letter case and keep their own
// spelling. Every call of the service and of its streams is one operation,
// announced to `beforeOperation` first: a test can fail it there, or copy
// the disk as a process that died at that moment would leave it.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ascii_case.h"
#include "platform/file_errors.h"
#include "platform/file_system.h"
#include "platform/path_names.h"

namespace brakkis::fakes {

inline std::pair<std::string, std::string> SplitPath(const std::string& path) {
    const auto at = path.rfind('\\');
    return at == std::string::npos ? std::pair{std::string(), path}
                                   : std::pair{path.substr(0, at), path.substr(at + 1)};
}

inline std::string Trimmed(std::string path) {
    while (path_names::EndsWithSeparator(path)) path.pop_back();
    return path;
}

inline void FailUnless(bool condition, std::int32_t number) {
    if (!condition) RaiseFileError(number);
}

struct FakeDisk {
    struct Entry {
        bool folder = false;
        bool readOnly = false;  // a folder: its user may not add to it
        std::string bytes;
    };
    std::map<std::string, Entry> entries;  // by full path as spelled
    int operations = 0;
    std::function<void(int operation, const std::string& what)> beforeOperation;

    void Announce(const std::string& what) {
        const int operation = operations++;
        if (beforeOperation) beforeOperation(operation, what);
    }
    std::map<std::string, Entry>::iterator Find(const std::string& path) {
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            if (ascii::EqualNoCase(it->first, Trimmed(path))) return it;
        }
        return entries.end();
    }
    bool Has(const std::string& path) { return Find(path) != entries.end(); }
    // A path without a backslash is a drive: always there.
    bool IsFolder(const std::string& path) {
        return Trimmed(path).find('\\') == std::string::npos || (Has(path) && Find(path)->second.folder);
    }
    void MakeFolder(const std::string& path) {
        if (!IsFolder(SplitPath(path).first)) MakeFolder(SplitPath(path).first);
        if (!Has(path)) entries[path] = Entry{true, false, {}};
    }
    void Put(const std::string& path, const std::string& bytes, bool readOnly = false) {
        MakeFolder(SplitPath(path).first);
        entries[Has(path) ? Find(path)->first : path] = Entry{false, readOnly, bytes};
    }
    // Everything below a folder by relative path, a folder as "name\".
    std::map<std::string, std::string> Below(const std::string& folder) const {
        std::map<std::string, std::string> found;
        for (const auto& [path, entry] : entries) {
            if (ascii::StartsWithNoCase(path, Trimmed(folder) + "\\")) {
                found[path.substr(Trimmed(folder).size() + 1) + (entry.folder ? "\\" : "")] = entry.bytes;
            }
        }
        return found;
    }
    // The files (never folders) that a name or pattern picks in an existing folder.
    std::vector<std::string> Matching(const std::string& path) {
        const auto [folder, pattern] = SplitPath(path);
        FailUnless(IsFolder(folder), errnum::kPathNotFound);
        std::vector<std::string> found;
        for (const auto& [one, entry] : entries) {
            const auto [parent, name] = SplitPath(one);
            if (!entry.folder && !pattern.empty() && ascii::EqualNoCase(parent, folder) &&
                path_names::NameMatches(pattern, name)) {
                found.push_back(one);
            }
        }
        return found;
    }
};

// A read stream reads the file as it stands; a write stream gathers its text
// in the pending-write file, which Close renames over the target.
class FakeStream final : public TextStream {
public:
    FakeStream(FakeDisk& disk, std::string target, bool writing)
        : disk_(disk), target_(std::move(target)), writing_(writing) {
        if (writing_) disk_.entries[Pending()] = {};
    }
    ~FakeStream() override {
        if (writing_ && open_) disk_.entries.erase(Pending());
    }
    std::string ReadAll() override { return Use("ReadAll", false), disk_.entries[target_].bytes; }
    void Write(const std::string& text) override { Use("Write", true), disk_.entries[Pending()].bytes += text; }
    void WriteLine(const std::string& text) override { Write(text + "\r\n"); }
    void Close() override {
        Use("Close", writing_);
        open_ = false;
        if (writing_) disk_.entries[target_] = disk_.entries[Pending()], disk_.entries.erase(Pending());
    }

private:
    std::string Pending() const { return target_ + kPendingWriteSuffix; }
    void Use(const char* what, bool forWriting) {
        disk_.Announce(what);
        FailUnless(open_, errnum::kInvalidCall);
        FailUnless(forWriting == writing_, errnum::kBadFileMode);
    }
    FakeDisk& disk_;
    std::string target_;
    bool writing_, open_ = true;
};

class FakeFileSystem final : public FileSystem {
public:
    explicit FakeFileSystem(FakeDisk& disk) : disk_(disk) {}
    bool FileExists(const std::string& path) override {
        disk_.Announce("FileExists " + path);
        return disk_.IsFolder(SplitPath(path).first) && !disk_.Matching(path).empty();
    }
    bool FolderExists(const std::string& path) override {
        return disk_.Announce("FolderExists " + path), disk_.IsFolder(path);
    }
    bool FolderWritable(const std::string& path) override {
        disk_.Announce("FolderWritable " + path);
        return !disk_.Has(path) || !disk_.Find(path)->second.readOnly;
    }
    void CreateFolder(const std::string& path) override {
        disk_.Announce("CreateFolder " + path);
        FailUnless(disk_.IsFolder(SplitPath(Trimmed(path)).first), errnum::kPathNotFound);
        FailUnless(!disk_.Has(path), errnum::kFileAlreadyExists);
        disk_.entries[Trimmed(path)] = FakeDisk::Entry{true, false, {}};
    }
    // Without force, a read-only entry anywhere inside stops it before anything goes.
    void DeleteFolder(const std::string& path, bool force) override {
        disk_.Announce("DeleteFolder " + path);
        FailUnless(disk_.Has(path) && disk_.Find(path)->second.folder, errnum::kPathNotFound);
        const std::string folder = disk_.Find(path)->first;
        for (const auto& [one, entry] : disk_.entries) {
            if (one == folder || ascii::StartsWithNoCase(one, folder + "\\"))
                FailUnless(force || !entry.readOnly, errnum::kPermissionDenied);
        }
        std::erase_if(disk_.entries, [&](const auto& e) {
            return e.first == folder || ascii::StartsWithNoCase(e.first, folder + "\\");
        });
    }
    // Every file it can; a name already taken is never overwritten.
    void MoveFile(const std::string& source, const std::string& destination) override {
        disk_.Announce("MoveFile " + source);
        const std::vector<std::string> paths = disk_.Matching(source);
        FailUnless(!paths.empty(), errnum::kFileNotFound);
        const bool intoFolder =
            path_names::EndsWithSeparator(destination) || path_names::HasWildcard(SplitPath(source).second);
        const std::string folder = intoFolder ? Trimmed(destination) : SplitPath(destination).first;
        FailUnless(disk_.IsFolder(folder), errnum::kPathNotFound);
        bool taken = false;
        for (const std::string& path : paths) {
            const std::string target = folder + "\\" + SplitPath(intoFolder ? path : destination).second;
            const bool free = !disk_.Has(target);
            if (free) disk_.entries[target] = disk_.entries[path], disk_.entries.erase(path);
            taken |= !free;
        }
        FailUnless(!taken, errnum::kFileAlreadyExists);
    }
    void DeleteFile(const std::string& path) override {
        disk_.Announce("DeleteFile " + path);
        const std::vector<std::string> paths = disk_.Matching(path);
        FailUnless(!paths.empty(), errnum::kFileNotFound);
        const auto deleted = std::erase_if(disk_.entries, [&](const auto& entry) {
            return std::ranges::count(paths, entry.first) && !entry.second.readOnly;
        });
        FailUnless(deleted == paths.size(), errnum::kPermissionDenied);
    }
    std::unique_ptr<TextStream> OpenTextFile(const std::string& path, IOMode mode, bool create,
                                             TextFormat format) override {
        disk_.Announce("OpenTextFile " + path);
        const auto [folder, name] = SplitPath(path);
        FailUnless(format == TextFormat::Ascii && !path_names::HasWildcard(name), errnum::kInvalidCall);
        FailUnless(disk_.IsFolder(folder), errnum::kPathNotFound);
        const bool exists = disk_.Has(path);
        FailUnless(exists || (create && !name.empty()), errnum::kFileNotFound);
        const FakeDisk::Entry entry = exists ? disk_.Find(path)->second : FakeDisk::Entry{};
        FailUnless(!entry.folder && !(mode == IOMode::ForWriting && entry.readOnly), errnum::kPermissionDenied);
        const std::string target = exists ? disk_.Find(path)->first : path;
        if (!exists && mode == IOMode::ForReading) disk_.entries[target] = {};
        return std::make_unique<FakeStream>(disk_, target, mode == IOMode::ForWriting);
    }

private:
    FakeDisk& disk_;
};

}  // namespace brakkis::fakes

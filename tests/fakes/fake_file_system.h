// An in-memory disk and the file-system service over it, held to the Win32
// adapter's answers by one contract suite. Paths are Windows paths; names
// match in any case and keep their own spelling. Every call of the service and
// its streams is announced to `beforeOperation` first: a test can fail it
// there, or copy the disk as a process dying at that moment would leave it.
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
    return {at == std::string::npos ? "" : path.substr(0, at), path.substr(at + 1)};
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
        bool folder = false, readOnly = false;  // a read-only folder: its user may not add to it
        std::string bytes;
    };
    struct NoCase {
        bool operator()(std::string_view a, std::string_view b) const {
            return ascii::LowerCase(a) < ascii::LowerCase(b);
        }
    };
    std::map<std::string, Entry, NoCase> entries;
    int operations = 0;
    std::function<void(int operation, const std::string& what)> beforeOperation = [](int, const std::string&) {};

    void Announce(const std::string& what) { beforeOperation(operations++, what); }
    Entry* Find(const std::string& path) {
        const auto it = entries.find(Trimmed(path));
        return it == entries.end() ? nullptr : &it->second;
    }
    // A path without a backslash is a drive: always there.
    bool IsFolder(const std::string& path) {
        return Trimmed(path).find('\\') == std::string::npos || (Find(path) && Find(path)->folder);
    }
    void MakeFolder(const std::string& path) {
        if (!IsFolder(path)) MakeFolder(SplitPath(Trimmed(path)).first), entries[Trimmed(path)] = {true, false, ""};
    }
    // A file, or a folder when the path ends in a backslash.
    void Put(const std::string& path, const std::string& bytes, bool readOnly = false) {
        MakeFolder(SplitPath(path).first);
        if (!path.ends_with('\\')) entries[path] = Entry{false, readOnly, bytes};
    }
    bool Inside(const std::string& path, const std::string& folder) const {
        return ascii::StartsWithNoCase(path, Trimmed(folder) + "\\");
    }
    // Everything below a folder by relative path, a folder as "name\".
    std::map<std::string, std::string> Below(const std::string& folder) const {
        std::map<std::string, std::string> found;
        for (const auto& [path, entry] : entries)
            if (Inside(path, folder))
                found[path.substr(Trimmed(folder).size() + 1) + (entry.folder ? "\\" : "")] = entry.bytes;
        return found;
    }
    // The files (never folders) that a name or pattern picks in an existing folder.
    std::vector<std::string> Matching(const std::string& path) {
        const auto [folder, pattern] = SplitPath(path);
        FailUnless(IsFolder(folder), errnum::kPathNotFound);
        std::vector<std::string> found;
        for (const auto& [one, entry] : entries)
            if (!entry.folder && ascii::EqualNoCase(SplitPath(one).first, folder) &&
                path_names::NameMatches(pattern, SplitPath(one).second))
                found.push_back(one);
        return found;
    }
};

// A read stream reads the file as it stands; a write stream gathers its text
// in the pending-write file, which Close renames over the target.
struct FakeStream final : TextStream {
    FakeStream(FakeDisk& disk, std::string target, bool writing)
        : disk_(disk), target_(target), pending_(target + kPendingWriteSuffix), writing_(writing) {
        if (writing_) disk_.entries[pending_] = {};
    }
    ~FakeStream() override {
        if (writing_ && open_) disk_.entries.erase(pending_);
    }
    std::string ReadAll() override { return Use("ReadAll", false), disk_.entries[target_].bytes; }
    void Write(const std::string& text) override { Use("Write", true), disk_.entries[pending_].bytes += text; }
    void WriteLine(const std::string& text) override { Write(text + "\r\n"); }
    void Close() override {
        Use("Close", writing_);
        open_ = false;
        if (writing_) disk_.entries[target_] = disk_.entries[pending_], disk_.entries.erase(pending_);
    }
    void Use(const char* what, bool forWriting) {
        disk_.Announce(what);
        FailUnless(open_, errnum::kInvalidCall);
        FailUnless(forWriting == writing_, errnum::kBadFileMode);
    }
    FakeDisk& disk_;
    std::string target_, pending_;
    bool writing_, open_ = true;
};

struct FakeFileSystem final : FileSystem {
    explicit FakeFileSystem(FakeDisk& disk) : disk_(disk) {}
    bool FileExists(const std::string& path) override {
        disk_.Announce("FileExists " + path);
        return disk_.IsFolder(SplitPath(path).first) && !disk_.Matching(path).empty();
    }
    bool FolderExists(const std::string& path) override {
        return disk_.Announce("FolderExists " + path), disk_.IsFolder(path);
    }
    bool FolderWritable(const std::string& path) override {
        return disk_.Announce("FolderWritable " + path), !disk_.Find(path) || !disk_.Find(path)->readOnly;
    }
    void CreateFolder(const std::string& path) override {
        disk_.Announce("CreateFolder " + path);
        FailUnless(disk_.IsFolder(SplitPath(Trimmed(path)).first), errnum::kPathNotFound);
        FailUnless(!disk_.Find(path), errnum::kFileAlreadyExists);
        disk_.MakeFolder(path);
    }
    void DeleteFolder(const std::string& path, bool force) override {
        disk_.Announce("DeleteFolder " + path);
        FailUnless(disk_.Find(path) && disk_.Find(path)->folder, errnum::kPathNotFound);
        const auto goes = [&](const auto& entry) { return disk_.Inside(entry.first + "\\", path); };
        for (const auto& entry : disk_.entries)
            FailUnless(force || !goes(entry) || !entry.second.readOnly, errnum::kPermissionDenied);
        std::erase_if(disk_.entries, goes);
    }
    void MoveFile(const std::string& source, const std::string& destination) override {
        disk_.Announce("MoveFile " + source);
        const std::vector<std::string> paths = disk_.Matching(source);
        FailUnless(!paths.empty(), errnum::kFileNotFound);
        const bool intoFolder =
            path_names::EndsWithSeparator(destination) || path_names::HasWildcard(SplitPath(source).second);
        const std::string folder = intoFolder ? Trimmed(destination) : SplitPath(destination).first;
        FailUnless(disk_.IsFolder(folder), errnum::kPathNotFound);
        std::size_t moved = 0;
        for (const std::string& path : paths) {
            const std::string target = folder + "\\" + SplitPath(intoFolder ? path : destination).second;
            if (disk_.entries.try_emplace(target, disk_.entries[path]).second) moved += disk_.entries.erase(path);
        }
        FailUnless(moved == paths.size(), errnum::kFileAlreadyExists);
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
    std::unique_ptr<TextStream> OpenTextFile(const std::string& path, IOMode mode, bool create, TextFormat) override {
        disk_.Announce("OpenTextFile " + path);
        FailUnless(disk_.IsFolder(SplitPath(path).first), errnum::kPathNotFound);
        const FakeDisk::Entry* entry = disk_.Find(path);
        FailUnless(entry || create, errnum::kFileNotFound);
        FailUnless(!entry || (!entry->folder && (mode == IOMode::ForReading || !entry->readOnly)),
                   errnum::kPermissionDenied);
        const std::string target = entry ? disk_.entries.find(path)->first : path;
        return std::make_unique<FakeStream>(disk_, target, mode == IOMode::ForWriting);
    }
    FakeDisk& disk_;
};

}  // namespace brakkis::fakes

#include "tests/fakes/fake_file_system.h"

#include <vector>

#include "platform/ascii_case.h"
#include "platform/file_errors.h"
#include "platform/path_names.h"

namespace brakkis::fakes {
namespace {

using path_names::EndsWithSeparator;
using path_names::HasWildcard;

std::string Trimmed(std::string path) {
    while (EndsWithSeparator(path)) path.pop_back();
    return path;
}

std::pair<std::string, std::string> Split(const std::string& path) {
    const auto at = path.rfind('\\');
    return at == std::string::npos ? std::pair{std::string(), path} : std::pair{path.substr(0, at), path.substr(at + 1)};
}

}  // namespace

void FakeDisk::Announce(const std::string& what) {
    const int operation = operations++;
    if (beforeOperation) beforeOperation(operation, what);
}

std::map<std::string, FakeDisk::Entry>::iterator FakeDisk::Find(const std::string& path) {
    const std::string wanted = Trimmed(path);
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (ascii::EqualNoCase(it->first, wanted)) return it;
    }
    return entries.end();
}

// A path without a backslash is a drive: always there.
bool FakeDisk::IsFolder(const std::string& path) {
    const auto it = Find(path);
    return Trimmed(path).find('\\') == std::string::npos || (it != entries.end() && it->second.folder);
}

void FakeDisk::MakeFolder(const std::string& path) {
    const std::string parent = Split(path).first;
    if (!parent.empty() && !IsFolder(parent)) MakeFolder(parent);
    if (Find(path) == entries.end()) entries[path] = Entry{true, false, {}};
}

void FakeDisk::Put(const std::string& path, const std::string& bytes, bool readOnly) {
    MakeFolder(Split(path).first);
    const auto it = Find(path);
    entries[it == entries.end() ? path : it->first] = Entry{false, readOnly, bytes};
}

std::map<std::string, std::string> FakeDisk::Below(const std::string& folder) const {
    std::map<std::string, std::string> found;
    const std::string prefix = Trimmed(folder) + "\\";
    for (const auto& [path, entry] : entries) {
        if (!ascii::StartsWithNoCase(path, prefix)) continue;
        found[path.substr(prefix.size()) + (entry.folder ? "\\" : "")] = entry.bytes;
    }
    return found;
}

namespace {

// The files (never folders) of a folder that a name or pattern picks.
std::vector<std::string> Matching(FakeDisk& disk, const std::string& folder, const std::string& pattern) {
    std::vector<std::string> paths;
    if (pattern.empty()) return paths;
    for (const auto& [path, entry] : disk.entries) {
        const auto [parent, name] = Split(path);
        if (!entry.folder && ascii::EqualNoCase(parent, folder) && path_names::NameMatches(pattern, name)) {
            paths.push_back(path);
        }
    }
    return paths;
}

class ReadStream final : public TextStream {
public:
    ReadStream(FakeDisk& disk, std::string bytes) : disk_(disk), bytes_(std::move(bytes)) {}
    std::string ReadAll() override { return Use("ReadAll"), bytes_; }
    void Write(const std::string&) override { Use("Write"), RaiseFileError(errnum::kBadFileMode); }
    void WriteLine(const std::string&) override { Use("WriteLine"), RaiseFileError(errnum::kBadFileMode); }
    void Close() override { Use("Close"), open_ = false; }

private:
    void Use(const char* what) {
        disk_.Announce(what);
        if (!open_) RaiseFileError(errnum::kInvalidCall);
    }
    FakeDisk& disk_;
    std::string bytes_;
    bool open_ = true;
};

class WriteStream final : public TextStream {
public:
    WriteStream(FakeDisk& disk, std::string target) : disk_(disk), target_(std::move(target)) {
        disk_.entries[Pending()] = {};
    }
    ~WriteStream() override {
        if (open_) disk_.entries.erase(Pending());
    }
    std::string ReadAll() override { return Use("ReadAll"), RaiseFileError(errnum::kBadFileMode), ""; }
    void Write(const std::string& text) override { Use("Write"), disk_.entries[Pending()].bytes += text; }
    void WriteLine(const std::string& text) override { Use("WriteLine"), disk_.entries[Pending()].bytes += text + "\r\n"; }
    void Close() override {
        Use("Close");
        open_ = false;
        disk_.entries[target_] = disk_.entries[Pending()];
        disk_.entries.erase(Pending());
    }

private:
    std::string Pending() const { return target_ + kPendingWriteSuffix; }
    void Use(const char* what) {
        disk_.Announce(what);
        if (!open_) RaiseFileError(errnum::kInvalidCall);
    }
    FakeDisk& disk_;
    std::string target_;
    bool open_ = true;
};

}  // namespace

bool FakeFileSystem::FileExists(const std::string& path) {
    disk_.Announce("FileExists " + path);
    const auto [folder, pattern] = Split(path);
    return !Matching(disk_, folder, pattern).empty();
}

bool FakeFileSystem::FolderExists(const std::string& path) {
    disk_.Announce("FolderExists " + path);
    return disk_.IsFolder(path);
}

bool FakeFileSystem::FolderWritable(const std::string& path) {
    disk_.Announce("FolderWritable " + path);
    const auto it = disk_.Find(path);
    return it == disk_.entries.end() || !it->second.readOnly;
}

void FakeFileSystem::CreateFolder(const std::string& path) {
    disk_.Announce("CreateFolder " + path);
    if (!disk_.IsFolder(Split(Trimmed(path)).first)) RaiseFileError(errnum::kPathNotFound);
    if (disk_.Find(path) != disk_.entries.end()) RaiseFileError(errnum::kFileAlreadyExists);
    disk_.entries[Trimmed(path)] = FakeDisk::Entry{true, false, {}};
}

void FakeFileSystem::DeleteFolder(const std::string& path, bool force) {
    disk_.Announce("DeleteFolder " + path);
    const auto it = disk_.Find(path);
    if (it == disk_.entries.end() || !it->second.folder) RaiseFileError(errnum::kPathNotFound);
    const std::string prefix = it->first + "\\";
    std::vector<std::string> doomed{it->first};
    for (const auto& [one, entry] : disk_.entries) {
        if (ascii::StartsWithNoCase(one, prefix)) doomed.push_back(one);
    }
    for (const std::string& one : doomed) {
        if (!force && disk_.entries[one].readOnly) RaiseFileError(errnum::kPermissionDenied);
    }
    for (const std::string& one : doomed) disk_.entries.erase(one);
}

void FakeFileSystem::MoveFile(const std::string& source, const std::string& destination) {
    disk_.Announce("MoveFile " + source);
    const auto [sourceFolder, pattern] = Split(source);
    if (!disk_.IsFolder(sourceFolder)) RaiseFileError(errnum::kPathNotFound);
    const std::vector<std::string> paths = Matching(disk_, sourceFolder, pattern);
    if (paths.empty()) RaiseFileError(errnum::kFileNotFound);
    const bool intoFolder = EndsWithSeparator(destination) || HasWildcard(pattern);
    const auto [targetFolder, targetName] = intoFolder ? std::pair{Trimmed(destination), std::string()} : Split(destination);
    if (!disk_.IsFolder(targetFolder)) RaiseFileError(errnum::kPathNotFound);
    std::int32_t failure = 0;
    for (const std::string& path : paths) {
        const std::string target = targetFolder + "\\" + (intoFolder ? Split(path).second : targetName);
        if (disk_.Find(target) != disk_.entries.end()) {
            failure = failure ? failure : errnum::kFileAlreadyExists;
            continue;
        }
        disk_.entries[target] = disk_.entries[path];
        disk_.entries.erase(path);
    }
    if (failure) RaiseFileError(failure);
}

void FakeFileSystem::DeleteFile(const std::string& path) {
    disk_.Announce("DeleteFile " + path);
    const auto [folder, pattern] = Split(path);
    if (!disk_.IsFolder(folder)) RaiseFileError(errnum::kPathNotFound);
    const std::vector<std::string> paths = Matching(disk_, folder, pattern);
    if (paths.empty()) RaiseFileError(errnum::kFileNotFound);
    std::int32_t failure = 0;
    for (const std::string& one : paths) {
        if (disk_.entries[one].readOnly) {
            failure = errnum::kPermissionDenied;
        } else {
            disk_.entries.erase(one);
        }
    }
    if (failure) RaiseFileError(failure);
}

std::unique_ptr<TextStream> FakeFileSystem::OpenTextFile(const std::string& path, IOMode mode, bool create,
                                                         TextFormat format) {
    disk_.Announce("OpenTextFile " + path);
    const auto [folder, name] = Split(path);
    if (format != TextFormat::Ascii || HasWildcard(name)) RaiseFileError(errnum::kInvalidCall);
    if (!disk_.IsFolder(folder)) RaiseFileError(errnum::kPathNotFound);
    const auto it = disk_.Find(path);
    if (it == disk_.entries.end() && (!create || name.empty())) RaiseFileError(errnum::kFileNotFound);
    if (it != disk_.entries.end() && (it->second.folder || (mode == IOMode::ForWriting && it->second.readOnly))) {
        RaiseFileError(errnum::kPermissionDenied);
    }
    const std::string target = it == disk_.entries.end() ? path : it->first;
    if (mode == IOMode::ForReading) {
        if (it == disk_.entries.end()) disk_.entries[target] = {};
        return std::make_unique<ReadStream>(disk_, disk_.entries[target].bytes);
    }
    return std::make_unique<WriteStream>(disk_, target);
}

}  // namespace brakkis::fakes

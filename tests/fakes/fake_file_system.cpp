#include "tests/fakes/fake_file_system.h"

#include <vector>

#include "platform/ascii_case.h"
#include "platform/file_errors.h"
#include "platform/path_names.h"

namespace brakkis::fakes {
namespace {

using path_names::EndsWithSeparator;

std::string Trimmed(std::string path) {
    while (EndsWithSeparator(path)) path.pop_back();
    return path;
}

std::pair<std::string, std::string> Split(const std::string& path) {
    const auto at = path.rfind('\\');
    return at == std::string::npos ? std::pair{std::string(), path} : std::pair{path.substr(0, at), path.substr(at + 1)};
}

void FailUnless(bool condition, std::int32_t number) {
    if (!condition) RaiseFileError(number);
}

}  // namespace

void FakeDisk::Announce(const std::string& what) {
    const int operation = operations++;
    if (beforeOperation) beforeOperation(operation, what);
}

std::map<std::string, FakeDisk::Entry>::iterator FakeDisk::Find(const std::string& path) {
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (ascii::EqualNoCase(it->first, Trimmed(path))) return it;
    }
    return entries.end();
}

// A path without a backslash is a drive: always there.
bool FakeDisk::IsFolder(const std::string& path) {
    const auto it = Find(path);
    return Trimmed(path).find('\\') == std::string::npos || (it != entries.end() && it->second.folder);
}

void FakeDisk::MakeFolder(const std::string& path) {
    if (!IsFolder(Split(path).first)) MakeFolder(Split(path).first);
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
        if (ascii::StartsWithNoCase(path, prefix)) found[path.substr(prefix.size()) + (entry.folder ? "\\" : "")] = entry.bytes;
    }
    return found;
}

// The files (never folders) of a folder that a name or pattern picks.
std::vector<std::string> FakeDisk::Matching(const std::string& path) {
    const auto [folder, pattern] = Split(path);
    std::vector<std::string> paths;
    for (const auto& [one, entry] : entries) {
        const auto [parent, name] = Split(one);
        if (!entry.folder && !pattern.empty() && ascii::EqualNoCase(parent, folder) &&
            path_names::NameMatches(pattern, name)) {
            paths.push_back(one);
        }
    }
    return paths;
}

namespace {

// A read stream holds the text as it was opened; a write stream gathers its
// text in the pending-write file, which Close renames over the target.
class Stream final : public TextStream {
public:
    Stream(FakeDisk& disk, std::string target, bool writing) : disk_(disk), target_(std::move(target)), writing_(writing) {
        if (writing_) disk_.entries[Pending()] = {};
    }
    ~Stream() override {
        if (writing_ && open_) disk_.entries.erase(Pending());
    }
    std::string ReadAll() override { return Use("ReadAll", false), disk_.entries[target_].bytes; }
    void Write(const std::string& text) override { Use("Write", true), disk_.entries[Pending()].bytes += text; }
    void WriteLine(const std::string& text) override { Write(text + "\r\n"); }
    void Close() override {
        Use("Close", writing_);
        open_ = false;
        if (!writing_) return;
        disk_.entries[target_] = disk_.entries[Pending()];
        disk_.entries.erase(Pending());
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
    bool writing_;
    bool open_ = true;
};

}  // namespace

bool FakeFileSystem::FileExists(const std::string& path) {
    disk_.Announce("FileExists " + path);
    return !disk_.Matching(path).empty();
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
    FailUnless(disk_.IsFolder(Split(Trimmed(path)).first), errnum::kPathNotFound);
    FailUnless(disk_.Find(path) == disk_.entries.end(), errnum::kFileAlreadyExists);
    disk_.entries[Trimmed(path)] = FakeDisk::Entry{true, false, {}};
}

// Without force, a read-only entry anywhere inside stops it before anything goes.
void FakeFileSystem::DeleteFolder(const std::string& path, bool force) {
    disk_.Announce("DeleteFolder " + path);
    const auto it = disk_.Find(path);
    FailUnless(it != disk_.entries.end() && it->second.folder, errnum::kPathNotFound);
    std::vector<std::string> doomed{it->first};
    for (const auto& [one, entry] : disk_.entries) {
        if (ascii::StartsWithNoCase(one, it->first + "\\")) doomed.push_back(one);
    }
    for (const std::string& one : doomed) FailUnless(force || !disk_.entries[one].readOnly, errnum::kPermissionDenied);
    for (const std::string& one : doomed) disk_.entries.erase(one);
}

void FakeFileSystem::MoveFile(const std::string& source, const std::string& destination) {
    disk_.Announce("MoveFile " + source);
    FailUnless(disk_.IsFolder(Split(source).first), errnum::kPathNotFound);
    const std::vector<std::string> paths = disk_.Matching(source);
    FailUnless(!paths.empty(), errnum::kFileNotFound);
    const bool intoFolder = EndsWithSeparator(destination) || path_names::HasWildcard(Split(source).second);
    const std::string folder = intoFolder ? Trimmed(destination) : Split(destination).first;
    FailUnless(disk_.IsFolder(folder), errnum::kPathNotFound);
    bool taken = false;
    for (const std::string& path : paths) {
        const std::string target = folder + "\\" + (intoFolder ? Split(path).second : Split(destination).second);
        if (disk_.Find(target) != disk_.entries.end()) {
            taken = true;
            continue;
        }
        disk_.entries[target] = disk_.entries[path];
        disk_.entries.erase(path);
    }
    FailUnless(!taken, errnum::kFileAlreadyExists);
}

void FakeFileSystem::DeleteFile(const std::string& path) {
    disk_.Announce("DeleteFile " + path);
    FailUnless(disk_.IsFolder(Split(path).first), errnum::kPathNotFound);
    const std::vector<std::string> paths = disk_.Matching(path);
    FailUnless(!paths.empty(), errnum::kFileNotFound);
    bool refused = false;
    for (const std::string& one : paths) {
        refused = refused || disk_.entries[one].readOnly;
        if (!disk_.entries[one].readOnly) disk_.entries.erase(one);
    }
    FailUnless(!refused, errnum::kPermissionDenied);
}

std::unique_ptr<TextStream> FakeFileSystem::OpenTextFile(const std::string& path, IOMode mode, bool create,
                                                         TextFormat format) {
    disk_.Announce("OpenTextFile " + path);
    const auto [folder, name] = Split(path);
    FailUnless(format == TextFormat::Ascii && !path_names::HasWildcard(name), errnum::kInvalidCall);
    FailUnless(disk_.IsFolder(folder), errnum::kPathNotFound);
    const auto it = disk_.Find(path);
    const bool exists = it != disk_.entries.end();
    FailUnless(exists || (create && !name.empty()), errnum::kFileNotFound);
    FailUnless(!exists || !(it->second.folder || (mode == IOMode::ForWriting && it->second.readOnly)),
               errnum::kPermissionDenied);
    const std::string target = exists ? it->first : path;
    if (!exists && mode == IOMode::ForReading) disk_.entries[target] = {};
    return std::make_unique<Stream>(disk_, target, mode == IOMode::ForWriting);
}

}  // namespace brakkis::fakes

#include "tests/fakes/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <unordered_set>
#include <vector>

#include "platform/ascii_case.h"
#include "platform/file_errors.h"
#include "platform/path_names.h"

namespace brakkis {
namespace {

using ascii::EqualNoCase;
using ascii::LowerCase;
using path_names::EndsWithSeparator;
using path_names::HasWildcard;
using path_names::NameMatches;

// ENOENT means "file not found" or "path not found" depending on whether the
// caller was after a file or the folder holding it.
std::int32_t NumberFor(int err, std::int32_t whenMissing) {
    switch (err) {
        case ENOENT: return whenMissing;
        case ENOTDIR: return errnum::kPathNotFound;
        case EEXIST:
        case ENOTEMPTY: return errnum::kFileAlreadyExists;
        case EACCES:
        case EPERM:
        case EROFS:
        case EBUSY:
        case ETXTBSY:
        case EISDIR: return errnum::kPermissionDenied;
        default: return errnum::kInvalidCall;
    }
}

// "Z:\game\x" and "/tmp/game\x" both name host paths; the drive letter has no
// meaning here and is dropped.
std::string ToHost(const std::string& path) {
    std::string host = path;
    if (host.size() >= 2 && host[1] == ':' && std::isalpha(static_cast<unsigned char>(host[0]))) {
        host.erase(0, 2);
    }
    std::replace(host.begin(), host.end(), '\\', '/');
    return host;
}

std::string StripTrailing(std::string host) {
    while (host.size() > 1 && host.back() == '/') host.pop_back();
    return host;
}

std::string Join(const std::string& folder, const std::string& name) {
    return (!folder.empty() && folder.back() == '/') ? folder + name : folder + "/" + name;
}

std::pair<std::string, std::string> SplitHost(const std::string& host) {
    const std::size_t at = host.rfind('/');
    if (at == std::string::npos) return {".", host};
    return {at == 0 ? "/" : host.substr(0, at), host.substr(at + 1)};
}

bool StatIs(const std::string& path, mode_t kind) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == kind;
}

// Tests run as root, to whom every file is writable: read-only means the
// owner's write bit, as a player's file manager shows it.
bool IsReadOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

// Each name with the entry's type as the folder listing tells it (DT_UNKNOWN
// where the file system keeps none).
bool ForEachEntry(const std::string& folder, const std::function<void(const std::string&, unsigned char)>& visit) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
    if (!dir) return false;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") visit(name, entry->d_type);
    }
    return true;
}

bool ForEachName(const std::string& folder, const std::function<void(const std::string&)>& visit) {
    return ForEachEntry(folder, [&](const std::string& name, unsigned char) { visit(name); });
}

// The entry's own spelling. An exact match wins; among names that differ only
// in case, the lowest sorts first so the choice never depends on disk order.
std::optional<std::string> FindName(const std::string& folder, const std::string& name) {
    if (name == "." || name == "..") return name;
    struct stat st {};
    if (::lstat(Join(folder, name).c_str(), &st) == 0) return name;
    std::optional<std::string> found;
    ForEachName(folder, [&](const std::string& candidate) {
        if (EqualNoCase(candidate, name) && (!found || candidate < *found)) found = candidate;
    });
    return found;
}

// The host spelling of an existing folder, or nothing.
std::optional<std::string> ResolveFolder(const std::string& host) {
    std::string current = (!host.empty() && host.front() == '/') ? "/" : ".";
    std::size_t start = 0;
    while (start <= host.size()) {
        std::size_t end = host.find('/', start);
        if (end == std::string::npos) end = host.size();
        const std::string component = host.substr(start, end - start);
        start = end + 1;
        if (component.empty()) continue;
        const auto actual = FindName(current, component);
        if (!actual) return std::nullopt;
        current = Join(current, *actual);
    }
    if (!StatIs(current, S_IFDIR)) return std::nullopt;
    return current;
}

// Regular files of the folder that the name or pattern picks, in a stable order.
std::vector<std::string> MatchingFiles(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> names;
    if (HasWildcard(pattern)) {
        // The listing already tells a plain file from a folder; only a link,
        // which counts as what it points at, or an entry of unknown type
        // costs a stat. A folder of 10,000 files is not stat'ed 10,000 times.
        ForEachEntry(folder, [&](const std::string& name, unsigned char type) {
            if (!NameMatches(pattern, name)) return;
            const bool file = type == DT_REG || ((type == DT_UNKNOWN || type == DT_LNK) && StatIs(Join(folder, name), S_IFREG));
            if (file) names.push_back(name);
        });
        std::sort(names.begin(), names.end());
    } else if (const auto name = FindName(folder, pattern)) {
        if (StatIs(Join(folder, *name), S_IFREG)) names.push_back(*name);
    }
    return names;
}

// rename(2) would silently replace an existing target; the no-replace flag
// closes the gap between our own existence check and the rename.
int RenameNoReplace(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
#endif
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

bool HasReadOnlyEntry(const std::string& folder) {
    struct stat st {};
    if (::lstat(folder.c_str(), &st) == 0 && IsReadOnly(st)) return true;
    bool found = false;
    ForEachName(folder, [&](const std::string& name) {
        struct stat entry {};
        const std::string path = Join(folder, name);
        if (found || ::lstat(path.c_str(), &entry) != 0 || S_ISLNK(entry.st_mode)) return;
        found = S_ISDIR(entry.st_mode) ? HasReadOnlyEntry(path) : IsReadOnly(entry);
    });
    return found;
}

// Stops at the first failure: what is left stays where it was. Links are
// removed, never followed, so nothing outside the folder is touched.
int RemoveTree(const std::string& folder, bool force) {
    if (force) {
        struct stat st {};
        if (::stat(folder.c_str(), &st) == 0) ::chmod(folder.c_str(), st.st_mode | S_IRWXU);
    }
    std::vector<std::string> names;
    ForEachName(folder, [&](const std::string& name) { names.push_back(name); });
    for (const std::string& name : names) {
        const std::string path = Join(folder, name);
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) return errno;
        const int err = (S_ISDIR(st.st_mode)) ? RemoveTree(path, force)
                                              : (::unlink(path.c_str()) == 0 ? 0 : errno);
        if (err != 0) return err;
    }
    return ::rmdir(folder.c_str()) == 0 ? 0 : errno;
}

int WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

class ReadStream final : public TextStream {
public:
    explicit ReadStream(int fd) : fd_(fd) {}
    ~ReadStream() override {
        if (fd_ >= 0) ::close(fd_);
    }

    std::string ReadAll() override {
        CheckOpen();
        std::string text;
        char buffer[8192];
        for (;;) {
            const ssize_t got = ::read(fd_, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) RaiseFileError(NumberFor(errno, errnum::kFileNotFound));
            if (got == 0) return text;
            text.append(buffer, static_cast<std::size_t>(got));
        }
    }
    void Write(const std::string&) override {
        CheckOpen();
        RaiseFileError(errnum::kBadFileMode);
    }
    void WriteLine(const std::string& text) override { Write(text); }
    void Close() override {
        CheckOpen();
        ::close(std::exchange(fd_, -1));
    }

private:
    void CheckOpen() const {
        if (fd_ < 0) RaiseFileError(errnum::kInvalidCall);
    }
    int fd_;
};

// Writes go to a file beside the target; the target changes only at Close,
// in one rename, after the new bytes are on disk.
class WriteStream final : public TextStream {
public:
    WriteStream(int fd, std::string folder, std::string temp, std::string target)
        : fd_(fd), folder_(std::move(folder)), temp_(std::move(temp)), target_(std::move(target)) {}
    // Released without Close: what was written is thrown away and the
    // player's file keeps its old content.
    ~WriteStream() override {
        if (fd_ < 0) return;
        ::close(fd_);
        ::unlink(temp_.c_str());
    }

    std::string ReadAll() override {
        CheckOpen();
        RaiseFileError(errnum::kBadFileMode);
    }
    void Write(const std::string& text) override {
        CheckOpen();
        if (const int err = WriteAll(fd_, text.data(), text.size())) {
            // A file missing a piece must never replace the player's file.
            if (failure_ == 0) failure_ = NumberFor(err, errnum::kFileNotFound);
            RaiseFileError(failure_);
        }
    }
    void WriteLine(const std::string& text) override { Write(text + "\r\n"); }
    void Close() override {
        CheckOpen();
        std::int32_t failure = failure_;
        if (failure == 0 && ::fsync(fd_) != 0) failure = NumberFor(errno, errnum::kFileNotFound);
        if (::close(std::exchange(fd_, -1)) != 0 && failure == 0) {
            failure = NumberFor(errno, errnum::kFileNotFound);
        }
        if (failure == 0 && ::rename(temp_.c_str(), target_.c_str()) != 0) {
            failure = NumberFor(errno, errnum::kPathNotFound);
        }
        if (failure != 0) {
            ::unlink(temp_.c_str());
            RaiseFileError(failure);
        }
        // The rename itself survives a crash only once the folder is synced.
        const int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }

private:
    void CheckOpen() const {
        if (fd_ < 0) RaiseFileError(errnum::kInvalidCall);
    }
    int fd_;
    std::int32_t failure_ = 0;
    std::string folder_;
    std::string temp_;
    std::string target_;
};

// The temporary name ends in ".tmp" so no "*.ini" or "*.int" pattern, the
// launcher's or the game's, can ever pick it up.
std::string TemporaryName(const std::string& target) {
    // One fixed name per target: a file left by a crash is taken over and
    // renamed away by the next write of the same file, so none piles up.
    return target + ".~brakkis.tmp";
}

class PosixFileSystem final : public FileSystem {
public:
    bool FileExists(const std::string& path) override {
        const auto [folder, name] = SplitHost(ToHost(path));
        const auto resolved = ResolveFolder(folder);
        return resolved && !name.empty() && !MatchingFiles(*resolved, name).empty();
    }

    bool FolderExists(const std::string& path) override {
        return ResolveFolder(StripTrailing(ToHost(path))).has_value();
    }

    void CreateFolder(const std::string& path) override {
        const auto [folder, name] = SplitHost(StripTrailing(ToHost(path)));
        const auto parent = ResolveFolder(folder);
        if (!parent) RaiseFileError(errnum::kPathNotFound);
        if (name.empty() || FindName(*parent, name)) RaiseFileError(errnum::kFileAlreadyExists);
        if (::mkdir(Join(*parent, name).c_str(), 0777) != 0) {
            RaiseFileError(NumberFor(errno, errnum::kPathNotFound));
        }
    }

    void DeleteFolder(const std::string& path, bool force) override {
        const auto [parentPath, name] = SplitHost(StripTrailing(ToHost(path)));
        const auto parent = ResolveFolder(parentPath);
        const auto actual = parent ? FindName(*parent, name) : std::nullopt;
        if (!actual || name.empty()) RaiseFileError(errnum::kPathNotFound);
        const std::string folder = Join(*parent, *actual);
        struct stat st {};
        if (::lstat(folder.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && StatIs(folder, S_IFDIR)) {
            // A link to a folder goes, not what it points at.
            if (::unlink(folder.c_str()) != 0) RaiseFileError(NumberFor(errno, errnum::kPathNotFound));
            return;
        }
        if (!StatIs(folder, S_IFDIR)) RaiseFileError(errnum::kPathNotFound);
        if (!force && HasReadOnlyEntry(folder)) RaiseFileError(errnum::kPermissionDenied);
        if (const int err = RemoveTree(folder, force)) RaiseFileError(NumberFor(err, errnum::kPathNotFound));
    }

    void DeleteFile(const std::string&) override { RaiseFileError(errnum::kFileNotFound); }

    void MoveFile(const std::string& source, const std::string& destination) override {
        const auto [sourcePath, pattern] = SplitHost(ToHost(source));
        const auto sourceFolder = ResolveFolder(sourcePath);
        if (!sourceFolder) RaiseFileError(errnum::kPathNotFound);
        const std::vector<std::string> names = pattern.empty() ? std::vector<std::string>{}
                                                               : MatchingFiles(*sourceFolder, pattern);
        if (names.empty()) RaiseFileError(errnum::kFileNotFound);

        // Several files can only go into a folder, so a pattern makes the
        // destination a folder even without its trailing backslash.
        const bool intoFolder = EndsWithSeparator(destination) || HasWildcard(pattern);
        std::string targetFolderPath, targetName;
        if (intoFolder) {
            targetFolderPath = StripTrailing(ToHost(destination));
        } else {
            std::tie(targetFolderPath, targetName) = SplitHost(ToHost(destination));
        }
        const auto targetFolder = ResolveFolder(targetFolderPath);
        if (!targetFolder) RaiseFileError(errnum::kPathNotFound);

        // The target folder is read once, not once per file: a move of
        // thousands of files stays linear.
        std::unordered_set<std::string> taken;
        ForEachName(*targetFolder, [&](const std::string& name) { taken.insert(LowerCase(name)); });

        std::int32_t firstFailure = 0;
        for (const std::string& name : names) {
            const std::string target = intoFolder ? name : targetName;
            std::int32_t failure = 0;
            if (taken.count(LowerCase(target))) {
                failure = errnum::kFileAlreadyExists;
            } else if (const int err = RenameNoReplace(Join(*sourceFolder, name), Join(*targetFolder, target))) {
                failure = NumberFor(err, errnum::kFileNotFound);
            } else {
                taken.insert(LowerCase(target));
            }
            if (firstFailure == 0) firstFailure = failure;
        }
        if (firstFailure != 0) RaiseFileError(firstFailure);
    }

    std::unique_ptr<TextStream> OpenTextFile(const std::string& path, IOMode mode, bool create,
                                             TextFormat format) override {
        const auto [folderPath, name] = SplitHost(ToHost(path));
        if (format != TextFormat::Ascii || (mode != IOMode::ForReading && mode != IOMode::ForWriting) ||
            HasWildcard(name)) {
            RaiseFileError(errnum::kInvalidCall);
        }
        const auto folder = ResolveFolder(folderPath);
        if (!folder) RaiseFileError(errnum::kPathNotFound);
        if (name.empty()) RaiseFileError(errnum::kFileNotFound);
        const auto actual = FindName(*folder, name);
        const std::string target = Join(*folder, actual.value_or(name));
        struct stat st {};
        const bool exists = actual && ::stat(target.c_str(), &st) == 0;
        if (exists && !S_ISREG(st.st_mode)) RaiseFileError(errnum::kPermissionDenied);
        if (!exists && !create) RaiseFileError(errnum::kFileNotFound);

        if (mode == IOMode::ForReading) {
            const int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | (exists ? 0 : O_CREAT), 0666);
            if (fd < 0) RaiseFileError(NumberFor(errno, errnum::kFileNotFound));
            return std::make_unique<ReadStream>(fd);
        }

        if (exists && IsReadOnly(st)) RaiseFileError(errnum::kPermissionDenied);
        const std::string temp = TemporaryName(target);
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) RaiseFileError(NumberFor(errno, errnum::kPathNotFound));
        if (exists) {
            // The replacement takes over the player's file as it was, not
            // the rights of whoever runs the launcher.
            ::fchmod(fd, st.st_mode & 07777);
            if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
                // Only the owner or root may give a file away; the mode still holds.
            }
        }
        return std::make_unique<WriteStream>(fd, *folder, temp, target);
    }
};

}  // namespace

std::unique_ptr<FileSystem> CreatePosixFileSystem() { return std::make_unique<PosixFileSystem>(); }

}  // namespace brakkis

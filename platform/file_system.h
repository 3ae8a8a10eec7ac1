// The file-system service the launcher does all its file work through.
// Paths are Windows-style everywhere (backslashes, no trailing backslash on a
// folder); names match without regard to letter case on every host.
#pragma once

#include <memory>
#include <string>

namespace brakkis {

enum class IOMode { ForReading = 1, ForWriting = 2 };
enum class TextFormat { Ascii = 0 };

// Where a write stream puts its text until Close: beside the file, under the
// file's name followed by this. The ending is no ".ini" or ".int", short
// names included, so no pattern of the launcher's or the game's picks it up,
// and a file left by a process that died mid-write can be told for what it is.
inline constexpr char kPendingWriteSuffix[] = ".~brakkis.tmp";

// One open text file. Text is 8-bit, passed through byte for byte.
class TextStream {
public:
    virtual ~TextStream() = default;
    virtual std::string ReadAll() = 0;
    virtual void Write(const std::string& text) = 0;
    virtual void WriteLine(const std::string& text) = 0;  // text, then CR LF
    // A write stream replaces its file only here, in one rename, so a crash
    // before Close leaves the old content whole (and a pending-write file
    // beside it). A write stream released without Close discards what was
    // written: a routine that failed half-way never leaves half a file behind.
    virtual void Close() = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // The last component may hold '*' and '?' wildcards.
    virtual bool FileExists(const std::string& path) = 0;
    virtual bool FolderExists(const std::string& path) = 0;
    // False only when the folder's permissions say for certain that this
    // user may not add files to it; a question that cannot be answered
    // counts as yes. Asks without writing anything.
    virtual bool FolderWritable(const std::string& path) = 0;
    virtual void CreateFolder(const std::string& path) = 0;
    // Without force, a read-only file anywhere inside makes it fail before
    // anything is deleted.
    virtual void DeleteFolder(const std::string& path, bool force) = 0;
    // The source's last component may hold wildcards; a destination ending in
    // a backslash names the folder the files move into under their own names.
    // A wildcard move moves every matching file it can and only then fails if
    // any could not be moved. An existing target name is never overwritten.
    virtual void MoveFile(const std::string& source, const std::string& destination) = 0;
    // Every file the last component's name or pattern picks; folders are
    // never picked. Fails, after deleting what it can, when a file could not
    // be deleted, and when nothing matched.
    virtual void DeleteFile(const std::string& path) = 0;
    // Writing empties an existing file (at Close); a missing file fails
    // unless create is set.
    virtual std::unique_ptr<TextStream> OpenTextFile(const std::string& path, IOMode mode, bool create,
                                                     TextFormat format) = 0;
};

}  // namespace brakkis

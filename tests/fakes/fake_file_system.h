// An in-memory disk and the file-system service over it, answering as the
// Win32 adapter does (one contract suite holds both to the same answers).
// Paths are Windows paths; names match in any letter case and keep their own
// spelling. Every call of the service and of its streams is one operation,
// announced to `beforeOperation` first: a test can fail it there, or copy
// the disk as a process that died at that moment would leave it.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace brakkis::fakes {

struct FakeDisk {
    struct Entry {
        bool folder = false;
        bool readOnly = false;  // a folder: its user may not add to it
        std::string bytes;
    };
    // By full path as spelled.
    std::map<std::string, Entry> entries;
    int operations = 0;
    std::function<void(int operation, const std::string& what)> beforeOperation;

    // Parent folders are made as needed.
    void Put(const std::string& path, const std::string& bytes, bool readOnly = false);
    void MakeFolder(const std::string& path);
    // Files below a folder by relative path ('\' inside), folders as "name\".
    std::map<std::string, std::string> Below(const std::string& folder) const;

    std::map<std::string, Entry>::iterator Find(const std::string& path);
    bool IsFolder(const std::string& path);
    std::vector<std::string> Matching(const std::string& path);
    void Announce(const std::string& what);
};

class FakeFileSystem final : public FileSystem {
public:
    explicit FakeFileSystem(FakeDisk& disk) : disk_(disk) {}
    bool FileExists(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    bool FolderWritable(const std::string& path) override;
    void CreateFolder(const std::string& path) override;
    void DeleteFolder(const std::string& path, bool force) override;
    void MoveFile(const std::string& source, const std::string& destination) override;
    void DeleteFile(const std::string& path) override;
    std::unique_ptr<TextStream> OpenTextFile(const std::string& path, IOMode mode, bool create,
                                             TextFormat format) override;

private:
    FakeDisk& disk_;
};

}  // namespace brakkis::fakes

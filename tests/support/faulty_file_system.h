// A file system that fails, or stops the program dead, at a chosen operation.
// Every call of the service and of its streams counts as one operation.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/file_system.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace brakkis::testing {

struct FaultPlan {
    static constexpr int kCrashExitCode = 77;

    int failAt = -1;         // the operation that fails
    bool failOnward = false; // ...and every one after it
    int crashAt = -1;        // the operation before which the process dies
    int operations = 0;
    std::vector<std::string> log;

    void Before(const std::string& what) {
        const int k = operations++;
        log.push_back(what);
#ifndef _WIN32
        if (k == crashAt) _exit(kCrashExitCode);  // no destructor, no flush: a power cut
#endif
        if (failAt >= 0 && (k == failAt || (failOnward && k > failAt))) {
            throw RaisedError(errnum::kPermissionDenied, "FileSystem", "injected fault at " + what);
        }
    }
};

class FaultyTextStream : public TextStream {
public:
    FaultyTextStream(std::unique_ptr<TextStream> inner, FaultPlan& plan) : inner_(std::move(inner)), plan_(plan) {}
    std::string ReadAll() override { return plan_.Before("ReadAll"), inner_->ReadAll(); }
    void Write(const std::string& text) override { plan_.Before("Write"), inner_->Write(text); }
    void WriteLine(const std::string& text) override { plan_.Before("WriteLine"), inner_->WriteLine(text); }
    void Close() override { plan_.Before("Close"), inner_->Close(); }

private:
    std::unique_ptr<TextStream> inner_;
    FaultPlan& plan_;
};

class FaultyFileSystem : public FileSystem {
public:
    FaultyFileSystem(std::unique_ptr<FileSystem> inner, FaultPlan& plan) : inner_(std::move(inner)), plan_(plan) {}
    bool FileExists(const std::string& path) override {
        return plan_.Before("FileExists " + path), inner_->FileExists(path);
    }
    bool FolderExists(const std::string& path) override {
        return plan_.Before("FolderExists " + path), inner_->FolderExists(path);
    }
    void CreateFolder(const std::string& path) override {
        plan_.Before("CreateFolder " + path), inner_->CreateFolder(path);
    }
    void DeleteFolder(const std::string& path, bool force) override {
        plan_.Before("DeleteFolder " + path), inner_->DeleteFolder(path, force);
    }
    void MoveFile(const std::string& source, const std::string& destination) override {
        plan_.Before("MoveFile " + source), inner_->MoveFile(source, destination);
    }
    std::unique_ptr<TextStream> OpenTextFile(const std::string& path, IOMode mode, bool create,
                                             TextFormat format) override {
        plan_.Before("OpenTextFile " + path);
        return std::make_unique<FaultyTextStream>(inner_->OpenTextFile(path, mode, create, format), plan_);
    }

private:
    std::unique_ptr<FileSystem> inner_;
    FaultPlan& plan_;
};

}  // namespace brakkis::testing

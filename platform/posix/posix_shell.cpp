#include "platform/posix/posix_shell.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <thread>
#include <utility>

#include "platform/error.h"

extern char** environ;

namespace brakkis {

std::vector<std::string> SplitCommandLine(const std::string& line) {
    std::vector<std::string> args;
    std::size_t i = 0;
    const auto blank = [&](std::size_t at) { return line[at] == ' ' || line[at] == '\t'; };
    while (i < line.size() && blank(i)) ++i;
    if (i == line.size()) return args;

    // The program name takes no escapes: a quote simply ends it.
    std::string program;
    if (line[i] == '"') {
        const std::size_t close = line.find('"', i + 1);
        program = line.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
        i = close == std::string::npos ? line.size() : close + 1;
    }
    while (i < line.size() && !blank(i)) program += line[i++];
    args.push_back(program);

    for (;;) {
        while (i < line.size() && blank(i)) ++i;
        if (i == line.size()) return args;
        std::string arg;
        bool quoted = false;
        while (i < line.size() && (quoted || !blank(i))) {
            std::size_t slashes = 0;
            while (i < line.size() && line[i] == '\\') ++slashes, ++i;
            if (i < line.size() && line[i] == '"') {
                arg.append(slashes / 2, '\\');
                if (slashes % 2 == 1) {
                    arg += '"';
                } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                    arg += '"';  // "" inside quotes is a literal quote
                    ++i;
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                arg.append(slashes, '\\');
                if (i < line.size() && (quoted || !blank(i))) arg += line[i++];
            }
        }
        args.push_back(arg);
    }
}

namespace {

[[noreturn]] void RaiseShellError(std::int32_t number, const std::string& text) {
    throw RaisedError(number, "Shell", text);
}

// "C:\Games\UT\System\UnrealTournament.exe" cannot be run as such here; the
// drive letter goes and the separators become the host's.
std::string HostProgram(std::string program) {
    if (program.size() >= 2 && program[1] == ':' && std::isalpha(static_cast<unsigned char>(program[0]))) {
        program.erase(0, 2);
    }
    std::replace(program.begin(), program.end(), '\\', '/');
    return program;
}

std::int32_t ExitCode(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);  // as a POSIX shell reports it
    return -1;
}

class PosixShell final : public Shell {
public:
    explicit PosixShell(std::function<void()> whileWaiting) : whileWaiting_(std::move(whileWaiting)) {}
    ~PosixShell() override { ReapFinished(); }

    std::int32_t Run(const std::string& command, std::int16_t, bool wait) override {
        ReapFinished();
        std::vector<std::string> args = SplitCommandLine(command);
        if (args.empty() || args.front().empty()) RaiseShellError(errnum::kInvalidCall, "Invalid procedure call or argument");
        args.front() = HostProgram(args.front());
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);

        pid_t pid = 0;
        const bool searchPath = args.front().find('/') == std::string::npos;
        const int err = searchPath ? ::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ)
                                   : ::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
        if (err == ENOENT || err == ENOTDIR) RaiseShellError(errnum::kFileNotFound, "File not found: " + args.front());
        if (err == EACCES || err == EPERM) RaiseShellError(errnum::kPermissionDenied, "Permission denied: " + args.front());
        if (err != 0) RaiseShellError(errnum::kInvalidCall, "Cannot start: " + args.front());

        if (!wait) {
            unwaited_.push_back(pid);
            return 0;
        }
        return WaitFor(pid);
    }

private:
    std::int32_t WaitFor(pid_t pid) {
        int status = 0;
        for (;;) {
            const pid_t done = ::waitpid(pid, &status, whileWaiting_ ? WNOHANG : 0);
            if (done == pid) return ExitCode(status);
            if (done < 0 && errno != EINTR) RaiseShellError(errnum::kInvalidCall, "Lost the started program");
            if (done == 0) {
                try {
                    whileWaiting_();
                } catch (...) {
                    unwaited_.push_back(pid);  // still collected once it ends
                    throw;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
    }

    // Programs started without waiting are collected when they are done, so
    // none lingers as a zombie for the life of the launcher.
    void ReapFinished() {
        std::erase_if(unwaited_, [](pid_t pid) {
            int status = 0;
            return ::waitpid(pid, &status, WNOHANG) != 0;
        });
    }

    std::function<void()> whileWaiting_;
    std::vector<pid_t> unwaited_;
};

}  // namespace

std::unique_ptr<Shell> CreatePosixShell(std::function<void()> whileWaiting) {
    return std::make_unique<PosixShell>(std::move(whileWaiting));
}

}  // namespace brakkis

#include "LinuxProcessLauncher.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/CommandLine.h"
#include "platform/text/TextCodec.h"

extern char** environ;

namespace plat {

namespace {
// Owns both ends of a pipe.
class Pipe {
public:
    Pipe() {
        if (pipe2(m_fd, O_CLOEXEC) != 0)
            m_fd[0] = m_fd[1] = -1;
    }
    ~Pipe() {
        CloseRead();
        CloseWrite();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    bool Ok() const { return m_fd[0] >= 0; }
    int Read() const { return m_fd[0]; }
    int Write() const { return m_fd[1]; }
    void CloseRead() {
        if (m_fd[0] >= 0)
            close(m_fd[0]);
        m_fd[0] = -1;
    }
    void CloseWrite() {
        if (m_fd[1] >= 0)
            close(m_fd[1]);
        m_fd[1] = -1;
    }

private:
    int m_fd[2];
};

// Owns posix_spawn_file_actions_t.
class FileActions {
public:
    FileActions() { posix_spawn_file_actions_init(&m_actions); }
    ~FileActions() { posix_spawn_file_actions_destroy(&m_actions); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    posix_spawn_file_actions_t* Get() { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions;
};
}  // namespace

ProcessResult LinuxProcessLauncher::Run(const std::string& commandLine) {
    ProcessResult r;
    std::vector<std::string> args = CommandLine::Split(commandLine);
    if (args.empty()) {
        r.error = kErrorInvalidParameter;
        return r;
    }
    Pipe out;
    if (!out.Ok()) {
        r.error = kErrorNotEnoughMemory;
        return r;
    }
    FileActions actions;
    posix_spawn_file_actions_adddup2(actions.Get(), out.Write(), 1);
    posix_spawn_file_actions_adddup2(actions.Get(), out.Write(), 2);
    posix_spawn_file_actions_addopen(actions.Get(), 0, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], actions.Get(), nullptr, argv.data(), environ);
    out.CloseWrite();
    if (rc != 0) {
        r.error = rc == ENOENT ? kErrorFileNotFound : kErrorAccessDenied;
        return r;
    }
    r.started = true;
    char buf[4096];
    for (;;) {
        const ssize_t n = read(out.Read(), buf, sizeof buf);
        if (n > 0) {
            r.output.append(buf, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        r.exitCode = static_cast<DWORD>(WEXITSTATUS(status));
    else
        r.exitCode = 0x80000000u | static_cast<DWORD>(WTERMSIG(status));
    return r;
}

namespace {

DWORD ExitCode(int status) {
    if (WIFEXITED(status))
        return static_cast<DWORD>(WEXITSTATUS(status));
    return 0x80000000u | static_cast<DWORD>(WTERMSIG(status));
}

// The program as Windows would find it: a bare name beside the running
// program first.
std::string Locate(const std::string& program) {
    if (program.find('/') != std::string::npos)
        return program;
    const std::string self = Platform::Current().Os().ModuleFileName();
    const auto slash = self.rfind('/');
    if (slash != std::string::npos) {
        const std::string beside = self.substr(0, slash + 1) + program;
        if (access(beside.c_str(), X_OK) == 0)
            return beside;
    }
    return program;
}

}  // namespace

ProcessResult LinuxProcessLauncher::Start(const std::string& commandLine, int waitMs) {
    ProcessResult r;
    std::vector<std::string> args = CommandLine::Split(commandLine);
    std::wstring wide;
    if (args.empty() || !TextCodec::Utf8ToWide(commandLine, &wide)) {
        r.error = kErrorInvalidParameter;
        return r;
    }
    args[0] = Locate(args[0]);
    FileActions actions;
    for (int fd = 0; fd < 3; ++fd)
        posix_spawn_file_actions_addopen(actions.Get(), fd, "/dev/null",
                                         fd == 0 ? O_RDONLY : O_WRONLY, 0);
    // A session of its own: the program does not end with this one's terminal.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], actions.Get(), &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) {
        r.error = rc == ENOENT ? kErrorFileNotFound : kErrorAccessDenied;
        return r;
    }
    r.started = true;
    int status = 0;
    if (waitMs > 0) {
        const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
        if (pidfd >= 0) {
            pollfd p{pidfd, POLLIN, 0};
            int n;
            do {
                n = poll(&p, 1, waitMs);
            } while (n < 0 && errno == EINTR);
            close(pidfd);
        }
        if (waitpid(pid, &status, WNOHANG) == pid) {
            r.exitCode = ExitCode(status);
            return r;
        }
    }
    r.running = true;
    std::thread([pid] {
        int ignored = 0;
        while (waitpid(pid, &ignored, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return r;
}

bool LinuxProcessLauncher::ParentRuns() {
    // A program whose starter has ended is adopted by init.
    const pid_t parent = getppid();
    return parent > 1 && (kill(parent, 0) == 0 || errno == EPERM);
}

}  // namespace plat

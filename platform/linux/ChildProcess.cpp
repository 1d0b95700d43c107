#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sstream>

extern char** environ;

namespace plat {

namespace {

bool Executable(const std::string& path) {
    return access(path.c_str(), X_OK) == 0;
}

int PidFd(pid_t pid) {
#ifdef SYS_pidfd_open
    const long fd = syscall(SYS_pidfd_open, pid, 0);
    return fd < 0 ? -1 : static_cast<int>(fd);
#else
    (void)pid;
    return -1;
#endif
}

// Closes every descriptor from 3 up in the child (async-signal-safe).
void CloseFrom3() {
#ifdef SYS_close_range
    if (syscall(SYS_close_range, 3U, ~0U, 0U) == 0)
        return;
#endif
    const long max = sysconf(_SC_OPEN_MAX);
    for (long fd = 3; fd < (max > 0 ? max : 1024); ++fd)
        close(static_cast<int>(fd));
}

}  // namespace

ChildProcess::~ChildProcess() {
    if (Running())
        Stop(std::chrono::milliseconds(1000));
    if (m_pidfd >= 0)
        close(m_pidfd);
}

std::string ChildProcess::Find(const std::string& program) {
    if (program.empty())
        return {};
    if (program.find('/') != std::string::npos)
        return Executable(program) ? program : std::string();
    std::string path;
    if (const char* env = std::getenv("PATH"))
        path = env;
    // Services and sudo often run without the system folders on PATH.
    path += ":/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
    std::stringstream folders(path);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty())
            continue;
        const std::string candidate = folder + "/" + program;
        if (Executable(candidate))
            return candidate;
    }
    return {};
}

int ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
                        const std::string& logFile) {
    if (Running())
        return EBUSY;
    const std::string path = Find(program);
    if (path.empty())
        return ENOENT;
    const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out = logFile.empty()
                        ? open("/dev/null", O_WRONLY | O_CLOEXEC)
                        : open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (in < 0 || out < 0) {
        const int e = errno;
        if (in >= 0)
            close(in);
        if (out >= 0)
            close(out);
        return e;
    }
    // Everything the child needs is made before the fork: after it only
    // async-signal-safe calls are allowed.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = getpid();

    const pid_t pid = fork();
    if (pid < 0) {
        const int e = errno;
        close(in);
        close(out);
        return e;
    }
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        CloseFrom3();
        execve(path.c_str(), argv.data(), environ);
        _exit(127);
    }
    close(in);
    close(out);
    if (m_pidfd >= 0)
        close(m_pidfd);
    m_pid = pid;
    m_pidfd = PidFd(pid);
    m_exited = false;
    m_status = 0;
    return 0;
}

bool ChildProcess::Poll() {
    if (m_pid <= 0)
        return true;
    if (m_exited)
        return true;
    int status = 0;
    pid_t r;
    do {
        r = waitpid(m_pid, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == m_pid || (r < 0 && errno == ECHILD)) {
        m_exited = true;
        m_status = r == m_pid ? status : 0;
    }
    return m_exited;
}

bool ChildProcess::Wait(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (Poll())
            return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        if (m_pidfd >= 0) {
            pollfd p{m_pidfd, POLLIN, 0};
            poll(&p, 1, static_cast<int>(left.count()));
        } else {
            usleep(static_cast<useconds_t>(std::min<long long>(left.count(), 20) * 1000));
        }
    }
}

void ChildProcess::Stop(std::chrono::milliseconds grace) {
    if (m_pid <= 0 || Poll())
        return;
    kill(m_pid, SIGTERM);
    if (Wait(grace))
        return;
    kill(m_pid, SIGKILL);
    Wait(std::chrono::milliseconds(5000));
}

std::string ChildProcess::Ending() const {
    if (!m_exited)
        return {};
    if (WIFSIGNALED(m_status))
        return "signal " + std::to_string(WTERMSIG(m_status));
    return "exit status " + std::to_string(WEXITSTATUS(m_status));
}

}  // namespace plat

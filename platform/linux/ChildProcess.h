// A program run in the background and owned by this object: started with its
// output appended to a file, watched through a process file descriptor, and
// ended (SIGTERM, then SIGKILL) and reaped at the latest when the object goes.
//
// The child is sent SIGTERM when the thread that started it ends, so a
// program that dies (even by SIGKILL) takes its children with it; start it
// from the thread that lives as long as the child should.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace plat {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `program` (a path, or a name looked up in PATH and the system
    // folders) with `arguments`; standard input is /dev/null, standard output
    // and error are appended to `logFile` (/dev/null when empty). 0 or an
    // errno value (ENOENT: no such program).
    int Start(const std::string& program, const std::vector<std::string>& arguments,
              const std::string& logFile);

    pid_t Pid() const { return m_pid; }
    bool Running() const { return m_pid > 0 && !m_exited; }
    // A descriptor that becomes readable when the child ends; -1 when none.
    int ExitFd() const { return m_pidfd; }
    // Reaps the child if it has ended; true when it has (its status is kept).
    bool Poll();
    // Waits up to `timeout` for the child to end; true when it has.
    bool Wait(std::chrono::milliseconds timeout);
    // SIGTERM, up to `grace` for the child to end, then SIGKILL; reaps it.
    void Stop(std::chrono::milliseconds grace = std::chrono::milliseconds(3000));
    // How the child ended, as "exit status N" or "signal N"; empty while running.
    std::string Ending() const;

    // The full path of `program` as Start would run it; empty when not found.
    static std::string Find(const std::string& program);

private:
    pid_t m_pid = -1;
    int m_pidfd = -1;
    bool m_exited = false;
    int m_status = 0;
};

}  // namespace plat

#include "NetNamespace.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace nettest {

int Run(const std::string& command) {
    const int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

bool CanBuildNamespaces(std::string* why) {
    if (geteuid() != 0) {
        *why = "needs root";
        return false;
    }
    for (const char* tool : {"ip", "unshare", "busybox", "dhclient", "timeout"}) {
        if (Run(std::string("command -v ") + tool + " >/dev/null 2>&1") != 0) {
            *why = std::string("needs ") + tool;
            return false;
        }
    }
    return true;
}

std::string UniqueName(const std::string& prefix) {
    static std::atomic<int> counter{0};
    return prefix + std::to_string(getpid() % 100000) + "x" + std::to_string(counter++);
}

NetNamespace::NetNamespace(const std::string& prefix) : m_name(UniqueName(prefix)) {
    m_created =
        Run("ip netns add " + m_name) == 0 && Run("ip -n " + m_name + " link set lo up") == 0;
}

NetNamespace::~NetNamespace() {
    // Processes left behind (a DHCP client gone to the background) go first.
    Run("ip netns pids " + m_name + " 2>/dev/null | xargs -r kill -9 2>/dev/null");
    Run("ip netns del " + m_name + " 2>/dev/null");
}

int NetNamespace::Exec(const std::string& command) const {
    return Run("ip netns exec " + m_name + " sh -c '" + command + "'");
}

bool NetNamespace::RunInside(const std::function<void()>& body) const {
    bool joined = false;
    std::thread t([&] {
        const int fd = open(("/run/netns/" + m_name).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return;
        joined = setns(fd, CLONE_NEWNET) == 0;
        close(fd);
        if (joined)
            body();
    });
    t.join();
    return joined;
}

}  // namespace nettest

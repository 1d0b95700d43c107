// Power-off and sleep inhibition of the Linux session facility against a
// logind of the test's own: a private D-Bus daemon stands in for the system
// bus, and a fake login manager on it answers PowerOff and Inhibit the way
// logind does (Inhibit hands out a file descriptor that holds the lock while
// open).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "platform/linux/LinuxSession.h"

namespace {

// dbus-daemon with the session configuration, listening in a folder of the
// test; stopped with the object.
class PrivateBus {
public:
    explicit PrivateBus(const TempDir& dir) {
        int out[2];
        if (pipe(out) != 0)
            return;
        const std::string listen = "--address=unix:path=" + dir.File("bus");
        m_pid = fork();
        if (m_pid == 0) {
            dup2(out[1], 1);
            close(out[0]);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 2);
            execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile",
                   "--print-address=1", listen.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        char buffer[512];
        std::string line;
        ssize_t n;
        while (line.find('\n') == std::string::npos &&
               (n = read(out[0], buffer, sizeof buffer)) > 0)
            line.append(buffer, static_cast<std::size_t>(n));
        close(out[0]);
        if (line.find('\n') != std::string::npos)
            m_address = line.substr(0, line.find('\n'));
    }
    ~PrivateBus() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    const std::string& Address() const { return m_address; }

private:
    pid_t m_pid = -1;
    std::string m_address;
};

// The login manager's two methods the session facility calls.
class FakeLogind {
public:
    explicit FakeLogind(const std::string& address) {
        if (sd_bus_new(&m_bus) < 0 || sd_bus_set_address(m_bus, address.c_str()) < 0 ||
            sd_bus_set_bus_client(m_bus, 1) < 0 || sd_bus_start(m_bus) < 0 ||
            sd_bus_add_object_vtable(m_bus, nullptr, "/org/freedesktop/login1",
                                     "org.freedesktop.login1.Manager", kVtable, this) < 0 ||
            sd_bus_request_name(m_bus, "org.freedesktop.login1", 0) < 0)
            return;
        m_ready = true;
        m_thread = std::thread([this] {
            while (!m_stop) {
                while (sd_bus_process(m_bus, nullptr) > 0) {
                }
                sd_bus_wait(m_bus, 20000);
            }
        });
    }
    ~FakeLogind() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        sd_bus_flush_close_unref(m_bus);
        for (int fd : lockEnds)
            close(fd);
    }
    bool Ready() const { return m_ready; }

    std::atomic<bool> refuse{false};
    std::mutex lock;
    std::vector<int> powerOffs;  // the interactive flag of each call
    std::vector<std::string> inhibits;
    // Our end of each handed-out lock: it reads end-of-file once every
    // holder of the other end has closed it.
    std::vector<int> lockEnds;

private:
    static int PowerOff(sd_bus_message* m, void* user, sd_bus_error* error) {
        auto* self = static_cast<FakeLogind*>(user);
        int interactive = -1;
        if (sd_bus_message_read(m, "b", &interactive) < 0)
            return -EINVAL;
        if (self->refuse)
            return sd_bus_error_set(error, SD_BUS_ERROR_ACCESS_DENIED, "not allowed");
        std::lock_guard<std::mutex> g(self->lock);
        self->powerOffs.push_back(interactive);
        return sd_bus_reply_method_return(m, "");
    }
    static int Inhibit(sd_bus_message* m, void* user, sd_bus_error*) {
        auto* self = static_cast<FakeLogind*>(user);
        const char* what = nullptr;
        const char* who = nullptr;
        const char* why = nullptr;
        const char* mode = nullptr;
        if (sd_bus_message_read(m, "ssss", &what, &who, &why, &mode) < 0)
            return -EINVAL;
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0)
            return -errno;
        {
            std::lock_guard<std::mutex> g(self->lock);
            self->inhibits.push_back(std::string(what) + "|" + who + "|" + why + "|" + mode);
            self->lockEnds.push_back(ends[0]);
        }
        const int r = sd_bus_reply_method_return(m, "h", ends[1]);
        close(ends[1]);  // the message carried a copy
        return r;
    }
    static const sd_bus_vtable kVtable[];

    sd_bus* m_bus = nullptr;
    bool m_ready = false;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

const sd_bus_vtable FakeLogind::kVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("PowerOff", "b", "", FakeLogind::PowerOff, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Inhibit", "ssss", "h", FakeLogind::Inhibit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

// Whether the lock end reads end-of-file (every holder let go).
bool Released(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 2000) == 1 && (p.revents & (POLLIN | POLLHUP)) != 0;
}

bool Held(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) == 0;
}

class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        setenv(name, value.c_str(), 1);
    }
    ~EnvironmentVariable() {
        if (m_old.empty())
            unsetenv(m_name);
        else
            setenv(m_name, m_old.c_str(), 1);
    }

private:
    const char* m_name;
    std::string m_old;
};

}  // namespace

TEST(LogindSession, PowerOffAndKeepingAwakeAreLogindCalls) {
    TempDir dir;
    PrivateBus bus(dir);
    if (bus.Address().empty())
        GTEST_SKIP() << "dbus-daemon could not be started";
    EnvironmentVariable system("DBUS_SYSTEM_BUS_ADDRESS", bus.Address());
    FakeLogind logind(bus.Address());
    ASSERT_TRUE(logind.Ready());
    plat::LinuxSession session;

    EXPECT_EQ(session.Shutdown(true), 0u);
    {
        std::lock_guard<std::mutex> g(logind.lock);
        EXPECT_EQ(logind.powerOffs, std::vector<int>{0});  // no password prompt
    }
    logind.refuse = true;
    EXPECT_EQ(session.Shutdown(true), plat::kErrorAccessDenied);

    session.KeepAwake(true);
    session.KeepAwake(true);  // one lock is enough
    EXPECT_TRUE(session.IsKeptAwake());
    int lockEnd = -1;
    {
        std::lock_guard<std::mutex> g(logind.lock);
        ASSERT_EQ(logind.inhibits.size(), 1u);
        EXPECT_EQ(logind.inhibits[0], "sleep:idle|Zentavo|The hotspot is running|block");
        lockEnd = logind.lockEnds[0];
    }
    EXPECT_TRUE(Held(lockEnd));
    session.KeepAwake(false);
    EXPECT_FALSE(session.IsKeptAwake());
    EXPECT_TRUE(Released(lockEnd));
}

TEST(LogindSession, WithoutLogindNothingPretendsToHaveWorked) {
    TempDir dir;
    EnvironmentVariable system("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + dir.File("no-bus"));
    plat::LinuxSession session;
    EXPECT_EQ(session.Shutdown(true), plat::kErrorNotSupported);
    session.KeepAwake(true);
    EXPECT_FALSE(session.IsKeptAwake());
}

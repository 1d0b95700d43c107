#include "LinuxSession.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "../Backend.h"
#include "../Platform.h"

namespace plat {

namespace {

// The Exec value of a desktop entry that runs `program`: quoted when it has a
// character the entry's command line reserves, "%" doubled (it starts field
// codes), then escaped as the entry's string values are (a line break would
// otherwise start a line of its own).
std::string ExecValue(const std::string& program) {
    const bool quote = program.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string::npos;
    std::string command;
    if (quote)
        command += '"';
    for (char c : program) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
            command += '\\';
        command += c;
        if (c == '%')
            command += '%';
    }
    if (quote)
        command += '"';
    std::string value;
    for (char c : command) {
        switch (c) {
            case '\\':
                value += "\\\\";
                break;
            case '\n':
                value += "\\n";
                break;
            case '\r':
                value += "\\r";
                break;
            case '\t':
                value += "\\t";
                break;
            default:
                value += c;
        }
    }
    return value;
}

}  // namespace

LinuxSession::~LinuxSession() {
    StopWatching();
    for (auto& [name, fd] : m_lockFds)
        close(fd);
    if (m_inhibitFd >= 0)
        close(m_inhibitFd);
}

namespace {

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kLogindPath = "/org/freedesktop/login1";
constexpr const char* kLogindManager = "org.freedesktop.login1.Manager";

// The Windows code of a failed logind call: refused by its policy, or no
// logind to ask.
DWORD LogindError(int r, const sd_bus_error& error) {
    if (sd_bus_error_has_name(&error, SD_BUS_ERROR_ACCESS_DENIED) ||
        sd_bus_error_has_name(&error,
                              "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired") ||
        r == -EACCES || r == -EPERM)
        return kErrorAccessDenied;
    return kErrorNotSupported;
}

}  // namespace

DWORD LinuxSession::Shutdown(bool) {
    // logind powers off at once; a forced shutdown is what it does anyway to
    // sessions that do not end by themselves.
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0)
        return kErrorNotSupported;
    sd_bus_error error{};  // all null, as SD_BUS_ERROR_NULL
    const int r = sd_bus_call_method(bus, kLogind, kLogindPath, kLogindManager, "PowerOff", &error,
                                     nullptr, "b", 0);
    const DWORD result = r < 0 ? LogindError(r, error) : 0;
    sd_bus_error_free(&error);
    sd_bus_flush_close_unref(bus);
    return result;
}

void LinuxSession::KeepAwake(bool on) {
    std::lock_guard<std::mutex> g(m_lock);
    if (!on) {
        if (m_inhibitFd >= 0)
            close(m_inhibitFd);
        m_inhibitFd = -1;
        return;
    }
    if (m_inhibitFd >= 0)
        return;
    // A logind inhibitor lock: the system does not sleep while its file
    // descriptor is open. Without logind there is nobody to ask.
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0)
        return;
    sd_bus_error error{};  // all null, as SD_BUS_ERROR_NULL
    sd_bus_message* reply = nullptr;
    int fd = -1;
    if (sd_bus_call_method(bus, kLogind, kLogindPath, kLogindManager, "Inhibit", &error, &reply,
                           "ssss", "sleep:idle", "Zentavo", "The hotspot is running",
                           "block") >= 0 &&
        sd_bus_message_read(reply, "h", &fd) >= 0 && fd >= 0)
        m_inhibitFd = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    sd_bus_flush_close_unref(bus);
}

bool LinuxSession::IsKeptAwake() {
    std::lock_guard<std::mutex> g(m_lock);
    return m_inhibitFd >= 0;
}

std::string LinuxSession::AutostartFile(const std::string& name) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string base = xdg != nullptr && *xdg != 0 ? xdg
                       : home != nullptr           ? std::string(home) + "/.config"
                                                   : "/tmp";
    return base + "/autostart/" + name + ".desktop";
}

DWORD LinuxSession::SetRunAtLogon(const std::string& name, const std::string& command, bool on) {
    const std::string file = AutostartFile(name);
    std::error_code ec;
    if (!on) {
        std::filesystem::remove(file, ec);
        return 0;
    }
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
    std::ofstream out(file, std::ios::trunc);
    if (!out)
        return kErrorAccessDenied;
    out << "[Desktop Entry]\nType=Application\nName=" << name << "\nExec=" << ExecValue(command)
        << "\n";
    return out ? 0 : kErrorAccessDenied;
}

bool LinuxSession::IsRunAtLogon(const std::string& name) {
    std::error_code ec;
    return std::filesystem::exists(AutostartFile(name), ec);
}

bool LinuxSession::AcquireInstanceLock(const std::string& name) {
    std::lock_guard<std::mutex> g(m_lock);
    if (m_lockFds.count(name) != 0)
        return false;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string file =
        std::string(runtime != nullptr ? runtime : "/tmp") + "/" + name + ".lock";
    const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    m_lockFds[name] = fd;
    return true;
}

HRESULT LinuxSession::AddFirewallException(const std::wstring&, const std::wstring&) {
    return kENotImpl;
}

std::string LinuxSession::ChannelPath(const std::string& channel) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != 0)
        return std::string(runtime) + "/" + channel + ".sock";
    return "/tmp/" + channel + "-" + std::to_string(getuid()) + ".sock";
}

namespace {

bool FillAddress(const std::string& path, sockaddr_un* address) {
    *address = {};
    address->sun_family = AF_UNIX;
    if (path.size() >= sizeof address->sun_path)
        return false;
    std::copy(path.begin(), path.end(), address->sun_path);
    return true;
}

// logind's PrepareForSleep(bool start): true before the sleep, false after.
int OnPrepareForSleep(sd_bus_message* message, void* user, sd_bus_error*) {
    int start = 0;
    if (sd_bus_message_read(message, "b", &start) < 0)
        return 0;
    static_cast<SessionListener*>(user)->OnSessionEvent(start != 0 ? SessionEvent::Suspend
                                                                   : SessionEvent::Resume);
    return 0;
}

}  // namespace

bool LinuxSession::SignalInstance(const std::string& channel) {
    sockaddr_un address;
    if (!FillAddress(ChannelPath(channel), &address))
        return false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // The connection is the message: the watcher counts every one it accepts
    // (and may close it before anything could be sent).
    const bool told = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return told;
}

void LinuxSession::StopWatching() {
    std::lock_guard<std::mutex> g(m_watchLock);
    if (m_watcher.joinable()) {
        m_watcher.request_stop();
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t w = write(m_wakeFd, &one, sizeof one);
        m_watcher.join();
    }
    m_watcher = std::jthread();
    if (m_wakeFd >= 0)
        close(m_wakeFd);
    m_wakeFd = -1;
    if (!m_channelPath.empty())
        unlink(m_channelPath.c_str());
    m_channelPath.clear();
}

bool LinuxSession::WatchSession(const std::string& channel, SessionListener* listener) {
    StopWatching();
    if (listener == nullptr)
        return true;
    std::lock_guard<std::mutex> g(m_watchLock);
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0)
        return false;
    // Only the holder of the instance lock watches, so a socket file left by
    // a process that died is stale and may go.
    const std::string path = ChannelPath(channel);
    int listenFd = -1;
    sockaddr_un address;
    if (FillAddress(path, &address)) {
        unlink(path.c_str());
        listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (listenFd >= 0 &&
            (bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
             listen(listenFd, 4) != 0)) {
            close(listenFd);
            listenFd = -1;
        }
    }
    if (listenFd >= 0)
        m_channelPath = path;
    const int wakeFd = m_wakeFd;
    m_watcher = std::jthread([this, listenFd, wakeFd, listener](std::stop_token stop) {
        Watch(stop, listenFd, wakeFd, listener);
    });
    return listenFd >= 0;
}

void LinuxSession::Watch(std::stop_token stop, int listenFd, int wakeFd,
                         SessionListener* listener) {
    sd_bus* bus = nullptr;
    // Without a system bus (a container, a minimal system) only the hand-over
    // is watched.
    if (sd_bus_open_system(&bus) >= 0 &&
        sd_bus_match_signal(bus, nullptr, "org.freedesktop.login1", "/org/freedesktop/login1",
                            "org.freedesktop.login1.Manager", "PrepareForSleep", OnPrepareForSleep,
                            listener) < 0)
        bus = sd_bus_flush_close_unref(bus);
    while (!stop.stop_requested()) {
        pollfd fds[3] = {{wakeFd, POLLIN, 0}, {listenFd, POLLIN, 0}, {-1, 0, 0}};
        if (bus != nullptr) {
            fds[2].fd = sd_bus_get_fd(bus);
            const int events = sd_bus_get_events(bus);
            fds[2].events = static_cast<short>(events > 0 ? events : POLLIN);
        }
        if (poll(fds, 3, -1) < 0 && errno != EINTR)
            break;
        if (stop.stop_requested())
            break;
        if ((fds[1].revents & POLLIN) != 0) {
            const int peer = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (peer >= 0) {
                close(peer);
                listener->OnSessionEvent(SessionEvent::HandOver);
            }
        }
        if (bus != nullptr && fds[2].revents != 0)
            while (sd_bus_process(bus, nullptr) > 0) {
            }
    }
    if (bus != nullptr)
        sd_bus_flush_close_unref(bus);
    if (listenFd >= 0)
        close(listenFd);
}

}  // namespace plat

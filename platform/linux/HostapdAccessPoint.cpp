#include "HostapdAccessPoint.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ChildProcess.h"
#include "LinkState.h"

namespace plat {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kStartTimeout = std::chrono::seconds(10);

int Remaining(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

bool WriteFile(const std::string& path, const std::string& text, mode_t mode) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    fchmod(fd, mode);  // an older file keeps its mode otherwise
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            close(fd);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return close(fd) == 0;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Gone, or a zombie that only waits for its parent (which may never reap it).
bool ProcessGone(pid_t pid) {
    if (kill(pid, 0) != 0 && errno == ESRCH)
        return true;
    const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

void Signal(int fd) {
    const std::uint64_t one = 1;
    ssize_t n;
    do {
        n = write(fd, &one, sizeof one);
    } while (n < 0 && errno == EINTR);
}

}  // namespace

HostapdAccessPoint::HostapdAccessPoint(HostapdSettings::Driver driver) : m_driver(driver) {}

HostapdAccessPoint::~HostapdAccessPoint() {
    Stop();
}

std::string HostapdAccessPoint::ConfigPath(const std::string& dir, const std::string& iface) {
    return dir + "/hostapd-" + iface + ".conf";
}
std::string HostapdAccessPoint::PidPath(const std::string& dir, const std::string& iface) {
    return dir + "/hostapd-" + iface + ".pid";
}
std::string HostapdAccessPoint::LogPath(const std::string& dir, const std::string& iface) {
    return dir + "/hostapd-" + iface + ".log";
}
std::string HostapdAccessPoint::ControlDir(const std::string& dir) {
    return dir + "/hostapd";
}

std::string HostapdAccessPoint::LogTail(const std::string& logPath, std::size_t lines) {
    std::ifstream in(logPath);
    std::deque<std::string> last;
    std::string line;
    while (std::getline(in, line)) {
        // hostapd prefixes its state lines with the interface; keep them whole.
        if (line.empty())
            continue;
        last.push_back(line);
        if (last.size() > lines)
            last.pop_front();
    }
    std::string out;
    for (const std::string& l : last)
        out += (out.empty() ? "" : "; ") + l;
    return out;
}

bool HostapdAccessPoint::CleanStale(const std::string& dir, const std::string& iface) {
    bool found = false;
    const std::string pidPath = PidPath(dir, iface);
    const std::string config = ConfigPath(dir, iface);
    pid_t pid = 0;
    {
        std::ifstream in(pidPath);
        in >> pid;
    }
    if (pid > 1) {
        // Only a hostapd that runs our configuration of this interface.
        std::string cmdline = ReadFile("/proc/" + std::to_string(pid) + "/cmdline");
        for (char& c : cmdline)
            if (c == 0)
                c = ' ';
        if (cmdline.find("hostapd") != std::string::npos &&
            cmdline.find(config) != std::string::npos) {
            found = true;
            kill(pid, SIGTERM);
            const auto deadline = Clock::now() + std::chrono::seconds(2);
            while (!ProcessGone(pid) && Clock::now() < deadline)
                usleep(20000);
            if (!ProcessGone(pid))
                kill(pid, SIGKILL);
        }
    }
    std::error_code ec;
    std::filesystem::remove(pidPath, ec);
    std::filesystem::remove(config, ec);
    std::filesystem::remove(ControlDir(dir) + "/" + iface, ec);
    return found;
}

DWORD HostapdAccessPoint::Start(const AccessPointSettings& settings, AccessPointEvents* events,
                                std::string* failure) {
    if (m_thread.joinable())
        return kErrorInvalidState;
    m_settings = settings;
    m_events = events;
    if (!HostapdConfig::ValidInterfaceName(settings.interface)) {
        *failure = "invalid interface name";
        return kErrorInvalidParameter;
    }
    std::error_code ec;
    std::filesystem::create_directories(settings.runtimeDir, ec);
    if (ec || chmod(settings.runtimeDir.c_str(), 0700) != 0) {
        *failure = "cannot create the runtime folder " + settings.runtimeDir;
        return kErrorAccessDenied;
    }
    CleanStale(settings.runtimeDir, settings.interface);

    HostapdSettings h;
    h.interface = settings.interface;
    h.driver = m_driver;
    h.controlDir = ControlDir(settings.runtimeDir);
    h.ssid = settings.ssid;
    h.passphrase = settings.passphrase;
    h.psk = settings.psk;
    h.channel = settings.channel;
    h.countryCode = settings.countryCode;
    h.ht = settings.ht;
    h.vht = settings.vht;
    if (!HostapdConfig::ParseSecurity(settings.security, &h.security)) {
        *failure = "unknown security " + settings.security;
        return kErrorInvalidParameter;
    }
    h.maxStations = settings.maxStations;
    h.eapUserFile = settings.eapUserFile;
    std::string text;
    std::string error;
    if (!HostapdConfig::Write(h, &text, &error)) {
        *failure = "cannot configure hostapd: " + error;
        return kErrorInvalidParameter;
    }
    if (!WriteFile(ConfigPath(settings.runtimeDir, settings.interface), text, 0600) ||
        !WriteFile(LogPath(settings.runtimeDir, settings.interface), "", 0600)) {
        *failure = "cannot write hostapd's configuration in " + settings.runtimeDir;
        return kErrorAccessDenied;
    }
    if (ChildProcess::Find(settings.hostapd).empty()) {
        RemoveFiles();
        *failure = "hostapd is not installed (install the package hostapd)";
        return kErrorFileNotFound;
    }

    if (m_driver == HostapdSettings::Driver::Wired) {
        if (const int e =
                LinkState::EnsureUp(settings.interface, LinkRecord(settings), &m_broughtUp)) {
            RemoveFiles();
            *failure = "cannot set " + settings.interface + " up: " + std::strerror(e);
            return e == EPERM || e == EACCES ? kErrorAccessDenied : kErrorInvalidState;
        }
    }
    m_stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_stopFd < 0) {
        RemoveFiles();
        *failure = std::string("cannot make an event descriptor: ") + std::strerror(errno);
        return kErrorNotEnoughMemory;
    }
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_ended = false;
    }
    std::promise<Outcome> started;
    std::future<Outcome> outcome = started.get_future();
    m_thread = std::jthread(
        [this, p = std::move(started)](std::stop_token stop) mutable { Run(stop, std::move(p)); });
    const Outcome o = outcome.get();
    if (o.code != 0) {
        Stop();
        *failure = o.failure;
    }
    return o.code;
}

void HostapdAccessPoint::Stop() {
    if (m_thread.joinable()) {
        m_thread.request_stop();
        Signal(m_stopFd);
        m_thread.join();
    }
    if (m_stopFd >= 0) {
        close(m_stopFd);
        m_stopFd = -1;
    }
    LinkState::Restore(m_settings.interface, LinkRecord(m_settings), m_broughtUp);
    m_broughtUp = false;
}

std::vector<MacAddress> HostapdAccessPoint::Stations() {
    std::vector<HostapdStation> stations;
    std::vector<MacAddress> out;
    if (!m_control.Stations(&stations))
        return out;
    for (const HostapdStation& s : stations)
        if (s.authorized)
            out.push_back(s.mac);
    return out;
}

AccessPointInfo HostapdAccessPoint::Info() {
    AccessPointInfo info;
    std::map<std::string, std::string> status;
    if (!m_control.Status(&status))
        return info;
    HostapdControl::ParseMac(status["bssid[0]"], &info.bssid);
    const std::string& freq = status["freq"];
    unsigned long mhz = 0;
    for (char c : freq) {
        if (c < '0' || c > '9' || mhz > 100000)
            break;
        mhz = mhz * 10 + static_cast<unsigned long>(c - '0');
    }
    info.frequencyKhz = static_cast<ULONG>(mhz * 1000);
    return info;
}

void HostapdAccessPoint::RemoveFiles() {
    std::error_code ec;
    std::filesystem::remove(ConfigPath(m_settings.runtimeDir, m_settings.interface), ec);
    std::filesystem::remove(PidPath(m_settings.runtimeDir, m_settings.interface), ec);
}

void HostapdAccessPoint::Report(const std::string& why) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_ended)
            return;
        m_ended = true;
    }
    if (m_events != nullptr)
        m_events->Ended(this, why);
}

HostapdAccessPoint::Outcome HostapdAccessPoint::Startup(ChildProcess& child) {
    const std::string& iface = m_settings.interface;
    const std::string logPath = LogPath(m_settings.runtimeDir, iface);
    const std::string socket = ControlDir(m_settings.runtimeDir) + "/" + iface;
    const auto deadline = Clock::now() + kStartTimeout;
    auto exited = [&]() -> Outcome {
        return Outcome{kErrorInvalidState, "hostapd could not start the access point on " + iface +
                                               " (" + child.Ending() + "): " + LogTail(logPath)};
    };
    auto wait = [&](int fd, int ms) {
        pollfd p[3] = {{m_stopFd, POLLIN, 0}, {child.ExitFd(), POLLIN, 0}, {fd, POLLIN, 0}};
        poll(p, 3, child.ExitFd() < 0 ? std::min(ms, 50) : ms);
    };

    // The control socket appears once hostapd has set the interface up.
    for (;;) {
        if (child.Poll())
            return exited();
        if (access(socket.c_str(), F_OK) == 0 && m_control.Open(socket) == 0)
            break;
        if (Remaining(deadline) == 0)
            return Outcome{kErrorInvalidState,
                           "hostapd did not open its control interface: " + LogTail(logPath)};
        wait(-1, 20);
    }
    // Attached first, then asked: an enable that happens in between is not missed.
    for (;;) {
        std::map<std::string, std::string> status;
        if (m_control.Status(&status) && status["state"] == "ENABLED")
            return Outcome{};
        std::vector<HostapdEvent> events;
        if (!m_control.ReceiveEvents(&events))
            return Outcome{kErrorInvalidState, "lost hostapd's control interface"};
        for (const HostapdEvent& e : events) {
            if (e.kind == HostapdEvent::Kind::Enabled)
                return Outcome{};
            if (e.kind == HostapdEvent::Kind::Disabled || e.kind == HostapdEvent::Kind::Terminating)
                return Outcome{kErrorInvalidState, "hostapd could not enable the access point on " +
                                                       iface + ": " + LogTail(logPath)};
        }
        if (child.Poll())
            return exited();
        if (Remaining(deadline) == 0)
            return Outcome{kErrorInvalidState,
                           "hostapd did not enable the access point in time: " + LogTail(logPath)};
        wait(m_control.EventFd(), Remaining(deadline));
    }
}

void HostapdAccessPoint::Run(std::stop_token stop, std::promise<Outcome> started) {
    const std::string& iface = m_settings.interface;
    const std::string logPath = LogPath(m_settings.runtimeDir, iface);
    ChildProcess child;
    const int e =
        child.Start(m_settings.hostapd, {ConfigPath(m_settings.runtimeDir, iface)}, logPath);
    if (e != 0) {
        RemoveFiles();
        started.set_value(Outcome{e == ENOENT ? kErrorFileNotFound : kErrorAccessDenied,
                                  std::string("cannot run hostapd: ") + std::strerror(e)});
        return;
    }
    WriteFile(PidPath(m_settings.runtimeDir, iface), std::to_string(child.Pid()) + "\n", 0644);

    const Outcome outcome = Startup(child);
    const bool up = outcome.code == 0;
    started.set_value(outcome);

    while (up && !stop.stop_requested()) {
        pollfd p[3] = {
            {m_stopFd, POLLIN, 0}, {m_control.EventFd(), POLLIN, 0}, {child.ExitFd(), POLLIN, 0}};
        poll(p, 3, child.ExitFd() < 0 ? 200 : -1);
        if (stop.stop_requested())
            break;
        if (p[1].fd >= 0 && p[1].revents != 0) {
            std::vector<HostapdEvent> events;
            const bool ok = m_control.ReceiveEvents(&events);
            for (const HostapdEvent& ev : events) {
                switch (ev.kind) {
                    case HostapdEvent::Kind::StationConnected:
                        if (m_events != nullptr)
                            m_events->StationJoined(this, ev.mac);
                        break;
                    case HostapdEvent::Kind::StationDisconnected:
                        if (m_events != nullptr)
                            m_events->StationLeft(this, ev.mac);
                        break;
                    case HostapdEvent::Kind::Disabled:
                    case HostapdEvent::Kind::Terminating:
                        Report("hostapd took the access point on " + iface +
                               " down: " + LogTail(logPath));
                        break;
                    default:
                        break;
                }
            }
            if (!ok) {
                Report("lost hostapd's control interface");
                m_control.Close();  // not watched any more; the process still is
            }
        }
        if (child.Poll()) {
            Report("hostapd ended (" + child.Ending() + "): " + LogTail(logPath));
            break;
        }
    }
    m_control.Close();
    child.Stop();
    RemoveFiles();
}

}  // namespace plat

#include "HotspotProgram.h"

#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "CommandReader.h"
#include "Common/LumariConfig.h"
#include "Common/LumariCore.h"
#include "Common/LumariLog.h"
#include "Common/StringConv.h"
#include "HotspotCommand.h"
#include "HotspotNotify.h"
#include "HotspotSettings.h"
#include "JsonLine.h"
#include "StartFailure.h"
#include "Wlan/WiFiManager.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxBackend.h"
#include "platform/winapi/DebugOutput.h"

#ifndef LUMARI_HOTSPOT_DATADIR
#define LUMARI_HOTSPOT_DATADIR "/usr/local/share/lumari-hotspot"
#endif

namespace {

namespace fs = std::filesystem;

// Owns a descriptor.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// The manufacturer table is read from the state folder (the engine's files
// live there): it is copied in from beside the program or where it is installed.
void ProvideMacTable(const std::string& stateDir) {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    for (const fs::path& from :
         {exe.parent_path() / "mac.dat", fs::path(LUMARI_HOTSPOT_DATADIR) / "mac.dat"}) {
        if (!fs::is_regular_file(from, ec))
            continue;
        fs::copy_file(from, fs::path(stateDir) / "mac.dat", fs::copy_options::update_existing, ec);
        return;
    }
}

}  // namespace

HotspotProgram::HotspotProgram(const HotspotOptions& options, HotspotOutput& output)
    : m_options(options), m_output(output) {}

std::string HotspotProgram::RuntimeDir() {
    const char* dir = std::getenv("LUMARI_HOTSPOT_RUNTIME_DIR");
    return dir != nullptr && dir[0] == '/' ? std::string(dir) : "/run/lumari-hotspot";
}

int HotspotProgram::PrintJoinCode(const HotspotOptions& options, std::FILE* out, std::FILE* err) {
    // The settings file the engine's configuration names in the state folder.
    HotspotSettings settings = HotspotSettings::Load(options.stateDir + "/Lumari.cfg");
    settings.Apply(options);
    if (settings.ssid.empty() || settings.key.empty()) {
        std::fprintf(err,
                     "lumari-hotspot: no network name and pass phrase stored in %s; give --ssid "
                     "and --key\n",
                     options.stateDir.c_str());
        return 1;
    }
    const std::string text = settings.JoinCodeText();
    if (text.empty()) {
        std::fputs("lumari-hotspot: the name and pass phrase do not fit in a QR code\n", err);
        return 1;
    }
    std::fputs(text.c_str(), out);
    return std::fflush(out) == 0 ? 0 : 1;
}

void HotspotProgram::Wake() {
    const std::uint64_t one = 1;
    if (m_wakeFd >= 0 && write(m_wakeFd, &one, sizeof one) < 0) {
        // A full counter wakes the loop all the same.
    }
}

int HotspotProgram::Run() {
    if (geteuid() != 0) {
        m_output.Say("must run as root (it sets addresses, firewall rules and runs hostapd)");
        return 5;
    }
    std::error_code ec;
    const std::string runtimeDir = RuntimeDir();
    fs::create_directories(m_options.stateDir, ec);
    if (ec || !fs::is_directory(m_options.stateDir)) {
        m_output.Say("cannot make the state folder " + m_options.stateDir + ": " + ec.message());
        return 3;
    }
    chmod(m_options.stateDir.c_str(), 0700);
    fs::create_directories(runtimeDir, ec);
    chmod(runtimeDir.c_str(), 0700);

    // SIGINT and SIGTERM are read from a descriptor by the main loop; every
    // thread started from here on keeps them blocked.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    auto backend = std::make_unique<plat::LinuxBackend>(m_options.stateDir + "/registry");
    backend->SetProgramFolder(m_options.stateDir);
    backend->SetIpv6(!m_options.noIpv6);
    plat::LinuxBackend& backendRef = *backend;
    plat::Platform::Install(std::move(backend));
    // The engine's debugger lines (several a second) stay out of standard
    // error, which carries the program's own diagnostics; the log has them.
    plat::DebugOutput::Instance().SetSink(plat::DebugOutput::Sink::None);
    ProvideMacTable(m_options.stateDir);
    InitLog();
    LogOsVersion();

    CLumariConfig* config = CLumariConfig::GetInstance();
    HotspotSettings settings = HotspotSettings::Load(config->GetCfgPath());
    settings.Apply(m_options);
    if (settings.MakeMissing())
        m_output.Say("network name \"" + settings.ssid + "\", pass phrase \"" + settings.key +
                     "\" (kept for the next runs)");
    m_output.ShowOnTerminal(settings.JoinCodeText());
    if (!settings.Save(config->GetCfgPath()))
        m_output.Say("cannot write the settings to " + config->GetCfgPath());
    config->Load();
    if (m_options.address) {
        config->SetIp(*m_options.address);
        config->Save();
    }

    plat::LinuxHostedNetworkOptions apOptions = backendRef.HostedNetwork().Options();
    apOptions.apInterface = settings.apInterface;
    apOptions.runtimeDir = runtimeDir;
    apOptions.security = settings.security;
    apOptions.band = settings.band;
    apOptions.channel = settings.channel;
    apOptions.countryCode = settings.country;
    apOptions.oneCard = settings.oneCard;
    backendRef.HostedNetwork().SetOptions(apOptions);
    // The choice the start makes, said before it starts.
    const plat::RadioChoice choice = backendRef.HostedNetwork().Choice();
    const std::string apInterface = choice.name;
    m_output.Say(choice.form == plat::RadioChoice::Form::None
                     ? choice.why + (choice.fix.empty() ? "" : "; " + choice.fix)
                     : choice.why);
    // What the start and stop do around the access point, told as it happens.
    backendRef.HostedNetwork().SetNote([this, said = choice.why](const std::string& text) {
        if (text != said)
            m_output.Say(text);
    });

    const Fd wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    m_wakeFd = wake.get();
    const int status = RunEngine(settings, apInterface, backendRef);
    m_wakeFd = -1;
    FlushLog();
    plat::Platform::Uninstall();
    return status;
}

int HotspotProgram::RunEngine(const HotspotSettings& settings, const std::string& apInterface,
                              plat::LinuxBackend& backendRef) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    const Fd signalFd(signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK));

    HotspotNotify notify(m_output);
    notify.SetWake([this] { Wake(); });
    int status = 0;
    {
        CLumariCore core(&notify);
        int mode = kWiFiModeHosted;
        const int init = core.Init(&mode);
        if (init != 0) {
            const StartFailure f = StartFailure::Describe(init, std::string(), apInterface);
            m_output.Say("the start failed: " + f.what + "; " + f.fix);
            return StartFailure::ExitStatus(init);
        }
        core.SetOption(L"allowdnsproxy", settings.dnsRelay ? L"true" : L"false");
        // The lists of the files join the stored ones before anything starts.
        for (const std::wstring& mac : m_options.deny)
            core.DenyClient(mac);
        for (const std::wstring& mac : m_options.allow)
            core.AllowClient(mac);
        m_output.Say("starting \"" + settings.ssid + "\"" +
                     (apInterface.empty() ? std::string() : " on " + apInterface));
        core.Start(AnsiToWide(settings.ssid), AnsiToWide(settings.key), kSsidEncodingUtf8);

        CommandReader reader(
            STDIN_FILENO, HotspotCommand::kMaxLine,
            [&](const std::string& line) {
                HotspotCommand command;
                std::string why;
                if (!HotspotCommand::Parse(line, &command, &why)) {
                    m_output.Error(why);
                    return;
                }
                if (command.kind == HotspotCommand::Kind::Stop) {
                    m_stopCommand = true;
                    Wake();
                    return;
                }
                Obey(core, command);
            },
            [&](const std::string& why) { m_output.Error(why); });
        reader.Start();

        bool stopping = false;
        bool running = false;
        for (;;) {
            if (!running) {
                if (const auto started = notify.WaitStarted(std::chrono::milliseconds(0))) {
                    if (*started != 0) {
                        if (stopping) {
                            status = 0;
                        } else {
                            const StartFailure f = StartFailure::Describe(
                                *started, backendRef.HostedNetwork().LastFailure(), apInterface);
                            m_output.Say("the start failed: " + f.what + "; " + f.fix);
                            status = StartFailure::ExitStatus(*started);
                        }
                        break;
                    }
                    running = true;
                    m_output.Say("running; type stop (or press Ctrl+C) to stop");
                }
            }
            if (running) {
                if (const auto stopped = notify.WaitStopped(std::chrono::milliseconds(0))) {
                    if (!stopping) {
                        const std::string why = backendRef.HostedNetwork().LastFailure();
                        m_output.Say("the access point ended" +
                                     (why.empty() ? std::string() : ": " + why));
                        status = StartFailure::ExitStatus(*stopped == 0 ? 1 : *stopped);
                    } else {
                        status = *stopped == 0 ? 0 : StartFailure::ExitStatus(*stopped);
                    }
                    break;
                }
            }
            pollfd fds[2] = {{signalFd.get(), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
            if (poll(fds, 2, 1000) < 0 && errno != EINTR)
                break;
            bool stopNow = m_stopCommand.exchange(false);
            signalfd_siginfo info;
            while (read(signalFd.get(), &info, sizeof info) == sizeof info)
                stopNow = true;
            std::uint64_t count;
            while (read(m_wakeFd, &count, sizeof count) == sizeof count) {
            }
            if (stopNow && !stopping) {
                stopping = true;
                m_output.Say("stopping");
                core.Stop();
            }
        }
        reader.Stop();
    }  // the engine's threads end here; the access point is stopped
    notify.SetWake({});
    // The stop gave the interface back (NetworkManager, firewall, address).
    backendRef.HostedNetwork().SetNote({});
    return status;
}

void HotspotProgram::Obey(CLumariCore& core, const HotspotCommand& command) {
    bool done = false;
    switch (command.kind) {
        case HotspotCommand::Kind::Limit:
            done = core.SetSpeedLimit(command.mac, command.down, command.up);
            break;
        case HotspotCommand::Kind::Ban:
            done = core.BanClient(command.mac);
            break;
        case HotspotCommand::Kind::Unban:
            done = core.UnbanClient(command.mac);
            break;
        case HotspotCommand::Kind::Block:
            done = core.BlockClient(command.mac);
            break;
        case HotspotCommand::Kind::Deny:
            done = core.DenyClient(command.mac);
            break;
        case HotspotCommand::Kind::Undeny:
            done = core.UnbanClient(command.mac);
            break;
        case HotspotCommand::Kind::Allow:
            done = core.AllowClient(command.mac);
            break;
        case HotspotCommand::Kind::Unallow:
            if (!core.DisallowClient(command.mac))
                m_output.Error(WideToUtf8(command.mac) + " is not on the allow list");
            return;
        case HotspotCommand::Kind::Nick:
            done = core.SetClientNickName(command.mac, command.text);
            break;
        case HotspotCommand::Kind::Clients: {
            std::vector<ClientInfo> clients;
            core.GetClients(clients);
            m_output.Event(
                JsonLine::Event("Clients").Json("clients", JsonLine::Clients(clients)).Str());
            return;
        }
        case HotspotCommand::Kind::Stop:
            return;
    }
    if (!done)
        m_output.Error("no client " + WideToUtf8(command.mac));
}

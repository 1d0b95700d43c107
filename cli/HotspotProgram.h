// One run of lumari-hotspot: the Linux backend set up to keep its files in
// the state folder, the stored settings with the options given, the choice of
// interface said, the engine started (the backend hands the interface over
// and back); then events out and commands in until `stop`, SIGINT or SIGTERM
// (or the hotspot ends on its own), and everything handed back.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>

#include "HotspotOptions.h"
#include "HotspotOutput.h"

class CLumariCore;
struct HotspotCommand;
struct HotspotSettings;
namespace plat {
class LinuxBackend;
}

class HotspotProgram {
public:
    HotspotProgram(const HotspotOptions& options, HotspotOutput& output);

    // The exit status: 0 after a clean stop, else the failure code's low byte.
    int Run();

    // The folder of the run's own files (hostapd's configuration, records of
    // what a killed run must give back): LUMARI_HOTSPOT_RUNTIME_DIR when set.
    static std::string RuntimeDir();

    // --qr: the join code of the stored name and pass phrase (the options
    // given replace them) to `out`, nothing started; 0, or 1 with the reason
    // on `err` when there is no name or pass phrase.
    static int PrintJoinCode(const HotspotOptions& options, std::FILE* out, std::FILE* err);

private:
    int RunEngine(const HotspotSettings& settings, const std::string& apInterface,
                  plat::LinuxBackend& backendRef);
    void Obey(CLumariCore& core, const HotspotCommand& command);
    void Wake();

    const HotspotOptions m_options;
    HotspotOutput& m_output;
    int m_wakeFd = -1;
    std::atomic<bool> m_stopCommand{false};
};

// Soak of the engine's lifetime on the simulated PC (a program, not a test):
// many start and stop cycles of one engine, a client joining in each, and the
// process's threads and memory printed every hundred cycles. It fails (exit 1)
// when a thread is left behind, a cycle does not end as it should, or the
// memory still grows after the first hundred cycles.
//
//   lumari_engine_soak [cycles, default 1000]
#include <dirent.h>
#include <glog/logging.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>

#include "Common/LumariCore.h"
#include "platform/Platform.h"
#include "support/EngineBed.h"
#include "support/TempDir.h"

namespace {

using namespace std::chrono_literals;

int Threads() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d))
            n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

long HeapKb() {
    return static_cast<long>(mallinfo2().uordblks / 1024);
}

long ResidentKb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Under the sanitizers freed memory is held back on purpose (quarantine,
// shadow), so only a normal build can tell whether the memory is flat.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMeasureMemory = false;
#else
constexpr bool kMeasureMemory = true;
#endif

template <class F>
bool Eventually(F done) {
    for (int i = 0; i < 20000 && !done(); ++i)
        std::this_thread::sleep_for(1ms);
    return done();
}

}  // namespace

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 1000;
    if (std::getenv("TZ") == nullptr)
        setenv("TZ", "UTC", 0);
    tzset();
    google::InitGoogleLogging(argv[0]);
    FLAGS_logtostderr = false;
    FLAGS_stderrthreshold = google::GLOG_FATAL;
    for (int s = google::GLOG_INFO; s < google::NUM_SEVERITIES; ++s)
        google::SetLogDestination(s, "");

    TempDir dir;
    plat::Platform::ResetAll();
    plat::SimPc& pc = plat::SimPc::Install();
    pc.os.SetModuleFileName(dir.File("Zentavo"));
    enginebed::Prepare(pc);

    const int threadsBefore = Threads();
    long rssAt100 = 0;
    long heapAt100 = 0;
    bool ok = true;
    {
        enginebed::RecordingNotify notify;
        CLumariCore core(&notify);
        int mode = 0;
        core.Init(&mode);
        std::printf("cycle  threads  resident KB  heap in use KB\n");
        for (int i = 1; i <= cycles && ok; ++i) {
            notify.Clear();
            core.Start(L"Lumari", L"password1", 1);
            if (!Eventually([&] { return notify.Has("started 0") && core.GetStatus() == 50; }) ||
                !pc.clock.WaitForSleepers(1)) {
                std::string events;
                for (const std::string& e : notify.Events())
                    events += " [" + e + "]";
                std::printf("cycle %d: no start (status %d, sleepers %zu, events:%s)\n", i,
                            core.GetStatus(), pc.clock.Sleepers(), events.c_str());
                ok = false;
                break;
            }
            // One of ten clients joins and moves some traffic (ten, so the
            // client table stays the same size and the memory can stay flat).
            char mac[18];
            std::snprintf(mac, sizeof mac, "A4-45-19-00-00-%02X", i % 10);
            pc.nat.Engine().AddPeer(mac, "192.168.23.2");
            pc.clock.Advance(1s);
            pc.nat.Engine().Traffic(mac, 4096, 65536);
            pc.clock.Advance(1s);
            pc.nat.Engine().RemovePeer(mac);
            core.Stop();
            if (!Eventually([&] { return notify.Has("stopped 0"); })) {
                std::printf("cycle %d: no stop\n", i);
                ok = false;
                break;
            }
            if (!notify.Has("join " + std::string(mac))) {
                std::printf("cycle %d: the client was not seen\n", i);
                ok = false;
            }
            // What the simulated PC records for tests is not the engine's.
            pc.nat.ClearRequests();
            pc.services.ClearLog();
            pc.devices.ClearCalls();
            pc.wmi.ClearWritten();
            if (i % 100 == 0 || i == 1) {
                const long rss = ResidentKb();
                const long heap = HeapKb();
                if (i == 100) {
                    rssAt100 = rss;
                    heapAt100 = heap;
                }
                std::printf("%5d  %7d  %11ld  %14ld\n", i, Threads(), rss, heap);
                std::fflush(stdout);
            }
        }
    }
    // Some threads start once per process (the DHCP library's, the
    // simulated notification delivery); a cycle must add none.
    const int threadsAfter = Threads();
    const long rssEnd = ResidentKb();
    const long heapEnd = HeapKb();
    std::printf("threads before the first start %d, after the last stop %d\n", threadsBefore,
                threadsAfter);
    if (threadsAfter > threadsBefore) {
        std::printf("FAIL: %d thread(s) left behind\n", threadsAfter - threadsBefore);
        ok = false;
    }
    if (!kMeasureMemory)
        std::printf("memory not judged under a sanitizer\n");
    if (kMeasureMemory && rssAt100 > 0) {
        const long growth = rssEnd - rssAt100;
        std::printf("resident memory after 100 cycles %ld KB, at the end %ld KB (%+ld KB)\n",
                    rssAt100, rssEnd, growth);
        std::printf("heap in use after 100 cycles %ld KB, at the end %ld KB (%+ld KB)\n", heapAt100,
                    heapEnd, heapEnd - heapAt100);
        // Flat: within 512 KB of the figures at cycle 100, whatever the cycles.
        if (growth > 512 || heapEnd - heapAt100 > 512) {
            std::printf("FAIL: memory grows\n");
            ok = false;
        }
    }
    plat::Platform::ResetAll();
    plat::Platform::Uninstall();
    std::printf("%s\n", ok ? "OK" : "FAILED");
    return ok ? 0 : 1;
}

// Benchmark of the Linux NAT driver on the namespace bed (root only): TCP
// throughput through the driver (masquerade, per-client counters and the
// classification rules on) as a share of plain routing on the same veths;
// a 1024 KB/s limit in each direction, the rate iperf3 achieves and its
// retransmits; and the time of one peer-list request with 256 clients known.
//
//   nat_bench [seconds per iperf3 run, default 5] [rounds, default 3]
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/NatTestBed.h"
#include "platform/linux/LinuxNatDevice.h"
#include "platform/linux/NftSetReader.h"
#include "platform/records/NatRecords.h"
#include "platform/text/GuidText.h"
#include "platform/winapi/Win32Api.h"

namespace {

using nettest::NatTestBed;

std::string Capture(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr)
        return out;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
        out.append(buffer, n);
    pclose(p);
    return out;
}

// The number after "key": in the block that follows `section` in iperf3's JSON.
double JsonNumber(const std::string& json, const std::string& section, const std::string& key) {
    const std::size_t s = json.rfind("\"" + section + "\"");
    if (s == std::string::npos)
        return -1;
    const std::size_t k = json.find("\"" + key + "\"", s);
    if (k == std::string::npos)
        return -1;
    return std::atof(json.c_str() + json.find(':', k) + 1);
}

struct Iperf {
    double bitsPerSecond = -1;
    double retransmits = -1;
};

// iperf3 from client `i` to the upstream host; `download` reverses it.
Iperf RunIperf(NatTestBed& bed, int i, bool download, int seconds) {
    const std::string json =
        Capture("ip netns exec " + bed.Client(i).Name() + " iperf3 -J -c 203.0.113.10 -t " +
                std::to_string(seconds) + (download ? " -R" : "") + " 2>/dev/null");
    Iperf r;
    r.bitsPerSecond = JsonNumber(json, "sum_received", "bits_per_second");
    r.retransmits = JsonNumber(json, "sum_sent", "retransmits");
    return r;
}

// The run of median throughput (by what was received).
Iperf Median(std::vector<Iperf> runs) {
    std::sort(runs.begin(), runs.end(),
              [](const Iperf& a, const Iperf& b) { return a.bitsPerSecond < b.bitsPerSecond; });
    return runs[runs.size() / 2];
}

plat::BOOL Control(plat::LinuxNatDevice& d, plat::HANDLE h, plat::DWORD code, const void* in,
                   std::size_t inSize, void* out = nullptr, std::size_t outSize = 0) {
    plat::DWORD n = 0;
    return d.Control(h, code, in, static_cast<plat::DWORD>(inSize), out,
                     static_cast<plat::DWORD>(outSize), &n);
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    const int rounds = argc > 2 && std::atoi(argv[2]) > 0 ? std::atoi(argv[2]) : 3;
    NatTestBed bed;
    std::string why;
    if (!bed.Ready(&why)) {
        std::fprintf(stderr, "nat_bench: %s\n", why.c_str());
        return 1;
    }
    if (nettest::Run("command -v iperf3 >/dev/null") != 0) {
        std::fprintf(stderr, "nat_bench: needs iperf3\n");
        return 1;
    }
    const std::string up = bed.Upstream().Name(), hs = bed.Hotspot().Name();
    nettest::Run("ip netns exec " + up + " iperf3 -s -D -B 203.0.113.10 >/dev/null 2>&1");

    std::unique_ptr<plat::LinuxNatDevice> device;
    plat::HANDLE h = nullptr;
    auto inHotspot = [&](const std::function<void()>& body) { bed.Hotspot().RunInside(body); };
    inHotspot([&] {
        device = std::make_unique<plat::LinuxNatDevice>();
        h = device->Open(plat::kNatWfpDeviceName);
    });
    if (h == nullptr) {
        std::fprintf(stderr, "nat_bench: the driver did not open (%u)\n", plat::GetLastError());
        return 1;
    }
    auto share = [&](bool on) {
        bool ok = false;
        inHotspot([&] {
            if (!on) {
                ok = Control(*device, h, plat::kNatIoctlDisableShare, nullptr, 0) == plat::TRUE_;
                return;
            }
            const auto r = plat::NatRecords::MakeEnable(plat::GuidText::FromName("wan0"),
                                                        plat::GuidText::FromName("br0"));
            ok = Control(*device, h, plat::kNatIoctlEnableShare, &r, sizeof r) == plat::TRUE_;
        });
        return ok;
    };

    // The three ways take turns, round after round, so that a machine whose
    // load changes during the run weighs on each alike; the medians compare.
    std::vector<Iperf> plainUps, plainDowns, masqUps, masqDowns, natUps, natDowns;
    for (int round = 0; round < rounds; ++round) {
        // Plain routing: forwarding on, the upstream routes back to the clients.
        nettest::Run("ip netns exec " + hs + " sysctl -qw net.ipv4.ip_forward=1");
        nettest::Run("ip -n " + up + " route add 192.168.50.0/24 via 198.51.100.2");
        nettest::Run("sleep 0.2");
        plainUps.push_back(RunIperf(bed, 0, false, seconds));
        plainDowns.push_back(RunIperf(bed, 0, true, seconds));
        nettest::Run("ip -n " + up + " route del 192.168.50.0/24 via 198.51.100.2");

        // Masquerade alone, for reference: what NAT costs without the driver's rules.
        nettest::Run(
            "ip netns exec " + hs +
            " nft 'add table ip natref; add chain ip natref post { type nat hook postrouting "
            "priority srcnat; }; add rule ip natref post oifname \"wan0\" masquerade'");
        masqUps.push_back(RunIperf(bed, 0, false, seconds));
        masqDowns.push_back(RunIperf(bed, 0, true, seconds));
        nettest::Run("ip netns exec " + hs + " nft delete table ip natref");
        nettest::Run("ip netns exec " + hs + " sysctl -qw net.ipv4.ip_forward=0");

        if (!share(true)) {
            std::fprintf(stderr, "nat_bench: the driver did not share (%u)\n",
                         plat::GetLastError());
            return 1;
        }
        natUps.push_back(RunIperf(bed, 0, false, seconds));
        natDowns.push_back(RunIperf(bed, 0, true, seconds));
        if (round + 1 < rounds)
            share(false);
    }
    const Iperf plainUp = Median(plainUps), plainDown = Median(plainDowns);
    const Iperf masqUp = Median(masqUps), masqDown = Median(masqDowns);
    const Iperf natUp = Median(natUps), natDown = Median(natDowns);

    // 1024 KB/s each way for client 1.
    plat::MacAddress mac{};
    plat::MacText::Parse(NatTestBed::ClientMac(0).c_str(), &mac);
    inHotspot([&] {
        std::vector<std::uint8_t> peers(plat::kNatPeerBufferSize);
        Control(*device, h, plat::kNatIoctlGetPeers, nullptr, 0, peers.data(), peers.size());
        const auto s = plat::NatRecords::MakeSpeed(mac, 1, 1024, 1024);
        Control(*device, h, plat::kNatIoctlSetSpeedLimit, &s, sizeof s);
    });
    const Iperf limitUp = RunIperf(bed, 0, false, seconds);
    const Iperf limitDown = RunIperf(bed, 0, true, seconds);

    // 256 clients known: pairs and counts as the packet path leaves them.
    std::string fill;
    for (int i = 0; i < 256; ++i) {
        char line[256];
        std::snprintf(
            line, sizeof line,
            "add element inet lumari clients { 02:00:00:00:01:%02x . 192.168.51.%d }\n"
            "add element inet lumari up { 02:00:00:00:01:%02x counter packets %d bytes "
            "%d }\n"
            "add element inet lumari down { 192.168.51.%d counter packets %d bytes %d }\n",
            i, i, i, i, i * 1000, i, i, i * 5000);
        fill += line;
    }
    const std::string fillFile = "/tmp/nat_bench_fill_" + std::to_string(getpid()) + ".nft";
    if (FILE* f = std::fopen(fillFile.c_str(), "w")) {
        std::fputs(fill.c_str(), f);
        std::fclose(f);
    }
    nettest::Run("ip netns exec " + hs + " nft -f " + fillFile);
    std::remove(fillFile.c_str());
    double perRead = -1, cpuPerRead = -1;
    std::size_t listed = 0;
    inHotspot([&] {
        std::vector<std::uint8_t> peers(plat::kNatPeerBufferSize);
        const int reads = 200;
        timespec c0{}, c1{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c0);
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < reads; ++i) {
            plat::DWORD n = 0;
            device->Control(h, plat::kNatIoctlGetPeers, nullptr, 0, peers.data(),
                            static_cast<plat::DWORD>(peers.size()), &n);
            listed = n / sizeof(plat::PEER_INFO);
        }
        perRead = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                      .count() /
                  reads;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c1);
        cpuPerRead = ((c1.tv_sec - c0.tv_sec) * 1e3 + (c1.tv_nsec - c0.tv_nsec) / 1e6) / reads;
        if (std::getenv("NAT_BENCH_DETAIL") != nullptr) {
            plat::NftSetReader reader;
            std::vector<plat::NftSetReader::Element> elements;
            for (const char* set : {"clients", "up", "down"}) {
                timespec a{}, b{};
                clock_gettime(CLOCK_THREAD_CPUTIME_ID, &a);
                for (int i = 0; i < 200; ++i)
                    reader.Read("lumari", set, &elements);
                clock_gettime(CLOCK_THREAD_CPUTIME_ID, &b);
                std::printf("  reading set %-8s (%zu elements): %.3f ms of CPU time\n", set,
                            elements.size(),
                            ((b.tv_sec - a.tv_sec) * 1e3 + (b.tv_nsec - a.tv_nsec) / 1e6) / 200);
            }
        }
        Control(*device, h, plat::kNatIoctlDisableShare, nullptr, 0);
        device->Close(h);
        device.reset();
    });

    auto mbit = [](const Iperf& r) { return r.bitsPerSecond / 1e6; };
    auto kbs = [](const Iperf& r) { return r.bitsPerSecond / 8 / 1024; };
    std::printf("NAT driver benchmark (iperf3, %d s per run, one client, median of %d rounds)\n",
                seconds, rounds);
    std::printf("throughput   plain routing   up %9.0f Mbit/s   down %9.0f Mbit/s\n", mbit(plainUp),
                mbit(plainDown));
    std::printf("             masquerade only up %9.0f Mbit/s   down %9.0f Mbit/s\n", mbit(masqUp),
                mbit(masqDown));
    std::printf("             through driver  up %9.0f Mbit/s   down %9.0f Mbit/s\n", mbit(natUp),
                mbit(natDown));
    std::printf("             masquerade/plain up %8.2f          down %9.2f\n",
                masqUp.bitsPerSecond / plainUp.bitsPerSecond,
                masqDown.bitsPerSecond / plainDown.bitsPerSecond);
    std::printf("             driver/plain    up %9.2f          down %9.2f   (goal >= 0.90)\n",
                natUp.bitsPerSecond / plainUp.bitsPerSecond,
                natDown.bitsPerSecond / plainDown.bitsPerSecond);
    std::printf("limit 1024 KB/s  up   %7.1f KB/s (%+.1f%%), %.0f retransmits\n", kbs(limitUp),
                (kbs(limitUp) / 1024 - 1) * 100, limitUp.retransmits);
    std::printf("                 down %7.1f KB/s (%+.1f%%), %.0f retransmits\n", kbs(limitDown),
                (kbs(limitDown) / 1024 - 1) * 100, limitDown.retransmits);
    std::printf(
        "peer list with %zu clients listed: %.3f ms per request, %.3f ms of CPU time "
        "(goal < 1 ms)\n",
        listed, perRead, cpuPerRead);
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) > 0)
        std::printf("machine load average during the run: %.1f\n", load[0]);
    return 0;
}

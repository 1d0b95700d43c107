// Runs the DNS relay with the Linux backend in a process of its own, so that
// it uses the resolver configuration of the network namespace it is started in
// (`ip netns exec NS` mounts /etc/netns/NS/resolv.conf over /etc/resolv.conf).
//
//   lumari_dns_relay_host IP [PORT]
//
// Prints "ready PORT" once it listens (or "failed CODE" and exits 1), serves
// until it gets SIGTERM or SIGINT, then prints its counts:
// "queries N answered N unresolved N dropped N".
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "Common/DnsRelay.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxBackend.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s IP [PORT]\n", argv[0]);
        return 2;
    }
    // The signals that end it are taken by sigwait below; the relay's threads
    // inherit the mask.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    plat::Platform::Install(std::make_unique<plat::LinuxBackend>());
    CDnsRelay relay;
    const int port = argc > 2 ? std::atoi(argv[2]) : 53;
    const int rc = relay.StartRelay(argv[1], static_cast<std::uint16_t>(port));
    if (rc != 0) {
        std::printf("failed %d\n", rc);
        return 1;
    }
    std::printf("ready %u\n", relay.Port());
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stop, &signal);
    relay.Stop();
    const CDnsRelay::Stats s = relay.GetStats();
    std::printf(
        "queries %llu answered %llu unresolved %llu dropped %llu\n",
        static_cast<unsigned long long>(s.queries), static_cast<unsigned long long>(s.answered),
        static_cast<unsigned long long>(s.unresolved), static_cast<unsigned long long>(s.dropped));
    plat::Platform::Uninstall();
    return 0;
}

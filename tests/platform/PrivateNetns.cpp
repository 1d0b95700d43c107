#include "PrivateNetns.h"

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

namespace testnet {

bool RunInPrivateNetns(const std::function<void()>& body, std::string* why) {
    if (geteuid() != 0) {
        *why = "needs root";
        return false;
    }
    bool ran = false;
    // Namespaces belong to the thread that unshares them; the test's own thread
    // stays in the host's namespaces.
    std::thread worker([&] {
        if (unshare(CLONE_NEWNET | CLONE_NEWNS) != 0) {
            *why = std::string("unshare: ") + std::strerror(errno);
            return;
        }
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("sysfs", "/sys", "sysfs", 0, nullptr) != 0) {
            *why = std::string("mount: ") + std::strerror(errno);
            return;
        }
        ran = true;
        body();
    });
    worker.join();
    return ran;
}

bool WaitUntilUp(const std::string& link) {
    for (int i = 0; i < 300; ++i) {
        std::ifstream file("/sys/class/net/" + link + "/operstate");
        std::string state;
        if (file >> state && state == "up")
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace testnet

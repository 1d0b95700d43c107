// Runs test code on a thread of its own network and mount namespaces, with a
// sysfs of that network namespace mounted on /sys for the thread. Links the
// code creates vanish with the thread and are never seen by the host.
#pragma once

#include <functional>
#include <string>

namespace testnet {

// False (with the reason) when the namespaces cannot be made, e.g. not root;
// `body` then does not run.
bool RunInPrivateNetns(const std::function<void()>& body, std::string* why);

// Waits (at most three seconds) until the kernel's link watch reports the link
// up (/sys/class/net/<link>/operstate), as a real system does a moment after
// the link was set up. False when it did not come up.
bool WaitUntilUp(const std::string& link);

// Runs a contract body on the bed its parameter names: "sim" here, "linux" in
// a private network namespace. False (with the reason) when the namespace
// cannot be made; the body then does not run.
template <class Bed, class SimBed, class LinuxBed>
bool OnBed(const std::string& backend, const std::function<void(Bed&)>& body, std::string* why) {
    if (backend == "sim") {
        SimBed bed;
        body(bed);
        return true;
    }
    return RunInPrivateNetns(
        [&] {
            LinuxBed bed;
            body(bed);
        },
        why);
}

}  // namespace testnet

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

}  // namespace testnet

// Network namespaces for tests that cross a real network: each is created with
// a unique name and removed again (with every process left in it) when the
// object goes away, also when the test fails.
#pragma once

#include <functional>
#include <string>

namespace nettest {

// Runs a shell command; its exit status, or -1 when it could not run.
int Run(const std::string& command);
// Whether the test can build namespaces: root and the tools present.
bool CanBuildNamespaces(std::string* why);
// A name no other test of this run and no other run uses, of at most 15
// characters so that it also serves as an interface name.
std::string UniqueName(const std::string& prefix);

class NetNamespace {
public:
    explicit NetNamespace(const std::string& prefix);
    ~NetNamespace();
    NetNamespace(const NetNamespace&) = delete;
    NetNamespace& operator=(const NetNamespace&) = delete;

    const std::string& Name() const { return m_name; }
    bool Created() const { return m_created; }
    // Runs a shell command inside the namespace; its exit status.
    int Exec(const std::string& command) const;
    // Runs `body` on a thread that has joined the namespace (threads it starts
    // stay in the namespace) and waits for it. False when the namespace could
    // not be joined.
    bool RunInside(const std::function<void()>& body) const;

private:
    std::string m_name;
    bool m_created = false;
};

}  // namespace nettest

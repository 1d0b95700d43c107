// The installed backend. The program installs its backend once at start; tests
// install the simulated PC (or the Linux backend) per test.
#pragma once

#include <functional>
#include <memory>

namespace plat {

class Backend;

class Platform {
public:
    // The installed backend; installs the build's default backend on first use.
    static Backend& Current();
    static void Install(std::unique_ptr<Backend> backend);
    static void Uninstall();
    // The backend the build ships with (Linux or Windows).
    static std::unique_ptr<Backend> MakeDefault();

    // Process-wide singletons register how to be reset, so tests can start each
    // case from a fresh process state. The program never calls ResetAll.
    static void RegisterReset(std::function<void()> reset);
    static void ResetAll();
};

}  // namespace plat

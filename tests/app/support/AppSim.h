// A fresh simulated PC for one GUI test (or the screenshot program): every
// process-wide singleton reset, the program's directory a temporary folder,
// the debugger output captured. Removed again when the object goes.
#pragma once

#include <memory>
#include <string>

#include "TempDir.h"
#include "platform/sim/SimPc.h"

class AppSim {
public:
    AppSim();
    ~AppSim();
    AppSim(const AppSim&) = delete;
    AppSim& operator=(const AppSim&) = delete;

    plat::SimPc& Pc() { return *m_pc; }
    const TempDir& Dir() const { return *m_dir; }
    std::string SettingsFile() const { return m_dir->File("wifi.cfg"); }
    bool DebugHas(const std::string& text) const;

private:
    plat::SimPc* m_pc = nullptr;
    std::unique_ptr<TempDir> m_dir;
};

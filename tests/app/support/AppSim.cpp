#include "AppSim.h"

#include "platform/Platform.h"
#include "platform/winapi/DebugOutput.h"

AppSim::AppSim() {
    plat::Platform::ResetAll();
    m_pc = &plat::SimPc::Install();
    m_dir = std::make_unique<TempDir>();
    m_pc->os.SetModuleFileName(m_dir->File("Zentavo"));
    // The NAT driver is installed: its installation dialog would wait for
    // the clock at every window's start.
    plat::SimService driver;
    driver.state = 1;
    m_pc->services.Set("solvanewfp", driver);
    plat::DebugOutput::Instance().Clear();
    plat::DebugOutput::Instance().StartCapture();
}

AppSim::~AppSim() {
    plat::Platform::ResetAll();
    plat::DebugOutput::Instance().StopCapture();
    plat::DebugOutput::Instance().Clear();
    plat::Platform::Uninstall();
    m_pc = nullptr;
    m_dir.reset();
}

bool AppSim::DebugHas(const std::string& text) const {
    return plat::DebugOutput::Instance().Contains(text);
}

#include "SimTest.h"

#include "platform/Platform.h"

void SimTest::SetUp() {
    plat::Platform::ResetAll();
    m_pc = &plat::SimPc::Install();
    m_dir = std::make_unique<TempDir>();
    m_pc->os.SetModuleFileName(m_dir->File("Zentavo"));
    plat::DebugOutput::Instance().Clear();
    plat::DebugOutput::Instance().StartCapture();
#if !defined(LUMARI_TESTS_WITHOUT_LOG)
    m_log = std::make_unique<LogCapture>();
#endif
}

void SimTest::TearDown() {
    // A scripted fault that names no hook or that no call took means the test
    // did not exercise what it meant to.
    for (const std::string& problem : m_pc->faults.Problems())
        ADD_FAILURE() << "fault script: " << problem;
#if !defined(LUMARI_TESTS_WITHOUT_LOG)
    m_log.reset();
#endif
    plat::Platform::ResetAll();
    plat::DebugOutput::Instance().StopCapture();
    plat::DebugOutput::Instance().Clear();
    plat::Platform::Uninstall();
    m_pc = nullptr;
    m_dir.reset();
}

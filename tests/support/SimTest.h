// Test fixture: a fresh simulated PC for every test, every process-wide
// singleton reset, the debugger output and the log captured. The program's
// directory is a temporary folder of the test. A test program without the
// engine's log (the Windows one) defines LUMARI_TESTS_WITHOUT_LOG.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "TempDir.h"
#if !defined(LUMARI_TESTS_WITHOUT_LOG)
#include "LogCapture.h"
#endif
#include "platform/sim/SimPc.h"
#include "platform/winapi/DebugOutput.h"

class SimTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    plat::SimPc& Pc() { return *m_pc; }
    const TempDir& Dir() const { return *m_dir; }
#if !defined(LUMARI_TESTS_WITHOUT_LOG)
    LogCapture& Log() {
        return *m_log;
    }
#endif
    std::vector<std::string> Debug() const {
        return plat::DebugOutput::Instance().Captured();
    }
    bool DebugHas(const std::string& text) const {
        return plat::DebugOutput::Instance().Contains(text);
    }

private:
    plat::SimPc* m_pc = nullptr;
    std::unique_ptr<TempDir> m_dir;
#if !defined(LUMARI_TESTS_WITHOUT_LOG)
    std::unique_ptr<LogCapture> m_log;
#endif
};

// Starting programs on Windows: CreateProcessA hidden, standard output and
// error on one inherited pipe.
#pragma once

#include <cstddef>

#include "platform/facility/ProcessLauncher.h"

namespace plat {

class Win32ProcessLauncher : public ProcessLauncher {
public:
    // Run ends a program still running after this long (its exit code is then
    // WAIT_TIMEOUT, 258) and keeps at most this much of its output.
    static constexpr unsigned kRunLimitMs = 120000;
    static constexpr std::size_t kOutputLimit = 1 << 20;

    ProcessResult Run(const std::string& commandLine) override;
    ProcessResult Start(const std::string& commandLine, int waitMs) override;
    bool ParentRuns() override;
};

}  // namespace plat

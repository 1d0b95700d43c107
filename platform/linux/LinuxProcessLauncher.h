// Starting programs on Linux with posix_spawn, output captured through a pipe.
// A started program that outlives its wait is reaped by a thread of its own,
// so none is left behind as a zombie.
#pragma once

#include "platform/facility/ProcessLauncher.h"

namespace plat {

class LinuxProcessLauncher : public ProcessLauncher {
public:
    ProcessResult Run(const std::string& commandLine) override;
    ProcessResult Start(const std::string& commandLine, int waitMs) override;
    bool ParentRuns() override;
};

}  // namespace plat

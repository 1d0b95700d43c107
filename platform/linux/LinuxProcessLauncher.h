// Starting programs on Linux with posix_spawn, output captured through a pipe.
#pragma once

#include "platform/facility/ProcessLauncher.h"

namespace plat {

class LinuxProcessLauncher : public ProcessLauncher {
public:
    ProcessResult Run(const std::string& commandLine) override;
};

}  // namespace plat

// Starting programs on Windows: CreateProcessA hidden, standard output and
// error on one inherited pipe.
#pragma once

#include "platform/facility/ProcessLauncher.h"

namespace plat {

class Win32ProcessLauncher : public ProcessLauncher {
public:
    ProcessResult Run(const std::string& commandLine) override;
    ProcessResult Start(const std::string& commandLine, int waitMs) override;
    bool ParentRuns() override;
};

}  // namespace plat

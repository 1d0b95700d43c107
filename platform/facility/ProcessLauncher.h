// Starting a program with its command line and capturing what it prints.
#pragma once

#include <string>

#include "platform/records/WinTypes.h"

namespace plat {

struct ProcessResult {
    bool started = false;  // false: the program could not be started (error in `error`)
    DWORD error = 0;
    DWORD exitCode = 0;
    std::string output;  // standard output and standard error, in order of arrival
};

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // Runs the command line (program name first, arguments split at blanks, double
    // quotes group), hidden, waits for it and returns its exit code and output.
    virtual ProcessResult Run(const std::string& commandLine) = 0;
};

}  // namespace plat

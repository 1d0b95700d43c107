// Starting a program with its command line and capturing what it prints.
#pragma once

#include <string>

#include "platform/records/WinTypes.h"

namespace plat {

struct ProcessResult {
    bool started = false;  // false: the program could not be started (error in `error`)
    DWORD error = 0;
    DWORD exitCode = 0;
    std::string output;    // standard output and standard error, in order of arrival
    bool running = false;  // Start: the program still ran when the wait ended
};

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // Runs the command line (program name first, arguments split at blanks, double
    // quotes group), hidden, waits for it and returns its exit code and output.
    virtual ProcessResult Run(const std::string& commandLine) = 0;

    // Starts the command line (UTF-8; one that is not exactly UTF-8 is
    // refused with ERROR_INVALID_PARAMETER and nothing runs) hidden, with
    // nothing to read or write, and waits up to `waitMs` for it to end (0:
    // not at all). A program still
    // running then goes on by itself (`running`). A program named without a
    // folder is looked for beside the running program first, then along the
    // search path, as Windows does.
    virtual ProcessResult Start(const std::string& commandLine, int waitMs) {
        (void)commandLine;
        (void)waitMs;
        ProcessResult r;
        r.error = kErrorNotSupported;
        return r;
    }
    // Whether the process that started this one still runs.
    virtual bool ParentRuns() { return false; }
};

}  // namespace plat

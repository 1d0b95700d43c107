// What lumari-hotspot says when a start fails: which step failed, in plain
// words, and what to do about it, from the engine's code and (for the access
// point) the hosted network's own account of what went wrong.
#pragma once

#include <string>

struct StartFailure {
    std::string what;
    std::string fix;

    static StartFailure Describe(int code, const std::string& apFailure,
                                 const std::string& apInterface);
    // The exit status for a failure code: its low byte, never 0.
    static int ExitStatus(int code);
};

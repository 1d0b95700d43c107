// The engine log: one file "lumari.log" in the "Log" directory beside the
// program, all severities, appended across runs, written at once, 1 MB limit.
#pragma once

#include <string>

// Sets up the log once per process; a second call only writes
// "[Lumari] Already init log." to the debugger output.
void InitLog();
// Writes which system the program runs on to the log.
void LogOsVersion();
// Whether the log is set up (the engine flushes only then).
bool IsLogInitialized();
// Flushes the log when it is set up.
void FlushLog();
// The paths the log uses.
std::string GetLogDirectory();
std::string GetLogFilePath();

constexpr std::size_t kMaxLogBytes = 1024 * 1024;

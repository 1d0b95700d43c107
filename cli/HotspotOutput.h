// Where lumari-hotspot writes: events to standard output, one JSON object per
// line, each line written whole and flushed at once (several threads write);
// diagnostics to standard error. A reader that went away does not stop the
// hotspot: writes to a closed pipe are dropped.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

class HotspotOutput {
public:
    HotspotOutput(std::FILE* events, std::FILE* diagnostics)
        : m_events(events), m_diagnostics(diagnostics) {}

    void Event(const std::string& json);
    // "lumari-hotspot: <text>" on standard error.
    void Say(const std::string& text);
    // {"event":"Error","message":...}
    void Error(const std::string& message);
    // `text` as it is on standard error, only when that is a terminal.
    void ShowOnTerminal(const std::string& text);

private:
    std::mutex m_lock;
    std::FILE* m_events;
    std::FILE* m_diagnostics;
};

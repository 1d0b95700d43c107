#include "HotspotOutput.h"

#include <unistd.h>

#include "JsonLine.h"

void HotspotOutput::Event(const std::string& json) {
    std::lock_guard<std::mutex> g(m_lock);
    std::fputs(json.c_str(), m_events);
    std::fputc('\n', m_events);
    std::fflush(m_events);
}

void HotspotOutput::Say(const std::string& text) {
    std::lock_guard<std::mutex> g(m_lock);
    std::fprintf(m_diagnostics, "lumari-hotspot: %s\n", text.c_str());
    std::fflush(m_diagnostics);
}

void HotspotOutput::Error(const std::string& message) {
    Event(JsonLine::Event("Error").Text("message", message).Str());
}

void HotspotOutput::ShowOnTerminal(const std::string& text) {
    std::lock_guard<std::mutex> g(m_lock);
    if (isatty(fileno(m_diagnostics)) == 0)
        return;
    std::fputs(text.c_str(), m_diagnostics);
    std::fflush(m_diagnostics);
}

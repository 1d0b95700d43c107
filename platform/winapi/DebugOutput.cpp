#include "DebugOutput.h"

#include <cstdio>

#include "platform/text/TextCodec.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace plat {

DebugOutput& DebugOutput::Instance() {
    static DebugOutput instance;
    return instance;
}

void DebugOutput::Write(const std::string& utf8) {
    Sink sink;
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_capturing)
            m_lines.push_back(utf8);
        sink = m_sink;
    }
    switch (sink) {
        case Sink::None:
            break;
        case Sink::StdErr:
            std::fputs(utf8.c_str(), stderr);
            if (utf8.empty() || utf8.back() != '\n')
                std::fputc('\n', stderr);
            break;
        case Sink::Debugger:
#if defined(_WIN32)
            ::OutputDebugStringW(TextCodec::Utf8ToWide(utf8).c_str());
#endif
            break;
    }
}

void DebugOutput::Write(const std::wstring& text) {
    Write(TextCodec::WideToUtf8(text));
}

void DebugOutput::StartCapture() {
    std::lock_guard<std::mutex> g(m_lock);
    m_capturing = true;
}

void DebugOutput::StopCapture() {
    std::lock_guard<std::mutex> g(m_lock);
    m_capturing = false;
}

std::vector<std::string> DebugOutput::Captured() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_lines;
}

bool DebugOutput::Contains(const std::string& text) const {
    std::lock_guard<std::mutex> g(m_lock);
    for (const auto& l : m_lines)
        if (l == text)
            return true;
    return false;
}

void DebugOutput::Clear() {
    std::lock_guard<std::mutex> g(m_lock);
    m_lines.clear();
}

void DebugOutput::SetSink(Sink sink) {
    std::lock_guard<std::mutex> g(m_lock);
    m_sink = sink;
}

}  // namespace plat

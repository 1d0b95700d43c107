// The debugger output (OutputDebugString). Every backend forwards the text to
// its own sink; tests capture it to assert on the exact texts.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace plat {

class DebugOutput {
public:
    static DebugOutput& Instance();

    void Write(const std::string& utf8);
    void Write(const std::wstring& text);

    void StartCapture();
    void StopCapture();
    std::vector<std::string> Captured() const;
    bool Contains(const std::string& text) const;
    void Clear();

    // Where text goes besides the capture: stderr on Linux, the debugger on
    // Windows, nothing on the simulated PC.
    enum class Sink { None, StdErr, Debugger };
    void SetSink(Sink sink);

private:
    mutable std::mutex m_lock;
    bool m_capturing = false;
    Sink m_sink = Sink::None;
    std::vector<std::string> m_lines;
};

}  // namespace plat

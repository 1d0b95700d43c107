#include "LogCapture.h"

LogCapture::LogCapture() {
    google::AddLogSink(this);
}

LogCapture::~LogCapture() {
    google::RemoveLogSink(this);
}

void LogCapture::send(google::LogSeverity severity, const char*, const char*, int,
                      const google::LogMessageTime&, const char* message, std::size_t messageLen) {
    static const char kLetters[] = "IWEF";
    std::lock_guard<std::mutex> g(m_lock);
    m_lines.push_back(std::string(1, kLetters[severity]) + " " + std::string(message, messageLen));
}

std::vector<std::string> LogCapture::Lines() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_lines;
}

std::vector<std::string> LogCapture::Messages() const {
    std::lock_guard<std::mutex> g(m_lock);
    std::vector<std::string> out;
    for (const auto& l : m_lines)
        out.push_back(l.substr(2));
    return out;
}

bool LogCapture::Has(const std::string& severityAndMessage) const {
    return IndexOf(severityAndMessage) >= 0;
}

bool LogCapture::HasMessage(const std::string& message) const {
    std::lock_guard<std::mutex> g(m_lock);
    for (const auto& l : m_lines)
        if (l.substr(2) == message)
            return true;
    return false;
}

int LogCapture::IndexOf(const std::string& severityAndMessage, int from) const {
    std::lock_guard<std::mutex> g(m_lock);
    for (std::size_t i = static_cast<std::size_t>(from < 0 ? 0 : from); i < m_lines.size(); ++i)
        if (m_lines[i] == severityAndMessage)
            return static_cast<int>(i);
    return -1;
}

void LogCapture::Clear() {
    std::lock_guard<std::mutex> g(m_lock);
    m_lines.clear();
}

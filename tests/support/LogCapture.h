// Collects the engine's log lines for a test: each entry is the severity
// letter and the message, e.g. "I Windows 7".
#pragma once

#include <glog/logging.h>

#include <mutex>
#include <string>
#include <vector>

class LogCapture : public google::LogSink {
public:
    LogCapture();
    ~LogCapture() override;
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    void send(google::LogSeverity severity, const char* fullFilename, const char* baseFilename,
              int line, const google::LogMessageTime& time, const char* message,
              std::size_t messageLen) override;

    std::vector<std::string> Lines() const;     // "I message"
    std::vector<std::string> Messages() const;  // messages only
    bool Has(const std::string& severityAndMessage) const;
    bool HasMessage(const std::string& message) const;
    // Index of the first line equal to `severityAndMessage` at or after `from`, or -1.
    int IndexOf(const std::string& severityAndMessage, int from = 0) const;
    void Clear();

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_lines;
};

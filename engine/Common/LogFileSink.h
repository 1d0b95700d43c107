// Writes every glog message, whatever its severity, to one file: appended
// across runs, written at once, kept below a size limit.
#pragma once

#include <glog/logging.h>

#include <cstdio>
#include <mutex>
#include <string>

class CLogFileSink : public google::LogSink {
public:
    CLogFileSink(std::string path, std::size_t maxBytes);
    ~CLogFileSink() override;
    CLogFileSink(const CLogFileSink&) = delete;
    CLogFileSink& operator=(const CLogFileSink&) = delete;

    bool IsOpen() const;
    void send(google::LogSeverity severity, const char* fullFilename, const char* baseFilename,
              int line, const google::LogMessageTime& time, const char* message,
              std::size_t messageLen) override;
    // Appends one finished line (used by send and by tests).
    void WriteLine(const std::string& line);

private:
    void Open();
    void Shrink();
    const std::string m_path;
    const std::size_t m_maxBytes;
    mutable std::mutex m_lock;
    std::FILE* m_file = nullptr;
    std::size_t m_size = 0;
    bool m_diskFull = false;
};

#include "LogFileSink.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <vector>

CLogFileSink::CLogFileSink(std::string path, std::size_t maxBytes)
    : m_path(std::move(path)), m_maxBytes(maxBytes) {
    std::lock_guard<std::mutex> g(m_lock);
    Open();
}

CLogFileSink::~CLogFileSink() {
    std::lock_guard<std::mutex> g(m_lock);
    if (m_file != nullptr)
        std::fclose(m_file);
}

bool CLogFileSink::IsOpen() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_file != nullptr;
}

void CLogFileSink::Open() {
    m_file = std::fopen(m_path.c_str(), "ab");
    m_size = 0;
    if (m_file == nullptr)
        return;
    std::error_code ec;
    const auto size = std::filesystem::file_size(m_path, ec);
    if (!ec)
        m_size = static_cast<std::size_t>(size);
}

// Keeps the newer half of the file, from the start of a line, so the log stays
// below its limit without losing the most recent lines.
void CLogFileSink::Shrink() {
    if (m_file != nullptr)
        std::fclose(m_file);
    m_file = nullptr;
    std::string tail;
    {
        std::ifstream in(m_path, std::ios::binary);
        if (in) {
            const std::size_t keep = m_maxBytes / 2;
            in.seekg(0, std::ios::end);
            const auto total = static_cast<std::size_t>(in.tellg());
            const std::size_t start = total > keep ? total - keep : 0;
            in.seekg(static_cast<std::streamoff>(start));
            tail.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            const auto nl = tail.find('\n');
            if (start > 0 && nl != std::string::npos)
                tail.erase(0, nl + 1);
        }
    }
    std::FILE* f = std::fopen(m_path.c_str(), "wb");
    if (f != nullptr) {
        std::fwrite(tail.data(), 1, tail.size(), f);
        std::fclose(f);
    }
    Open();
}

void CLogFileSink::WriteLine(const std::string& line) {
    std::lock_guard<std::mutex> g(m_lock);
    if (m_diskFull)
        return;  // stop logging when the disk is full
    if (m_file == nullptr)
        Open();
    if (m_file == nullptr)
        return;
    if (m_size + line.size() + 1 > m_maxBytes)
        Shrink();
    if (m_file == nullptr)
        return;
    const std::size_t n = std::fwrite(line.data(), 1, line.size(), m_file);
    std::fputc('\n', m_file);
    if (std::fflush(m_file) != 0 || n != line.size()) {
        if (errno == ENOSPC)
            m_diskFull = true;
        return;
    }
    m_size += line.size() + 1;
}

void CLogFileSink::send(google::LogSeverity severity, const char* /*fullFilename*/,
                        const char* baseFilename, int line, const google::LogMessageTime& time,
                        const char* message, std::size_t messageLen) {
    WriteLine(ToString(severity, baseFilename, line, time, message, messageLen));
}

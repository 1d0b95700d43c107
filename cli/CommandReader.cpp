#include "CommandReader.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

CommandReader::CommandReader(int fd, std::size_t maxLine, LineHandler onLine,
                             RefusalHandler onRefusal, EndHandler onEnd)
    : m_fd(fd),
      m_maxLine(maxLine),
      m_onLine(std::move(onLine)),
      m_onRefusal(std::move(onRefusal)),
      m_onEnd(std::move(onEnd)) {
    m_stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

CommandReader::~CommandReader() {
    Stop();
    if (m_stopFd >= 0)
        close(m_stopFd);
}

void CommandReader::Start() {
    m_thread = std::jthread([this](std::stop_token stop) { Run(stop); });
}

void CommandReader::Stop() {
    if (!m_thread.joinable())
        return;
    m_thread.request_stop();
    const std::uint64_t one = 1;
    ssize_t n;
    do {
        n = write(m_stopFd, &one, sizeof one);
    } while (n < 0 && errno == EINTR);
    m_thread.join();
}

void CommandReader::Feed(const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size;) {
        const void* found = std::memchr(data + i, '\n', size - i);
        const std::size_t end =
            found != nullptr ? static_cast<std::size_t>(static_cast<const char*>(found) - data)
                             : size;
        if (!m_discarding) {
            m_line.append(data + i, end - i);
            if (m_line.size() > m_maxLine) {
                m_discarding = true;
                m_line.clear();
                m_onRefusal("line too long (more than " + std::to_string(m_maxLine) + " bytes)");
            }
        }
        if (found == nullptr)
            return;
        if (!m_discarding)
            m_onLine(m_line);
        m_line.clear();
        m_discarding = false;
        i = end + 1;
    }
}

void CommandReader::Run(std::stop_token stop) {
    char buffer[4096];
    while (!stop.stop_requested()) {
        pollfd p[2] = {{m_fd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        if (poll(p, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (stop.stop_requested() || (p[1].revents & POLLIN) != 0)
            return;
        if (p[0].revents == 0)
            continue;
        const ssize_t n = read(m_fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            break;
        Feed(buffer, static_cast<std::size_t>(n));
    }
    if (stop.stop_requested())
        return;
    // The end of the input: a last line without its newline still counts.
    if (!m_discarding && !m_line.empty())
        m_onLine(m_line);
    m_line.clear();
    if (m_onEnd)
        m_onEnd();
}

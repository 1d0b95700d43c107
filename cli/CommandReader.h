// Reads command lines from a descriptor (standard input) on a thread of its
// own and hands each to the program: lines end at '\n'; a line longer than
// the limit is refused once as a whole, whatever its length, and memory stays
// bounded; a last line without its '\n' counts at the end of the input. The
// end of the input ends the reading, not the program.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <thread>

class CommandReader {
public:
    using LineHandler = std::function<void(const std::string& line)>;
    using RefusalHandler = std::function<void(const std::string& why)>;
    using EndHandler = std::function<void()>;

    CommandReader(int fd, std::size_t maxLine, LineHandler onLine, RefusalHandler onRefusal,
                  EndHandler onEnd = {});
    ~CommandReader();
    CommandReader(const CommandReader&) = delete;
    CommandReader& operator=(const CommandReader&) = delete;

    void Start();
    // Ends the reading (also while it waits for input) and waits for the thread.
    void Stop();

private:
    void Run(std::stop_token stop);
    void Feed(const char* data, std::size_t size);

    int m_fd;
    std::size_t m_maxLine;
    LineHandler m_onLine;
    RefusalHandler m_onRefusal;
    EndHandler m_onEnd;
    int m_stopFd = -1;
    std::string m_line;
    bool m_discarding = false;  // inside a line that was too long
    std::jthread m_thread;
};

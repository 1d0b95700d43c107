// A name server for the DNS relay benchmark that answers every A query with
// 203.0.113.10 a fixed time after it arrived (50 ms by default): an upstream
// far away. Answers leave in the order their queries came, each at its own
// time, however many are waiting, so the benchmark measures the servers in
// front of it rather than this one.
//
//   slow_dns_upstream ADDRESS [PORT, default 53] [DELAY MS, default 50]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Held {
    Clock::time_point due;
    sockaddr_in from;
    std::vector<std::uint8_t> query;
};

// The answer to `q`, or an empty vector for what is no question.
std::vector<std::uint8_t> Answer(const std::vector<std::uint8_t>& q) {
    if (q.size() < 12)
        return {};
    std::size_t pos = 12;
    while (pos < q.size() && q[pos] != 0)
        pos += 1u + q[pos];
    const std::size_t end = pos + 5;  // the zero label, type and class
    if (end > q.size())
        return {};
    std::vector<std::uint8_t> r(q.begin(), q.begin() + 2);
    const std::uint8_t head[] = {
        static_cast<std::uint8_t>(0x81 | (q[2] & 0x01)), 0x80, 0, 1, 0, 1, 0, 0, 0, 0};
    r.insert(r.end(), std::begin(head), std::end(head));
    r.insert(r.end(), q.begin() + 12, q.begin() + static_cast<long>(end));
    const std::uint8_t answer[] = {0xc0, 0x0c, 0, 1, 0, 1, 0, 0, 0, 60, 0, 4, 203, 0, 113, 10};
    r.insert(r.end(), std::begin(answer), std::end(answer));
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ADDRESS [PORT] [DELAY MS]\n", argv[0]);
        return 2;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(argc > 2 ? std::atoi(argv[2]) : 53));
    if (inet_pton(AF_INET, argv[1], &local.sin_addr) != 1) {
        std::fprintf(stderr, "not an IPv4 address: %s\n", argv[1]);
        return 2;
    }
    const auto delay = std::chrono::milliseconds(argc > 3 ? std::atoi(argv[3]) : 50);
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        std::perror("socket");
        return 1;
    }
    std::deque<Held> held;
    std::uint8_t buffer[1500];
    for (;;) {
        timespec wait{};
        const timespec* until = nullptr;  // no answer waiting: sleep until a query comes
        if (!held.empty()) {
            const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
                held.front().due - Clock::now());
            if (left.count() > 0) {
                wait.tv_sec = static_cast<time_t>(left.count() / 1000000000);
                wait.tv_nsec = static_cast<long>(left.count() % 1000000000);
            }
            until = &wait;
        }
        pollfd p{fd, POLLIN, 0};
        if (ppoll(&p, 1, until, nullptr) < 0)
            continue;
        for (;;) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            const ssize_t n = recvfrom(fd, buffer, sizeof buffer, 0,
                                       reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (n <= 0)
                break;
            held.push_back(
                Held{Clock::now() + delay, from, std::vector<std::uint8_t>(buffer, buffer + n)});
        }
        const auto now = Clock::now();
        while (!held.empty() && held.front().due <= now) {
            const std::vector<std::uint8_t> reply = Answer(held.front().query);
            if (!reply.empty())
                (void)sendto(fd, reply.data(), reply.size(), 0,
                             reinterpret_cast<const sockaddr*>(&held.front().from),
                             sizeof held.front().from);
            held.pop_front();
        }
    }
}

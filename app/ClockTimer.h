// A repeating timer on the platform's clock facility: timeout() is emitted in
// the owner's thread once per interval of the clock's steady time. On the
// simulated PC the clock is manual, so a test advances time instead of waiting;
// on Linux and Windows it is the system clock. A helper thread sleeps on the
// clock and posts each tick to the owner's event loop; a tick that arrives
// after stop() or a restart is dropped.
#pragma once

#include <QObject>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class ClockTimer : public QObject {
    Q_OBJECT

public:
    explicit ClockTimer(QObject* parent = nullptr);
    ~ClockTimer() override;

    void start(int intervalMs);
    void stop();
    bool isActive() const { return m_active; }
    int interval() const { return m_intervalMs; }

signals:
    void timeout();

private:
    void Run(std::stop_token stop, std::uint64_t generation, std::chrono::milliseconds interval);
    void Tick(std::uint64_t generation);

    bool m_active = false;
    int m_intervalMs = 0;
    std::uint64_t m_generation = 0;  // GUI thread only
    std::mutex m_mutex;
    std::condition_variable_any m_cv;
    std::jthread m_thread;
};

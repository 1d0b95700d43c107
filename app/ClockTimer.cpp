#include "ClockTimer.h"

#include "platform/Backend.h"
#include "platform/Platform.h"

ClockTimer::ClockTimer(QObject* parent) : QObject(parent) {}

ClockTimer::~ClockTimer() {
    stop();
}

void ClockTimer::start(int intervalMs) {
    stop();
    m_intervalMs = intervalMs < 1 ? 1 : intervalMs;
    m_active = true;
    const std::uint64_t generation = ++m_generation;
    const std::chrono::milliseconds interval(m_intervalMs);
    m_thread = std::jthread(
        [this, generation, interval](std::stop_token token) { Run(token, generation, interval); });
}

void ClockTimer::stop() {
    m_active = false;
    ++m_generation;
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_thread.join();
    }
}

void ClockTimer::Run(std::stop_token stop, std::uint64_t generation,
                     std::chrono::milliseconds interval) {
    plat::Clock& clock = plat::Platform::Current().Time();
    plat::Clock::Steady next = clock.Now() + interval;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!stop.stop_requested()) {
        clock.WaitUntil(lock, m_cv, stop, next, [] { return false; });
        if (stop.stop_requested())
            return;
        // Ticks missed while the owner was busy are not made up one by one:
        // the next tick is one interval after the latest due time.
        const plat::Clock::Steady now = clock.Now();
        while (next <= now)
            next += interval;
        QMetaObject::invokeMethod(
            this, [this, generation] { Tick(generation); }, Qt::QueuedConnection);
    }
}

void ClockTimer::Tick(std::uint64_t generation) {
    if (!m_active || generation != m_generation)
        return;
    emit timeout();
}

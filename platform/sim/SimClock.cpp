#include "SimClock.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <thread>

#include "platform/common/ThreadSlot.h"

namespace plat {

namespace {

using std::chrono::nanoseconds;

// Where the simulated time starts: fixed, so runs repeat exactly.
const Clock::Steady kSteadyStart{std::chrono::hours(24)};
const Clock::Wall kWallStart{std::chrono::seconds(1798761600)};  // 2027-01-01 00:00:00 UTC

// A woken sleeper notices the new time through its condition variable; this
// real-time poll only covers a notification that came just before its wait.
constexpr auto kPoll = std::chrono::milliseconds(1);

}  // namespace

struct SimClock::State {
    enum class Mode { Running, Sleeping, Idle };
    struct Participant {
        Mode mode = Mode::Running;
        Steady deadline = Steady::max();
        std::condition_variable_any* cv = nullptr;
    };

    std::atomic<std::int64_t> offsetNs{0};
    std::atomic<std::int64_t> wallShiftNs{0};
    mutable std::mutex mu;
    std::condition_variable changed;
    std::map<std::uint64_t, Participant> participants;
    std::uint64_t nextId = 1;
    std::chrono::milliseconds settleLimit{2000};

    Steady Now() const { return kSteadyStart + nanoseconds(offsetNs.load()); }

    void Remove(std::uint64_t id) {
        std::lock_guard<std::mutex> g(mu);
        participants.erase(id);
        changed.notify_all();
    }
};

namespace {

// The calling thread's place among a clock's participants. Left when the
// thread ends, or when the thread moves on to another clock.
struct Registration {
    std::weak_ptr<SimClock::State> state;
    std::uint64_t id = 0;
    ~Registration() {
        if (auto s = state.lock())
            s->Remove(id);
    }
};
Registration& ThisThread() {
    static ThreadSlot<Registration> slot;
    return slot.Get();
}

std::uint64_t Join(const std::shared_ptr<SimClock::State>& state) {
    Registration& registration = ThisThread();
    if (registration.state.lock() == state)
        return registration.id;
    if (auto old = registration.state.lock())
        old->Remove(registration.id);
    std::lock_guard<std::mutex> g(state->mu);
    registration.state = state;
    registration.id = state->nextId++;
    state->participants[registration.id];
    return registration.id;
}

bool IsCallingThread(const std::shared_ptr<SimClock::State>& state, std::uint64_t id) {
    const Registration& registration = ThisThread();
    return registration.state.lock() == state && registration.id == id;
}

// Waits until no participant but the calling thread is running, or the limit.
void Settle(const std::shared_ptr<SimClock::State>& s, std::unique_lock<std::mutex>& lock) {
    auto settled = [&] {
        for (const auto& [id, p] : s->participants)
            if (p.mode == SimClock::State::Mode::Running && !IsCallingThread(s, id))
                return false;
        return true;
    };
    if (!s->changed.wait_for(lock, s->settleLimit, settled))
        std::fprintf(stderr,
                     "SimClock: a thread woken at +%lld ms did not wait on the clock again "
                     "within %lld ms; time moves on\n",
                     static_cast<long long>(s->offsetNs.load() / 1000000),
                     static_cast<long long>(s->settleLimit.count()));
}

// The earliest deadline of a sleeper, or max.
Clock::Steady NextDeadline(const SimClock::State& s) {
    Clock::Steady next = Clock::Steady::max();
    for (const auto& [id, p] : s.participants)
        if (p.mode == SimClock::State::Mode::Sleeping && p.deadline < next)
            next = p.deadline;
    return next;
}

// Sets the time to `to` and wakes every sleeper that is due by then.
void StepTo(SimClock::State& s, Clock::Steady to) {
    const std::int64_t offset = std::chrono::duration_cast<nanoseconds>(to - kSteadyStart).count();
    if (offset > s.offsetNs.load())
        s.offsetNs.store(offset);
    for (auto& [id, p] : s.participants) {
        if (p.mode == SimClock::State::Mode::Sleeping && p.deadline <= to) {
            p.mode = SimClock::State::Mode::Running;
            if (p.cv != nullptr)
                p.cv->notify_all();
        }
    }
}

}  // namespace

SimClock::SimClock() : m_state(std::make_shared<State>()) {}

SimClock::~SimClock() = default;

Clock::Steady SimClock::Now() {
    return m_state->Now();
}

Clock::Wall SimClock::WallNow() {
    return kWallStart + nanoseconds(m_state->offsetNs.load() + m_state->wallShiftNs.load());
}

bool SimClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable_any& cv,
                         std::stop_token stop, Steady deadline,
                         const std::function<bool()>& ready) {
    const std::uint64_t id = Join(m_state);
    auto setMode = [&](State::Mode mode, std::condition_variable_any* waitCv) {
        std::lock_guard<std::mutex> g(m_state->mu);
        State::Participant& p = m_state->participants[id];
        p.mode = mode;
        p.deadline = deadline;
        p.cv = waitCv;
        m_state->changed.notify_all();
    };
    // A stop request must end the wait at once even while only the clock's
    // poll would notice it.
    std::stop_callback onStop(stop, [&cv] { cv.notify_all(); });
    if (deadline == Steady::max()) {
        // Time cannot end this wait: only the condition or the stop can, and
        // both notify `cv`.
        setMode(State::Mode::Idle, &cv);
        cv.wait(lock, stop, ready);
    } else {
        setMode(State::Mode::Sleeping, &cv);
        while (!ready() && !stop.stop_requested() && m_state->Now() < deadline)
            cv.wait_for(lock, kPoll);
    }
    setMode(State::Mode::Running, nullptr);
    return ready();
}

void SimClock::Advance(std::chrono::nanoseconds duration) {
    std::unique_lock<std::mutex> lock(m_state->mu);
    const Steady target = m_state->Now() + duration;
    for (;;) {
        Settle(m_state, lock);
        const Steady next = NextDeadline(*m_state);
        if (next > target) {
            StepTo(*m_state, target);
            break;
        }
        StepTo(*m_state, next);
    }
    Settle(m_state, lock);
}

bool SimClock::AdvanceUntil(const std::function<bool()>& done, std::chrono::nanoseconds limit) {
    const Steady end = Now() + limit;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_state->mu);
            Settle(m_state, lock);
        }
        if (done())
            return true;
        Steady next;
        {
            std::lock_guard<std::mutex> g(m_state->mu);
            next = NextDeadline(*m_state);
        }
        if (next == Steady::max()) {
            // Nobody sleeps yet: a thread may be on its way to its first
            // sleep. Give it the settle limit in real time, then give up.
            std::chrono::milliseconds limitMs;
            {
                std::lock_guard<std::mutex> g(m_state->mu);
                limitMs = m_state->settleLimit;
            }
            const auto giveUp = std::chrono::steady_clock::now() + limitMs;
            while (!WaitForSleepers(1, std::chrono::milliseconds(5)))
                if (done() || std::chrono::steady_clock::now() >= giveUp)
                    return done();
            continue;
        }
        if (Now() >= end)
            return done();
        Advance(std::min(next, end) - Now());
    }
}

bool SimClock::WaitForSleepers(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_state->mu);
    return m_state->changed.wait_for(lock, timeout, [&] {
        std::size_t n = 0;
        for (const auto& [id, p] : m_state->participants)
            if (p.mode == State::Mode::Sleeping)
                ++n;
        return n >= count;
    });
}

std::size_t SimClock::Sleepers() const {
    std::lock_guard<std::mutex> g(m_state->mu);
    std::size_t n = 0;
    for (const auto& [id, p] : m_state->participants)
        if (p.mode == State::Mode::Sleeping)
            ++n;
    return n;
}

std::chrono::nanoseconds SimClock::Elapsed() const {
    return nanoseconds(m_state->offsetNs.load());
}

void SimClock::SetWall(Wall now) {
    const std::int64_t wanted = std::chrono::duration_cast<nanoseconds>(now - kWallStart).count();
    m_state->wallShiftNs.store(wanted - m_state->offsetNs.load());
}

void SimClock::SetSettleLimit(std::chrono::milliseconds limit) {
    std::lock_guard<std::mutex> g(m_state->mu);
    m_state->settleLimit = limit;
}

}  // namespace plat

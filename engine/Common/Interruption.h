// Interruption points of engine threads. A thread that can be interrupted (the
// engine's worker, a manager's poll thread) registers its stop token for the
// thread; `Sleep` then waits on it and ends early when a stop is requested.
#pragma once

#include <chrono>
#include <stop_token>

class CInterruption {
public:
    // Makes `token` the current thread's stop token until the guard goes.
    class Scope {
    public:
        explicit Scope(std::stop_token token);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        std::stop_token m_token;
        const std::stop_token* m_previous;
    };

    // Sleeps for `duration` on the platform's clock; false when the current thread was asked to
    // stop before or during the sleep (the caller then ends its step with 1000).
    static bool Sleep(std::chrono::milliseconds duration);
    // Whether the current thread has been asked to stop.
    static bool Requested();
    static std::stop_token Current();
};

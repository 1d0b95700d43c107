#include "Interruption.h"

#include <condition_variable>
#include <mutex>

namespace {
thread_local std::stop_token t_token;
}

CInterruption::Scope::Scope(std::stop_token token) : m_previous(t_token) {
    t_token = std::move(token);
}

CInterruption::Scope::~Scope() {
    t_token = m_previous;
}

bool CInterruption::Sleep(std::chrono::milliseconds duration) {
    std::mutex m;
    std::condition_variable_any cv;
    std::unique_lock<std::mutex> lock(m);
    const std::stop_token token = t_token;
    // wait_for with a stop token returns true only when the predicate holds; the
    // predicate never does, so it returns when the time is up or a stop came.
    cv.wait_for(lock, token, duration, [] { return false; });
    return !token.stop_requested();
}

bool CInterruption::Requested() {
    return t_token.stop_requested();
}

std::stop_token CInterruption::Current() {
    return t_token;
}

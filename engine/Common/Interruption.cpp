#include "Interruption.h"

#include "platform/Backend.h"
#include "platform/Platform.h"

namespace {
// The current scope's token. Only a pointer is kept per thread: a thread-local
// object with a destructor is unsound in MinGW-w64's posix thread build (the
// thread storage is freed before such destructors run at the thread's end).
thread_local const std::stop_token* t_token = nullptr;

std::stop_token CurrentToken() {
    return t_token != nullptr ? *t_token : std::stop_token();
}
}  // namespace

CInterruption::Scope::Scope(std::stop_token token)
    : m_token(std::move(token)), m_previous(t_token) {
    t_token = &m_token;
}

CInterruption::Scope::~Scope() {
    t_token = m_previous;
}

bool CInterruption::Sleep(std::chrono::milliseconds duration) {
    return plat::Platform::Current().Time().SleepFor(duration, CurrentToken());
}

bool CInterruption::Requested() {
    return t_token != nullptr && t_token->stop_requested();
}

std::stop_token CInterruption::Current() {
    return CurrentToken();
}

#include "Interruption.h"

#include "platform/Backend.h"
#include "platform/Platform.h"

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
    return plat::Platform::Current().Time().SleepFor(duration, t_token);
}

bool CInterruption::Requested() {
    return t_token.stop_requested();
}

std::stop_token CInterruption::Current() {
    return t_token;
}

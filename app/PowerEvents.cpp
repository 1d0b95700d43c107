#include "PowerEvents.h"

#include <utility>

PowerEvents::PowerEvents(Actions actions, int osMajor)
    : m_actions(std::move(actions)), m_osMajor(osMajor) {}

bool PowerEvents::QuerySuspend() const {
    // Windows Vista and later no longer ask; there the option keeps the
    // system awake by execution state instead.
    return m_osMajor < 6 && m_actions.forbidSleep && m_actions.forbidSleep();
}

void PowerEvents::Suspend() {
    m_awaitingStop = true;
    m_startPending = false;
    m_resumed = false;
    if (m_actions.stop)
        m_actions.stop();
}

void PowerEvents::Resume() {
    if (m_resumed)
        return;
    m_resumed = true;
    // A resume that overtakes the stop of the suspend starts the hotspot
    // once that stop is through.
    if (m_awaitingStop)
        m_startPending = true;
    else if (m_actions.start)
        m_actions.start();
}

void PowerEvents::Stopped() {
    if (!m_awaitingStop)
        return;
    m_awaitingStop = false;
    if (m_startPending) {
        m_startPending = false;
        if (m_actions.start)
            m_actions.start();
    }
}

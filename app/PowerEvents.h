// The window's answers to the system's power events: a suspend stops the
// hotspot, a resume starts it again, and on Windows XP the forbid-sleep
// option refuses the suspend query.
//
// Windows tells of one resume up to twice: "resumed automatically" on every
// resume, and "resumed by the user" later when someone touches the PC. A PC
// woken by a timer or over the network hears only the first. The hotspot
// starts once per resume, at whichever comes first.
#pragma once

#include <functional>

class PowerEvents {
public:
    struct Actions {
        std::function<void()> stop;         // stop the hotspot for the suspend
        std::function<void()> start;        // start it again
        std::function<bool()> forbidSleep;  // the forbid-sleep option is ticked
    };
    PowerEvents(Actions actions, int osMajor);

    // The system asks whether it may suspend; true refuses.
    bool QuerySuspend() const;
    void Suspend();
    // Either kind of resume notice.
    void Resume();
    // The engine reported its network stopped.
    void Stopped();

private:
    Actions m_actions;
    int m_osMajor;
    bool m_awaitingStop = false;  // the suspend's stop is not through yet
    bool m_startPending = false;  // a resume came while it was not
    bool m_resumed = false;       // this resume was already acted on
};

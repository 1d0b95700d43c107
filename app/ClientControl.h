// The engine's per-client controls as the window uses them (the black list
// and the speed limit): each call answers what really holds afterwards, and
// the plain words the window shows when the engine could not do all of it.
#pragma once

#include <QString>
#include <string>

class CLumariCore;

class ClientControl {
public:
    enum class Outcome {
        Done,     // in force
        NotCut,   // the ban is kept and no address is given to the device any
                  // more, but it keeps the one it has until it reconnects
        Refused,  // this kind of hotspot has no per-client control: nothing changed
        Unknown,  // the engine does not know the client (any more): nothing changed
    };

    explicit ClientControl(CLumariCore& core) : m_core(core) {}

    Outcome Ban(const std::wstring& mac);
    // `kb` the limit both ways in KB/s, 0 for none.
    Outcome Limit(const std::wstring& mac, int kb);
    // The download limit the engine holds for the client in KB/s, 0 for none.
    int HeldLimit(const std::wstring& mac);

    // The status line's text and tool tip for an outcome (empty when there is
    // nothing to say).
    static QString BanText(Outcome outcome);
    static QString BanTip(Outcome outcome);
    static QString LimitText(Outcome outcome);

private:
    // Why a call the engine answered with false did nothing.
    Outcome NotDone();

    CLumariCore& m_core;
};

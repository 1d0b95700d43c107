// What a client row needs from the window that lists it: the engine handle,
// the authorised phone, the moves between the two lists (which change the
// window's counts and captions), and the status line.
#pragma once

#include <QString>
#include <string>

class CLumariCore;
class WhiteListItem;
class BlackListItem;

class ClientRowHost {
public:
    virtual ~ClientRowHost() = default;
    virtual CLumariCore* Core() = 0;
    // Whether `mac` is the phone the user marked as the own phone.
    virtual bool IsAuthorisedPhone(const std::wstring& mac) = 0;
    virtual void MarkAsPhone(const std::wstring& mac, bool on) = 0;
    // The user black-listed the client of `row`: move it to the black list.
    virtual void MoveToBlackList(WhiteListItem* row) = 0;
    // The user took the client of `row` off the black list.
    virtual void MoveToClientList(BlackListItem* row) = 0;
    // Tells the user in the status line what a row's action could not do.
    virtual void ShowNotice(const QString& text, const QString& tip) = 0;
};

// A command message of the phone link: UTF-8 JSON whose last byte is a NUL;
// the object's members "command" and "data" are read as strings (a number
// or a truth value as its text), every other member is ignored. The answer
// is a status word, and some commands go on to the window.
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

struct WfssCommand {
    static constexpr std::uint32_t kAccepted = 0;
    static constexpr std::uint32_t kNoCommand = 0xFFFFFFFF;

    bool parsed = false;  // false: not JSON; nothing is answered
    QString command;
    QString data;
    std::uint32_t status = kAccepted;
    bool passOn = false;  // whether the window is to act on it

    // Reads a command body of `length` bytes (the JSON is the bytes before
    // the last one, up to a NUL).
    static WfssCommand Decode(const char* body, std::size_t length);
};

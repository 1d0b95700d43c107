// One command line read from lumari-hotspot's standard input:
//
//   limit MAC DOWN UP | ban MAC | unban MAC | block MAC | nick MAC [TEXT]
//   deny MAC | undeny MAC | allow MAC | unallow MAC | clients | stop
//
// Words are separated by blanks or tabs; the command name is read in either
// case; a MAC is six hexadecimal byte values joined by '-' or ':' and becomes
// the engine's form ("02-1A-2B-3C-4D-5E"). Limits are whole kilobytes per
// second, 0 meaning none. A nickname is the rest of the line: UTF-8 without
// control characters, at most 64 characters. Anything else is refused with
// the reason and changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct HotspotCommand {
    enum class Kind { Limit, Ban, Unban, Block, Nick, Deny, Undeny, Allow, Unallow, Clients, Stop };
    Kind kind = Kind::Clients;
    std::wstring mac;
    std::int32_t down = 0;  // kilobytes per second
    std::int32_t up = 0;
    std::wstring text;

    // The longest line read; a longer one is refused whole.
    static constexpr std::size_t kMaxLine = 1024;
    static constexpr std::int32_t kMaxRate = 10'000'000;  // 10 GB/s
    static constexpr std::size_t kMaxNick = 64;

    static bool Parse(const std::string& line, HotspotCommand* out, std::string* error);
    // Six hexadecimal byte values joined by '-' or ':', in the engine's form.
    static bool ParseMac(const std::string& text, std::wstring* out);
    // A list of MACs (--allow-file, --deny-file): one a line, '#' starts a
    // comment, blank lines skipped. False with the number of the first line
    // that is not a MAC.
    static bool ParseMacList(const std::string& text, std::vector<std::wstring>* out,
                             std::string* why);
};

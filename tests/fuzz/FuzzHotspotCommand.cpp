// A line on lumari-hotspot's standard input: any bytes are obeyed or refused
// with a reason, and what is obeyed is well formed; the reason written back
// as JSON stays one line of valid text. The same bytes as a MAC list file are
// read whole or refused.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "HotspotCommand.h"
#include "JsonLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    HotspotCommand c;
    std::string error;
    if (HotspotCommand::Parse(line, &c, &error)) {
        if (!error.empty())
            std::abort();
        if (c.kind != HotspotCommand::Kind::Clients && c.kind != HotspotCommand::Kind::Stop &&
            c.mac.size() != 17)
            std::abort();
        if (c.down < 0 || c.up < 0 || c.down > HotspotCommand::kMaxRate ||
            c.up > HotspotCommand::kMaxRate || c.text.size() > HotspotCommand::kMaxNick)
            std::abort();
    } else if (error.empty()) {
        std::abort();
    }
    std::vector<std::wstring> macs;
    std::string why;
    if (HotspotCommand::ParseMacList(line, &macs, &why)) {
        for (const std::wstring& mac : macs)
            if (mac.size() != 17)
                std::abort();
    } else if (why.empty()) {
        std::abort();
    }
    const std::string json = JsonLine::Event("Error").Text("message", error).Str();
    if (json.find('\n') != std::string::npos)
        std::abort();
    return 0;
}

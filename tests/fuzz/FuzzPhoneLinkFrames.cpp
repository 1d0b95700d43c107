// libFuzzer target for the phone link's framing and the decoding of what it
// frames: any bytes a phone could send, cut into receives of any sizes and
// with messages admitted or refused in any pattern. The first two bytes choose
// the cuts and the pattern; the rest is the stream. The messages that come
// out must be the same however the stream was cut, the parser may never hold
// more than one message's bytes, and every hello and command body goes
// through the checks the link runs on them.
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/AppID.h"
#include "app/WfssCommand.h"
#include "app/WfssFrameParser.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

class Recorder : public WfssFrameParser::Handler {
public:
    explicit Recorder(std::uint8_t pattern) : m_pattern(pattern) {}

    bool Admit(std::uint32_t type) override {
        const bool admit = ((m_pattern >> (m_messages++ % 8)) & 1) == 0;
        events.push_back("type " + std::to_string(type) + (admit ? "" : " refused"));
        return admit;
    }
    bool OnHello(const char* body) override {
        AppID id;
        const bool valid = AppID::FromHello(body, 0x0100007F, &id);
        Check(!valid || id.ip == QStringLiteral("127.0.0.1"));
        events.push_back("hello " + std::string(body, WfssFrameParser::kHelloSize));
        return valid;
    }
    bool OnCommand(const char* body, std::size_t length) override {
        Check(length >= 1 && length <= WfssFrameParser::kMaxCommandLength);
        const WfssCommand c = WfssCommand::Decode(body, length);
        Check(c.parsed || (!c.passOn && c.command.isEmpty()));
        Check(!c.passOn || !c.command.isEmpty());
        Check(c.status == WfssCommand::kAccepted || c.status == WfssCommand::kNoCommand);
        events.push_back("command " + std::string(body, length));
        return true;
    }

    std::vector<std::string> events;

private:
    std::uint8_t m_pattern;
    unsigned m_messages = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::uint8_t cuts = data[0];
    const std::uint8_t pattern = data[1];
    const char* stream = reinterpret_cast<const char*>(data + 2);
    const std::size_t length = size - 2;

    WfssFrameParser whole;
    Recorder wholeEvents(pattern);
    const bool wholeOpen = whole.Feed(stream, length, wholeEvents);

    WfssFrameParser pieces;
    Recorder pieceEvents(pattern);
    bool piecesOpen = true;
    std::uint32_t state = cuts * 2654435761u + 1;
    for (std::size_t at = 0; at < length && piecesOpen;) {
        state = state * 1103515245u + 12345u;
        const std::size_t piece = std::min<std::size_t>(length - at, 1 + (state >> 16) % 97);
        piecesOpen = pieces.Feed(stream + at, piece, pieceEvents);
        Check(pieces.Buffered() <= WfssFrameParser::kMaxCommandLength);
        at += piece;
    }
    Check(wholeOpen == piecesOpen);
    Check(wholeEvents.events == pieceEvents.events);
    Check(whole.Failure() == pieces.Failure());
    return 0;
}

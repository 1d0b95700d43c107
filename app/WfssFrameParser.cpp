#include "WfssFrameParser.h"

#include <algorithm>

namespace {

std::uint32_t Le32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

}  // namespace

bool WfssFrameParser::Fail(Reason reason) {
    m_failure = reason;
    m_state = State::Closed;
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    return false;
}

void WfssFrameParser::Expect(State state, std::size_t need) {
    m_state = state;
    m_need = need;
    m_buffer.clear();
}

bool WfssFrameParser::Feed(const char* data, std::size_t size, Handler& handler) {
    if (m_state == State::Closed)
        return false;
    while (size > 0) {
        const std::size_t take = std::min(size, m_need);
        // The body of a refused message is counted off, not kept; the header
        // of a refused command is kept to learn the body's length.
        const bool keep = m_admitted || m_state == State::Type || m_state == State::CommandHeader;
        if (keep)
            m_buffer.insert(m_buffer.end(), data, data + take);
        data += take;
        size -= take;
        m_need -= take;
        if (m_need == 0 && !Complete(handler))
            return false;
    }
    return true;
}

bool WfssFrameParser::Complete(Handler& handler) {
    switch (m_state) {
        case State::Type:
            m_type = Le32(m_buffer.data());
            m_length = 0;
            if (m_type != kHello && m_type != kCommand) {
                // The framing of an unknown type is unknown too: whatever
                // follows cannot be told apart from further messages.
                m_admitted = handler.Admit(m_type);
                return Fail(Reason::UnknownType);
            }
            m_admitted = handler.Admit(m_type);
            if (m_type == kHello)
                Expect(State::HelloBody, kHelloSize);
            else
                Expect(State::CommandHeader, kCommandHeaderSize);
            return true;
        case State::HelloBody:
            if (m_admitted && !handler.OnHello(m_buffer.data()))
                return Fail(Reason::Handler);
            Expect(State::Type, 4);
            m_admitted = false;
            return true;
        case State::CommandHeader:
            m_length = Le32(m_buffer.data());
            if (m_length == 0 || m_length > kMaxCommandLength)
                return Fail(Reason::BadLength);
            Expect(State::CommandBody, m_length);
            if (m_admitted)
                m_buffer.reserve(m_length);
            return true;
        case State::CommandBody:
            if (m_admitted && !handler.OnCommand(m_buffer.data(), m_buffer.size()))
                return Fail(Reason::Handler);
            Expect(State::Type, 4);
            m_admitted = false;
            return true;
        case State::Closed:
            break;
    }
    return false;
}

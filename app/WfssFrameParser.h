// The phone link's framing: the bytes a phone sends, in any pieces, become
// whole messages. Every message starts with a 32-bit little-endian type: a
// hello (0) carries 101 bytes; a command (32) carries a 32-bit length, a word
// that is not used, and `length` bytes of JSON. The parser asks its handler
// whether to admit each message as soon as its type is in; the body of a
// refused hello or command is skipped, so its bytes are never taken for
// further messages. A command longer than kMaxCommandLength, an empty one and
// a message of any other type end the connection, and nothing is kept for
// them. The parser never holds more than one message's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class WfssFrameParser {
public:
    static constexpr std::uint32_t kHello = 0;
    static constexpr std::uint32_t kCommand = 32;
    static constexpr std::size_t kHelloSize = 101;
    static constexpr std::size_t kCommandHeaderSize = 8;
    // The JSON commands are a few dozen bytes; 4 KB leaves room for any
    // future member without letting a phone make the program hold more.
    static constexpr std::uint32_t kMaxCommandLength = 4096;

    class Handler {
    public:
        virtual ~Handler() = default;
        // A message of `type` begins. True admits it; false refuses it (the
        // handler has answered the sender).
        virtual bool Admit(std::uint32_t type) = 0;
        // A whole admitted hello: kHelloSize bytes. False ends the connection.
        virtual bool OnHello(const char* body) = 0;
        // A whole admitted command body of `length` bytes (1 to
        // kMaxCommandLength). False ends the connection.
        virtual bool OnCommand(const char* body, std::size_t length) = 0;
    };

    // Why Feed ended the connection.
    enum class Reason {
        None,
        UnknownType,  // a type other than hello and command
        BadLength,    // a command of length 0 or above kMaxCommandLength
        Handler,      // the handler answered false
    };

    // Takes the next `size` received bytes, calling the handler for every
    // message they complete. False when the connection must end; the parser
    // then takes nothing more.
    bool Feed(const char* data, std::size_t size, Handler& handler);

    Reason Failure() const { return m_failure; }
    // The type word of the message in progress or the last one read.
    std::uint32_t Type() const { return m_type; }
    std::uint32_t CommandLength() const { return m_length; }
    // Whether the handler admitted the message in progress or the last one.
    bool Admitted() const { return m_admitted; }
    // Bytes held for the message in progress.
    std::size_t Buffered() const { return m_buffer.size(); }
    // Whether a message is part-way in.
    bool InMessage() const { return m_state != State::Type || !m_buffer.empty(); }

private:
    enum class State { Type, HelloBody, CommandHeader, CommandBody, Closed };
    bool Fail(Reason reason);
    // Moves to the state that reads `need` bytes of a new part.
    void Expect(State state, std::size_t need);
    // The current part is complete in m_buffer (or skipped); false ends.
    bool Complete(Handler& handler);

    State m_state = State::Type;
    std::size_t m_need = 4;  // bytes the current part still lacks
    bool m_admitted = false;
    std::uint32_t m_type = 0;
    std::uint32_t m_length = 0;
    Reason m_failure = Reason::None;
    std::vector<char> m_buffer;  // the current part, unless it is skipped
};

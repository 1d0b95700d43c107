// The phone link's framing, on byte streams cut in every way.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PhoneClient.h"
#include "WfssFrameParser.h"

namespace {

// Writes down what the parser reports; refuses the types in `refused`.
class Recorder : public WfssFrameParser::Handler {
public:
    bool Admit(std::uint32_t type) override {
        events.push_back("type " + std::to_string(type));
        return refuseAll ? false : true;
    }
    bool OnHello(const char* body) override {
        events.push_back("hello " + std::string(body + 5, 5));
        return helloResult;
    }
    bool OnCommand(const char* body, std::size_t length) override {
        events.push_back("command " + std::string(body, length));
        return true;
    }
    bool refuseAll = false;
    bool helloResult = true;
    std::vector<std::string> events;
};

const std::string kStream = PhoneClient::Hello(3, 7, "phone", "app") +
                            PhoneClient::Command(R"({"command":"shutdown","data":"30"})") +
                            PhoneClient::Command(R"({"command":"cancel"})");

const std::vector<std::string> kEvents = {
    "type 0",  "hello phone",
    "type 32", std::string("command {\"command\":\"shutdown\",\"data\":\"30\"}") + '\0',
    "type 32", std::string("command {\"command\":\"cancel\"}") + '\0',
};

}  // namespace

TEST(WfssFrameParser, MessagesCutAnywhereComeOutWhole) {
    for (std::size_t cut = 0; cut <= kStream.size(); ++cut) {
        WfssFrameParser parser;
        Recorder r;
        ASSERT_TRUE(parser.Feed(kStream.data(), cut, r));
        ASSERT_TRUE(parser.Feed(kStream.data() + cut, kStream.size() - cut, r));
        EXPECT_EQ(r.events, kEvents) << "cut at " << cut;
        EXPECT_FALSE(parser.InMessage());
    }
    WfssFrameParser parser;
    Recorder r;
    for (char c : kStream)
        ASSERT_TRUE(parser.Feed(&c, 1, r));
    EXPECT_EQ(r.events, kEvents);
}

TEST(WfssFrameParser, RefusedBodiesAreSkippedNotReadAsMessages) {
    // A refused command whose JSON looks like further messages, then a
    // refused hello: the parser sees exactly two more types after them.
    const std::string tricky = PhoneClient::Le32(32) + PhoneClient::Le32(0);
    const std::string stream = PhoneClient::Command(tricky + tricky) +
                               PhoneClient::Hello(1, 1, "a", "b") +
                               PhoneClient::Command(R"({"command":"x"})");
    for (std::size_t cut = 0; cut <= stream.size(); cut += 3) {
        WfssFrameParser parser;
        Recorder r;
        r.refuseAll = true;
        ASSERT_TRUE(parser.Feed(stream.data(), cut, r));
        ASSERT_TRUE(parser.Feed(stream.data() + cut, stream.size() - cut, r));
        EXPECT_EQ(r.events, (std::vector<std::string>{"type 32", "type 0", "type 32"}));
        EXPECT_EQ(parser.Buffered(), 0u);  // nothing of a refused body is kept
    }
}

TEST(WfssFrameParser, BadFramesEndTheConnectionAndAreNotKept) {
    struct Case {
        std::string bytes;
        WfssFrameParser::Reason reason;
    };
    const std::vector<Case> cases = {
        {PhoneClient::Le32(32) + PhoneClient::Le32(WfssFrameParser::kMaxCommandLength + 1) +
             PhoneClient::Le32(0) + std::string(64, '{'),
         WfssFrameParser::Reason::BadLength},
        {PhoneClient::Le32(32) + PhoneClient::Le32(0xFFFFFFFF) + PhoneClient::Le32(0),
         WfssFrameParser::Reason::BadLength},
        {PhoneClient::Le32(32) + PhoneClient::Le32(0) + PhoneClient::Le32(0) + "x",
         WfssFrameParser::Reason::BadLength},
        {PhoneClient::Le32(7) + PhoneClient::Hello(1, 1, "a", "b"),
         WfssFrameParser::Reason::UnknownType},
        {"GET / HTTP/1.1\r\n\r\n", WfssFrameParser::Reason::UnknownType},
    };
    for (bool refused : {false, true}) {
        for (const Case& c : cases) {
            WfssFrameParser parser;
            Recorder r;
            r.refuseAll = refused;
            EXPECT_FALSE(parser.Feed(c.bytes.data(), c.bytes.size(), r));
            EXPECT_EQ(parser.Failure(), c.reason);
            EXPECT_EQ(parser.Buffered(), 0u);
            EXPECT_EQ(parser.Admitted(), !refused);
            // Nothing more is taken once the connection is to end.
            EXPECT_FALSE(parser.Feed(kStream.data(), kStream.size(), r));
            EXPECT_EQ(r.events.size(), 1u);
        }
    }
    // The longest command allowed passes.
    WfssFrameParser parser;
    Recorder r;
    const std::string longest =
        PhoneClient::Command(std::string(WfssFrameParser::kMaxCommandLength - 1, ' '));
    EXPECT_TRUE(parser.Feed(longest.data(), longest.size(), r));
    EXPECT_EQ(r.events.size(), 2u);
}

TEST(WfssFrameParser, AHandlerThatRefusesAHelloEndsTheConnection) {
    WfssFrameParser parser;
    Recorder r;
    r.helloResult = false;
    EXPECT_FALSE(parser.Feed(kStream.data(), kStream.size(), r));
    EXPECT_EQ(parser.Failure(), WfssFrameParser::Reason::Handler);
    EXPECT_EQ(r.events, (std::vector<std::string>{"type 0", "hello phone"}));
}

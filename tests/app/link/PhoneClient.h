// A phone of the tests: speaks the phone link's wire format byte for byte
// over loopback, from an address of its own in 127.0.0.0/8 so that tests can
// tell phones apart by address. Reads wait at most a few seconds, so a
// missing reply fails the test instead of hanging it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class PhoneClient {
public:
    PhoneClient() = default;
    ~PhoneClient();
    PhoneClient(PhoneClient&& other) noexcept;
    PhoneClient& operator=(PhoneClient&& other) noexcept;
    PhoneClient(const PhoneClient&) = delete;
    PhoneClient& operator=(const PhoneClient&) = delete;

    // Connects from `fromIp` to the link on `toIp`:`port`.
    bool Connect(std::uint16_t port, const char* fromIp = "127.0.0.1",
                 const char* toIp = "127.0.0.1");
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    // Sends raw bytes.
    bool Send(const std::string& bytes);
    // Reads exactly `size` bytes; nothing when the link closed or went
    // silent for `timeoutMs`.
    std::optional<std::string> Read(std::size_t size, int timeoutMs = 3000);
    // Reads an 8-byte reply: type and status.
    bool ReadReply(std::uint32_t* type, std::uint32_t* status, int timeoutMs = 3000);
    // Whether the link closed the connection (within `timeoutMs`), with no
    // bytes before the close.
    bool ClosedByLink(int timeoutMs = 3000);

    // The messages, byte for byte.
    static std::string Le32(std::uint32_t v);
    static std::uint32_t Le32(const std::string& bytes, std::size_t at);
    // A hello with the MD5 of text1 followed by text2 as its check
    // (lower-case hexadecimal unless `upperCheck`), or `check` as given.
    static std::string Hello(std::int8_t kind, std::uint32_t value, const std::string& text1,
                             const std::string& text2, bool upperCheck = false,
                             const std::optional<std::string>& check = std::nullopt);
    static std::string Md5Hex(const std::string& text);
    // A command: its JSON and a NUL, with the length that says so (or the
    // one given).
    static std::string Command(const std::string& json,
                               std::optional<std::uint32_t> length = std::nullopt);

private:
    int m_fd = -1;
};

#include "DnsRelay.h"

#include <cstring>
#include <utility>

#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/socket/UdpSocket.h"
#include "platform/text/Ipv4Text.h"
#include "platform/text/Ipv6Text.h"

namespace {

constexpr std::size_t kHeader = 12;
constexpr std::uint16_t kTypeA = 1;
constexpr std::uint16_t kTypeCname = 5;
constexpr std::uint16_t kTypeAaaa = 28;

void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

std::uint16_t Get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

// Writes `name` (dotted; one trailing dot allowed) as length-prefixed labels
// ending with a zero byte; the bytes written, or 0 when the name has an empty
// or over-long label, is longer than a name may be, or does not fit.
std::size_t EncodeName(const std::string& name, std::uint8_t* out, std::size_t capacity) {
    std::string text = name;
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    std::size_t pos = 0;
    if (!text.empty()) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t dot = text.find('.', start);
            const std::size_t end = dot == std::string::npos ? text.size() : dot;
            const std::size_t length = end - start;
            if (length == 0 || length > 63 || pos + 1 + length >= capacity)
                return 0;
            out[pos++] = static_cast<std::uint8_t>(length);
            std::memcpy(out + pos, text.data() + start, length);
            pos += length;
            if (dot == std::string::npos)
                break;
            start = dot + 1;
        }
    }
    if (pos + 1 > 255 || pos + 1 > capacity)
        return 0;
    out[pos++] = 0;
    return pos;
}

// One answer record in `out`; its length, or 0 when the relay has no
// encoding for it or it does not fit.
std::size_t EncodeRecord(const plat::DnsRecord& r, std::uint8_t* out, std::size_t capacity) {
    if (r.type != kTypeA && r.type != kTypeCname && r.type != kTypeAaaa)
        return 0;
    const std::size_t owner = EncodeName(r.owner, out, capacity);
    if (owner == 0 || owner + 10 > capacity)
        return 0;
    std::uint8_t* p = out + owner;
    Put16(p, r.type);
    Put16(p + 2, 1);  // IN
    Put32(p + 4, r.ttl);
    std::size_t data;
    if (r.type == kTypeA) {
        if (owner + 14 > capacity)
            return 0;
        std::memcpy(p + 10, &r.address, 4);  // network byte order, as the resolver gives it
        data = 4;
    } else if (r.type == kTypeAaaa) {
        if (owner + 26 > capacity)
            return 0;
        std::memcpy(p + 10, r.address6.data(), 16);
        data = 16;
    } else {
        data = EncodeName(r.target, p + 10, capacity - owner - 10);
        if (data == 0)
            return 0;
    }
    Put16(p + 8, static_cast<std::uint16_t>(data));
    return owner + 10 + data;
}

}  // namespace

CDnsRelay::CDnsRelay(plat::DnsResolver* resolver) : m_resolver(resolver) {}

CDnsRelay::~CDnsRelay() {
    Stop();
}

namespace {

// Where the question of a query ends: the question is the last thing in the
// datagram, or it is followed by exactly one EDNS OPT record (the root name,
// type 41, its RDATA ending with the datagram) and ARCOUNT says so. Stub
// resolvers send that record with most queries; the relay answers them as a
// server without EDNS does, leaving the record out of its response. 0 for
// anything else behind the question.
std::size_t QuestionEnd(const std::uint8_t* data, std::size_t size, std::size_t nameEnd) {
    constexpr std::uint16_t kTypeOpt = 41;
    constexpr std::size_t kOptFixed = 11;  // name, type, class, TTL, RDLENGTH
    const std::size_t end = nameEnd + 4;
    if (end > size)
        return 0;
    if (end == size)
        return end;
    if (Get16(data + 6) != 0 || Get16(data + 8) != 0 || Get16(data + 10) != 1)
        return 0;
    if (size - end < kOptFixed || data[end] != 0 || Get16(data + end + 1) != kTypeOpt)
        return 0;
    return end + kOptFixed + Get16(data + end + 9) == size ? end : 0;
}

std::size_t NameEnd(const std::uint8_t* data, std::size_t size) {
    std::size_t pos = kHeader;
    while (pos < size && data[pos] != 0)
        pos += 1 + data[pos];
    return pos < size ? pos + 1 : 0;
}

}  // namespace

bool CDnsRelay::ParseQuery(const std::uint8_t* data, std::size_t size, std::string* name,
                           std::uint16_t* type) {
    if (data == nullptr || size <= kHeader || size > kBufferSize)
        return false;
    // A plain query: not a response, not truncated, one question.
    if ((data[2] & 0x82) != 0 || Get16(data + 4) != 1)
        return false;
    std::string text;
    std::size_t pos = kHeader;
    for (;;) {
        if (pos >= size)
            return false;
        const std::size_t length = data[pos++];
        if (length == 0)
            break;
        // Compression pointers and extended label types have no place in a
        // question; a label must end inside the datagram.
        if (length > 63 || pos + length > size)
            return false;
        if (!text.empty())
            text += '.';
        for (std::size_t i = 0; i < length; ++i) {
            const char c = static_cast<char>(data[pos + i]);
            if (c == '\0' || c == '.')
                return false;
            text += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
        pos += length;
        if (text.size() > 253 || text.size() >= kNameBuffer)
            return false;
    }
    // The question is of type A or AAAA and nothing but an EDNS record follows it.
    if (text.empty() || QuestionEnd(data, size, pos) == 0)
        return false;
    const std::uint16_t asked = Get16(data + pos);
    if (asked != kTypeA && asked != kTypeAaaa)
        return false;
    if (name != nullptr)
        *name = std::move(text);
    if (type != nullptr)
        *type = asked;
    return true;
}

std::size_t CDnsRelay::BuildResponse(const std::uint8_t* query, std::size_t size,
                                     const std::vector<plat::DnsRecord>& records, std::uint8_t* out,
                                     std::size_t capacity) {
    if (query == nullptr || out == nullptr || size <= kHeader || size > capacity)
        return 0;
    out[0] = query[0];
    out[1] = query[1];
    out[2] = 0x81;                                                 // response, recursion desired
    out[3] = static_cast<std::uint8_t>((query[3] | 0x80) & 0xB0);  // RA; AD and CD kept
    Put16(out + 4, 1);
    Put16(out + 8, 0);
    Put16(out + 10, 0);
    // The question only: an EDNS record of the query is not answered.
    const std::size_t nameEnd = NameEnd(query, size);
    const std::size_t questionEnd = nameEnd == 0 ? 0 : QuestionEnd(query, size, nameEnd);
    if (questionEnd == 0)
        return 0;
    std::memcpy(out + kHeader, query + kHeader, questionEnd - kHeader);
    // Addresses of the question's type only, besides the CNAME chain.
    const std::uint16_t asked = Get16(query + nameEnd) == kTypeAaaa ? kTypeAaaa : kTypeA;
    std::size_t length = questionEnd;
    std::uint16_t answers = 0;
    std::uint8_t scratch[kRecordScratch];
    for (const plat::DnsRecord& r : records) {
        if (r.type != asked && r.type != kTypeCname)
            continue;
        const std::size_t n = EncodeRecord(r, scratch, sizeof scratch);
        if (n == 0) {
            if (r.type == asked || r.type == kTypeCname) {
                // A record that cannot be written ends the answer here, so a
                // CNAME chain is never given with a gap.
                break;
            }
            continue;
        }
        if (length + n > capacity)
            break;
        std::memcpy(out + length, scratch, n);
        length += n;
        ++answers;
    }
    Put16(out + 6, answers);
    return length;
}

int CDnsRelay::StartRelay(const std::string& ip, std::uint16_t port) {
    if (m_running.load())
        return -1;
    std::uint32_t address = 0;
    if (!plat::Ipv4Text::Parse(ip, &address))
        return plat::kWsaEAddrNotAvail;
    auto socket = std::make_unique<plat::UdpSocket>();
    socket->Startup();
    if (const int e = socket->Open())
        return e;
    if (const int e = socket->Bind(address, port))
        return e;  // the socket closes as it goes
    m_port = socket->LocalPort();
    m_socket = std::move(socket);
    plat::DnsResolver& resolver =
        m_resolver != nullptr ? *m_resolver : plat::Platform::Current().Resolver();
    m_lookups = resolver.OpenLookups();
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_waiting.clear();
        m_pending = 0;
    }
    m_queries = 0;
    m_answered = 0;
    m_unresolved = 0;
    m_dropped = 0;
    m_running.store(true);
    if (!WatchSocket(m_socket.get(), false))
        m_receiver = std::thread(&CDnsRelay::ReceiveLoop, this, m_socket.get(), false);
    return 0;
}

int CDnsRelay::StartRelay6(const std::string& ip6, std::uint16_t port) {
    if (!m_running.load() || m_socket6)
        return -1;
    plat::UdpSocket::Ipv6 address{};
    if (!plat::Ipv6Text::Parse(ip6, &address))
        return plat::kWsaEAddrNotAvail;
    auto socket = std::make_unique<plat::UdpSocket>();
    socket->Startup();
    if (const int e = socket->Open6())
        return e;
    if (const int e = socket->Bind6(address, port))
        return e;
    m_port6 = socket->LocalPort();
    m_socket6 = std::move(socket);
    if (!WatchSocket(m_socket6.get(), true))
        m_receiver6 = std::thread(&CDnsRelay::ReceiveLoop, this, m_socket6.get(), true);
    return 0;
}

void CDnsRelay::Stop() {
    if (!m_running.exchange(false) && !m_receiver.joinable())
        return;
    if (m_socket)
        m_socket->Wake();
    if (m_socket6)
        m_socket6->Wake();
    if (m_receiver.joinable())
        m_receiver.join();
    if (m_receiver6.joinable())
        m_receiver6.join();
    // Ends the lookups under way; none answers once this returns.
    m_lookups.reset();
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_waiting.clear();
        m_pending = 0;
    }
    m_socket.reset();
    m_socket6.reset();
    m_port6 = 0;
}

bool CDnsRelay::WatchSocket(plat::UdpSocket* socket, bool v6) {
    auto buffer = std::make_shared<std::vector<std::uint8_t>>(kBufferSize);
    plat::DnsLookups* lookups = m_lookups.get();
    return lookups->Watch(socket->PollHandle(), [this, socket, v6, buffer, lookups] {
        Drain(socket, v6, *buffer, *lookups);
    });
}

void CDnsRelay::ReceiveLoop(plat::UdpSocket* socket, bool v6) {
    std::vector<std::uint8_t> buffer(kBufferSize);
    while (m_running.load()) {
        const plat::UdpSocket::WaitResult w = socket->Wait(1000);
        if (w == plat::UdpSocket::WaitResult::Failed)
            break;
        if (w == plat::UdpSocket::WaitResult::Readable)
            Drain(socket, v6, buffer, *m_lookups);
    }
}

void CDnsRelay::Drain(plat::UdpSocket* socket, bool v6, std::vector<std::uint8_t>& buffer,
                      plat::DnsLookups& lookups) {
    std::string name;
    std::uint16_t type = kTypeA;
    // Every datagram that is waiting, up to a bound that lets the answers out.
    for (int i = 0; i < 64 && m_running.load(); ++i) {
        std::size_t received = 0;
        Job job;
        job.v6 = v6;
        const int e = v6 ? socket->Receive6(buffer.data(), buffer.size(), &received, &job.fromIp6,
                                            &job.fromPort, &job.fromScope)
                         : socket->Receive(buffer.data(), buffer.size(), &received, &job.fromIp,
                                           &job.fromPort);
        if (e != 0)
            break;
        if (!ParseQuery(buffer.data(), received, &name, &type))
            continue;
        job.query.assign(buffer.begin(), buffer.begin() + static_cast<long>(received));
        m_queries.fetch_add(1);
        // A name's A and AAAA lookups are apart; no name holds a zero byte.
        std::string key = type == kTypeAaaa ? name + std::string(1, '\0') + "aaaa" : name;
        Enqueue(std::move(key), name, type, std::move(job), lookups);
    }
}

void CDnsRelay::Enqueue(std::string key, const std::string& name, std::uint16_t type, Job job,
                        plat::DnsLookups& lookups) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_pending >= kMaxPending) {
            m_dropped.fetch_add(1);
            return;
        }
        ++m_pending;
        auto [it, first] = m_waiting.try_emplace(key);
        it->second.push_back(std::move(job));
        if (!first)
            return;  // the lookup under way answers it too
    }
    auto done = [this, key](plat::LONG result, std::vector<plat::DnsRecord> records) {
        Finish(key, result, records);
    };
    const bool started = type == kTypeAaaa ? lookups.LookupAaaa(name, std::move(done))
                                           : lookups.Lookup(name, std::move(done));
    if (!started)
        Finish(key, -1, {});
}

void CDnsRelay::Finish(const std::string& name, plat::LONG result,
                       const std::vector<plat::DnsRecord>& records) {
    std::vector<Job> jobs;
    {
        std::lock_guard<std::mutex> g(m_lock);
        auto it = m_waiting.find(name);
        if (it == m_waiting.end())
            return;
        jobs = std::move(it->second);
        m_waiting.erase(it);
        m_pending -= jobs.size();
    }
    if (result != 0) {
        // No answer: the clients' resolvers time out and may ask their next server.
        m_unresolved.fetch_add(jobs.size());
        return;
    }
    std::uint8_t response[kBufferSize];
    for (const Job& job : jobs) {
        const std::size_t length =
            BuildResponse(job.query.data(), job.query.size(), records, response, sizeof response);
        if (length == 0)
            continue;
        const int e =
            job.v6 ? m_socket6->SendTo6(response, length, job.fromIp6, job.fromPort, job.fromScope)
                   : m_socket->SendTo(response, length, job.fromIp, job.fromPort);
        if (e == 0)
            m_answered.fetch_add(1);
    }
}

CDnsRelay::Stats CDnsRelay::GetStats() const {
    Stats s;
    s.queries = m_queries.load();
    s.answered = m_answered.load();
    s.unresolved = m_unresolved.load();
    s.dropped = m_dropped.load();
    return s;
}

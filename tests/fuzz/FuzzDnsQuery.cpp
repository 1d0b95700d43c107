// libFuzzer target for the DNS relay's query parser and answer builder: any
// datagram up to the receive buffer. An accepted query gets an answer built
// from records named after it and after the input's own bytes; every answer
// must fit the response buffer, keep the query's question, and count exactly
// the records it carries.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/Common/DnsRelay.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

std::uint16_t Get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

// Walks the answers of a response; false when they do not end exactly at its end.
bool AnswersEndAtTheEnd(const std::uint8_t* r, std::size_t size, std::size_t from, unsigned count) {
    std::size_t pos = from;
    for (unsigned i = 0; i < count; ++i) {
        while (pos < size && r[pos] != 0)
            pos += 1 + r[pos];
        pos += 1 + 10;
        if (pos > size)
            return false;
        pos += Get16(r + pos - 2);
    }
    return pos == size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > CDnsRelay::kBufferSize)
        return 0;
    std::string name;
    if (!CDnsRelay::ParseQuery(data, size, &name))
        return 0;
    Check(!name.empty() && name.size() < CDnsRelay::kNameBuffer);
    for (char c : name)
        Check(!(c >= 'A' && c <= 'Z'));

    // Records from the input: the name itself, a CNAME to a slice of the input
    // (which may be no valid name), and many A records.
    std::vector<plat::DnsRecord> records;
    plat::DnsRecord cname;
    cname.owner = name;
    cname.type = 5;
    cname.target = std::string(reinterpret_cast<const char*>(data), size > 300 ? 300 : size);
    records.push_back(cname);
    for (std::size_t i = 0; i < 1 + size % 300; ++i) {
        plat::DnsRecord a;
        a.owner = i % 2 ? name : cname.target.substr(0, i);
        a.type = i % 7 == 3 ? 28 : 1;
        a.ttl = static_cast<std::uint32_t>(i * 2654435761u);
        a.address = static_cast<std::uint32_t>(i);
        records.push_back(a);
    }

    // The question ends with the name and its type and class; an accepted
    // query may carry one EDNS record behind it, which the answer leaves out.
    std::size_t question = 12;
    while (data[question] != 0)
        question += 1 + data[question];
    question += 1 + 4;
    Check(question == size || Get16(data + 10) == 1);

    std::vector<std::uint8_t> out(CDnsRelay::kBufferSize + 64, 0xA5);
    const std::size_t n =
        CDnsRelay::BuildResponse(data, size, records, out.data(), CDnsRelay::kBufferSize);
    Check(n >= question && n <= CDnsRelay::kBufferSize);
    for (std::size_t i = CDnsRelay::kBufferSize; i < out.size(); ++i)
        Check(out[i] == 0xA5);
    Check(std::memcmp(out.data() + 12, data + 12, question - 12) == 0);
    Check(out[2] == 0x81 && Get16(out.data() + 4) == 1 && Get16(out.data() + 10) == 0);
    Check(AnswersEndAtTheEnd(out.data(), n, question, Get16(out.data() + 6)));
    return 0;
}

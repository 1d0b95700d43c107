// IPv6 for the hotspot's clients, the host's side: when the public interface
// has a default IPv6 route, the private interface gets the first address of a
// /64 of the hotspot's own (a unique local prefix, fd00::/8 and 40 random bits,
// made once and kept in a file so that clients keep their addresses across
// runs), IPv6 forwarding is switched on, the public interface keeps learning
// its router while forwarding (accept_ra 2), and router advertisements hand
// the prefix and the hotspot's address as DNS server to the clients. Stop puts
// every setting back and removes the address. What was changed is also
// written as one line (Record) that a later run reads to undo a run that was
// killed (Recover).
#pragma once

#include <memory>
#include <string>

#include "RouterAdvert.h"
#include "RouterAdvertiser.h"

namespace plat {

class Clock;

class ClientIpv6 {
public:
    explicit ClientIpv6(Clock& clock);
    ~ClientIpv6();
    ClientIpv6(const ClientIpv6&) = delete;
    ClientIpv6& operator=(const ClientIpv6&) = delete;

    // "fdxx:xxxx:xxxx::/64" and back; Parse takes only a unique local /64.
    static std::string FormatPrefix(const RouterAdvert::Ipv6& prefix);
    static bool ParsePrefix(const std::string& text, RouterAdvert::Ipv6* prefix);
    // The prefix kept in `file`; a new one (written to the file) when there is
    // none or what is there is not a unique local /64. False when a new one
    // could not be kept.
    static bool KeptPrefix(const std::string& file, RouterAdvert::Ipv6* prefix);
    // Whether the routing table (the text of /proc/net/ipv6_route) has a
    // default route out of `iface`.
    static bool HasDefaultRoute(const std::string& table, const std::string& iface);

    // Sets IPv6 up for the clients of `priv` when `pub` has a default route.
    // 0 also when there is none (then Active() is false); an errno value when
    // a step failed, after undoing the others.
    int Start(const std::string& pub, const std::string& priv, const std::string& prefixFile,
              std::string* why);
    void Stop();
    bool Active() const { return m_active; }
    // The hotspot's address on the private interface, while active.
    std::string Address() const;
    // What Start changed, as one line for Recover; empty while not active.
    std::string Record() const;
    // Undoes what a record says.
    static void Recover(const std::string& record);

    // Where the system's settings are read and written (tests point it elsewhere).
    static std::string& ProcRoot();

private:
    RouterAdvertiser m_advertiser;
    bool m_active = false;
    std::string m_pub, m_priv;
    RouterAdvert::Ipv6 m_address{};
    int m_forwardBefore = -1;
    int m_acceptRaBefore = -1;
};

}  // namespace plat

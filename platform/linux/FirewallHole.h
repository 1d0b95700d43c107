// Lets DHCP (UDP 67) and DNS (UDP and TCP 53) in on the access point's
// interface whatever the host firewall holds. An accept in one nftables chain
// does not keep another chain of the same hook from dropping, so the rule goes
// to the head of every input chain there is (firewalld's, ufw's through
// iptables-nft, a hand-written ruleset), marked with a comment of its own;
// closing removes every rule so marked, also those of a run that was killed.
// Through libnftables.
#pragma once

#include <string>
#include <vector>

struct nft_ctx;

namespace plat {

class FirewallHole {
public:
    static constexpr const char* kComment = "lumari-hotspot";

    struct Chain {
        std::string family;
        std::string table;
        std::string chain;
        std::string policy;  // "accept" or "drop"
    };

    FirewallHole();
    ~FirewallHole();
    FirewallHole(const FirewallHole&) = delete;
    FirewallHole& operator=(const FirewallHole&) = delete;

    // Removes what an earlier run left, then opens `iface` in every input
    // chain. False with the reason (nftables missing, not root).
    bool Open(const std::string& iface, std::string* error);
    // Removes every rule of ours; the number removed, or -1 with the reason.
    int Close(std::string* error);

    // The base chains on a hook ("input", "forward"), and the firewalls that
    // own tables here.
    bool Chains(const std::string& hook, std::vector<Chain>* chains, std::string* error);
    // "firewalld", "ufw" as their tables show them.
    bool Firewalls(std::vector<std::string>* names, std::string* error);

    // Runs nftables commands; the JSON output, or false with nft's error text.
    bool Run(const std::string& commands, std::string* output, std::string* error);

private:
    nft_ctx* m_ctx = nullptr;
};

}  // namespace plat

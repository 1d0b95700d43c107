// The kernel's nftables through libnftables: commands in nft's own language,
// run in-process (no nft program started), with their output and errors
// captured. The context belongs to the network namespace of the thread that
// first runs a command.
#pragma once

#include <string>

struct nft_ctx;

namespace plat {

class Nftables {
public:
    Nftables() = default;
    ~Nftables();
    Nftables(const Nftables&) = delete;
    Nftables& operator=(const Nftables&) = delete;

    // Runs the commands (one transaction); true on success. `output` receives
    // what listing commands print, `error` nft's messages.
    bool Run(const std::string& commands, std::string* output = nullptr,
             std::string* error = nullptr);
    // Whether the library could make a context.
    bool Usable();

private:
    bool Context();
    nft_ctx* m_ctx = nullptr;
};

}  // namespace plat

#include "Nftables.h"

#include <nftables/libnftables.h>

namespace plat {

Nftables::~Nftables() {
    if (m_ctx != nullptr)
        nft_ctx_free(m_ctx);
}

bool Nftables::Context() {
    if (m_ctx != nullptr)
        return true;
    m_ctx = nft_ctx_new(NFT_CTX_DEFAULT);
    if (m_ctx == nullptr)
        return false;
    if (nft_ctx_buffer_output(m_ctx) != 0 || nft_ctx_buffer_error(m_ctx) != 0) {
        nft_ctx_free(m_ctx);
        m_ctx = nullptr;
        return false;
    }
    return true;
}

bool Nftables::Usable() {
    return Context();
}

bool Nftables::Run(const std::string& commands, std::string* output, std::string* error) {
    if (!Context()) {
        if (error != nullptr)
            *error = "no nftables context";
        return false;
    }
    const int rc = nft_run_cmd_from_buffer(m_ctx, commands.c_str());
    // Reading a buffer rewinds it; both are read after every command so that
    // output does not pile up.
    const char* out = nft_ctx_get_output_buffer(m_ctx);
    const char* err = nft_ctx_get_error_buffer(m_ctx);
    if (output != nullptr)
        *output = out != nullptr ? out : "";
    if (error != nullptr)
        *error = err != nullptr ? err : "";
    return rc == 0;
}

}  // namespace plat

#include "FirewallHole.h"

#include <nftables/libnftables.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "platform/linux/HostapdConfig.h"

namespace plat {

namespace {

// The objects of "list ruleset" (table, chain, rule, ...), each with its kind.
std::vector<std::pair<QString, QJsonObject>> Objects(const std::string& json) {
    std::vector<std::pair<QString, QJsonObject>> out;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json));
    const QJsonArray list = doc.object().value("nftables").toArray();
    for (const QJsonValue& v : list) {
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it)
            out.emplace_back(it.key(), it.value().toObject());
    }
    return out;
}

std::string Str(const QJsonObject& o, const char* key) {
    return o.value(key).toString().toStdString();
}

// Names nftables prints as they are; anything else is not ours to touch.
bool PlainName(const std::string& name) {
    if (name.empty() || name.size() > 256)
        return false;
    for (unsigned char c : name) {
        const bool alnum =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum && c != '-' && c != '_' && c != '.')
            return false;
    }
    return true;
}

bool Family(const std::string& f) {
    return f == "ip" || f == "ip6" || f == "inet";
}

}  // namespace

FirewallHole::FirewallHole() {
    m_ctx = nft_ctx_new(NFT_CTX_DEFAULT);
    if (m_ctx != nullptr) {
        nft_ctx_output_set_flags(m_ctx, NFT_CTX_OUTPUT_JSON | NFT_CTX_OUTPUT_HANDLE);
        nft_ctx_buffer_output(m_ctx);
        nft_ctx_buffer_error(m_ctx);
    }
}

FirewallHole::~FirewallHole() {
    if (m_ctx != nullptr)
        nft_ctx_free(m_ctx);
}

bool FirewallHole::Run(const std::string& commands, std::string* output, std::string* error) {
    if (m_ctx == nullptr) {
        *error = "nftables is not usable";
        return false;
    }
    const int r = nft_run_cmd_from_buffer(m_ctx, commands.c_str());
    // Reading the buffers rewinds them for the next command.
    const char* out = nft_ctx_get_output_buffer(m_ctx);
    const char* err = nft_ctx_get_error_buffer(m_ctx);
    if (output != nullptr)
        *output = out != nullptr ? out : "";
    if (r != 0) {
        *error = err != nullptr && err[0] != 0 ? err : "nftables refused the command";
        while (!error->empty() && error->back() == '\n')
            error->pop_back();
        return false;
    }
    return true;
}

bool FirewallHole::Chains(const std::string& hook, std::vector<Chain>* chains, std::string* error) {
    std::string json;
    if (!Run("list ruleset", &json, error))
        return false;
    chains->clear();
    for (const auto& [kind, o] : Objects(json)) {
        if (kind != "chain" || Str(o, "hook") != hook)
            continue;
        Chain c{Str(o, "family"), Str(o, "table"), Str(o, "name"), Str(o, "policy")};
        chains->push_back(c);
    }
    return true;
}

bool FirewallHole::Firewalls(std::vector<std::string>* names, std::string* error) {
    std::string json;
    if (!Run("list ruleset", &json, error))
        return false;
    names->clear();
    bool firewalld = false;
    bool ufw = false;
    for (const auto& [kind, o] : Objects(json)) {
        if (kind == "table" && Str(o, "name") == "firewalld")
            firewalld = true;
        if (kind == "chain" && Str(o, "name").rfind("ufw-", 0) == 0)
            ufw = true;
    }
    if (firewalld)
        names->push_back("firewalld");
    if (ufw)
        names->push_back("ufw");
    return true;
}

int FirewallHole::Close(std::string* error) {
    std::string json;
    if (!Run("list ruleset", &json, error))
        return -1;
    std::string commands;
    int count = 0;
    for (const auto& [kind, o] : Objects(json)) {
        if (kind != "rule" || Str(o, "comment") != kComment)
            continue;
        const std::string family = Str(o, "family");
        const std::string table = Str(o, "table");
        const std::string chain = Str(o, "chain");
        if (!Family(family) || !PlainName(table) || !PlainName(chain) || !o.contains("handle"))
            continue;
        commands += "delete rule " + family + " " + table + " " + chain + " handle " +
                    std::to_string(o.value("handle").toInteger()) + "\n";
        ++count;
    }
    if (count > 0 && !Run(commands, nullptr, error))
        return -1;
    return count;
}

bool FirewallHole::Open(const std::string& iface, std::string* error) {
    if (!HostapdConfig::ValidInterfaceName(iface)) {
        *error = "invalid interface name";
        return false;
    }
    if (Close(error) < 0)
        return false;
    std::vector<Chain> chains;
    if (!Chains("input", &chains, error))
        return false;
    std::string commands;
    for (const Chain& c : chains) {
        if (!Family(c.family) || !PlainName(c.table) || !PlainName(c.chain))
            continue;
        const std::string head = "insert rule " + c.family + " " + c.table + " " + c.chain +
                                 " iifname \"" + iface + "\" ";
        const std::string tail = std::string(" accept comment \"") + kComment + "\"\n";
        commands += head + "udp dport { 53, 67 }" + tail;
        commands += head + "tcp dport 53" + tail;
    }
    return commands.empty() || Run(commands, nullptr, error);
}

}  // namespace plat

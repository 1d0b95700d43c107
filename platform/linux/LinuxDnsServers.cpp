// The DNS servers of one interface; see LinuxDnsServers.h.
#include <arpa/inet.h>
#include <net/if.h>
#include <sys/stat.h>
#include <systemd/sd-bus.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "LinuxDnsServers.h"
#include "LinuxRoutes.h"

namespace plat {

namespace {

constexpr const char* kResolve = "org.freedesktop.resolve1";
constexpr const char* kResolvePath = "/org/freedesktop/resolve1";

void AddServer(const void* data, std::size_t size, std::vector<std::string>* out) {
    if (size != 4)
        return;
    in_addr a{};
    std::memcpy(&a, data, 4);
    if ((ntohl(a.s_addr) >> 24) == 127)
        return;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a, text, sizeof text);
    out->push_back(text);
}

// systemd-resolved serves the network namespace of the system's first
// process; in another namespace its link indexes name other links.
bool SameNetworkNamespaceAsSystem() {
    struct stat self {
    }, system{};
    if (stat("/proc/self/ns/net", &self) != 0 || stat("/proc/1/ns/net", &system) != 0)
        return false;
    return self.st_ino == system.st_ino && self.st_dev == system.st_dev;
}

class Bus {
public:
    Bus() {
        if (sd_bus_open_system(&m_bus) < 0)
            m_bus = nullptr;
    }
    ~Bus() { sd_bus_flush_close_unref(m_bus); }
    Bus(const Bus&) = delete;
    Bus& operator=(const Bus&) = delete;
    sd_bus* get() const { return m_bus; }

private:
    sd_bus* m_bus = nullptr;
};

class Reply {
public:
    ~Reply() {
        sd_bus_message_unref(m_message);
        sd_bus_error_free(&m_error);
    }
    sd_bus_message* m_message = nullptr;
    sd_bus_error m_error{};  // all null, as SD_BUS_ERROR_NULL
};

// Reads "a(iay)" (per link) or "a(iiay)" (global, `withIndex`) address lists.
void ReadServers(sd_bus_message* m, bool withIndex, std::vector<std::string>* out) {
    if (sd_bus_message_enter_container(m, 'a', withIndex ? "(iiay)" : "(iay)") < 0)
        return;
    while (sd_bus_message_enter_container(m, 'r', withIndex ? "iiay" : "iay") > 0) {
        int index = 0, family = 0;
        if (withIndex && sd_bus_message_read(m, "i", &index) < 0)
            break;
        if (sd_bus_message_read(m, "i", &family) < 0)
            break;
        const void* data = nullptr;
        std::size_t size = 0;
        if (sd_bus_message_read_array(m, 'y', &data, &size) < 0)
            break;
        if (family == AF_INET && index == 0)
            AddServer(data, size, out);
        sd_bus_message_exit_container(m);
    }
    sd_bus_message_exit_container(m);
}

// False when systemd-resolved does not answer for this link.
bool ResolvedServers(unsigned index, bool defaultLink, std::vector<std::string>* out) {
    if (!SameNetworkNamespaceAsSystem())
        return false;
    Bus bus;
    if (bus.get() == nullptr)
        return false;
    Reply link;
    if (sd_bus_call_method(bus.get(), kResolve, kResolvePath, "org.freedesktop.resolve1.Manager",
                           "GetLink", &link.m_error, &link.m_message, "i",
                           static_cast<int>(index)) < 0)
        return false;
    const char* path = nullptr;
    if (sd_bus_message_read(link.m_message, "o", &path) < 0 || path == nullptr)
        return false;
    Reply servers;
    if (sd_bus_get_property(bus.get(), kResolve, path, "org.freedesktop.resolve1.Link", "DNS",
                            &servers.m_error, &servers.m_message, "a(iay)") < 0)
        return false;
    ReadServers(servers.m_message, false, out);
    if (out->empty() && defaultLink) {
        Reply global;
        if (sd_bus_get_property(bus.get(), kResolve, kResolvePath,
                                "org.freedesktop.resolve1.Manager", "DNS", &global.m_error,
                                &global.m_message, "a(iiay)") >= 0)
            ReadServers(global.m_message, true, out);
    }
    return true;
}

}  // namespace

std::vector<std::string> LinuxDnsServers::FromResolvConf(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string keyword, address;
        if (!(words >> keyword >> address) || keyword != "nameserver")
            continue;
        in_addr a{};
        if (inet_pton(AF_INET, address.c_str(), &a) == 1)
            AddServer(&a, 4, &out);
    }
    return out;
}

std::vector<std::string> LinuxDnsServers::Collect(unsigned index, bool defaultLink) {
    std::vector<std::string> out;
    if (ResolvedServers(index, defaultLink, &out))
        return out;
    out.clear();
    if (defaultLink) {
        std::ifstream file("/etc/resolv.conf");
        std::ostringstream text;
        text << file.rdbuf();
        out = FromResolvConf(text.str());
    }
    return out;
}

DWORD LinuxDnsServers::Servers(DWORD ifIndex, std::vector<std::string>* out) {
    if (out == nullptr)
        return kErrorInvalidParameter;
    out->clear();
    char name[IF_NAMESIZE] = {};
    if (if_indextoname(ifIndex, name) == nullptr)
        return kErrorInvalidParameter;
    *out = Collect(ifIndex, LinuxRoutes::DefaultRoutes().count(ifIndex) != 0);
    return 0;
}

}  // namespace plat

#include "NetworkManagerHandoff.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/facility/Clock.h"
#include "platform/linux/HostapdConfig.h"

namespace plat {

namespace {

constexpr const char* kService = "org.freedesktop.NetworkManager";
constexpr const char* kPath = "/org/freedesktop/NetworkManager";
constexpr const char* kDevice = "org.freedesktop.NetworkManager.Device";
constexpr std::uint64_t kCallTimeoutUs = 5'000'000;

int Errno(int r) {
    return r < 0 ? -r : r;
}

}  // namespace

NetworkManagerHandoff::NetworkManagerHandoff(std::string recordFile, std::string busAddress)
    : m_recordFile(std::move(recordFile)), m_address(std::move(busAddress)) {}

NetworkManagerHandoff::~NetworkManagerHandoff() {
    if (m_bus != nullptr)
        sd_bus_flush_close_unref(m_bus);
}

sd_bus* NetworkManagerHandoff::Bus() {
    if (m_bus != nullptr || m_connectFailed)
        return m_bus;
    sd_bus* bus = nullptr;
    int r;
    if (m_address.empty()) {
        r = sd_bus_open_system(&bus);
    } else {
        r = sd_bus_new(&bus);
        if (r >= 0)
            r = sd_bus_set_address(bus, m_address.c_str());
        if (r >= 0)
            r = sd_bus_set_bus_client(bus, 1);
        if (r >= 0)
            r = sd_bus_start(bus);
    }
    if (r < 0) {
        if (bus != nullptr)
            sd_bus_unref(bus);
        m_connectFailed = true;
        return nullptr;
    }
    sd_bus_set_method_call_timeout(bus, kCallTimeoutUs);
    m_bus = bus;
    return m_bus;
}

bool NetworkManagerHandoff::Running() {
    sd_bus* bus = Bus();
    if (bus == nullptr)
        return false;
    sd_bus_error error{};  // SD_BUS_ERROR_NULL, without the C compound literal
    sd_bus_message* reply = nullptr;
    int has = 0;
    const int r =
        sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "NameHasOwner", &error, &reply, "s", kService);
    if (r >= 0)
        sd_bus_message_read(reply, "b", &has);
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return r >= 0 && has != 0;
}

int NetworkManagerHandoff::DevicePath(const std::string& iface, std::string* path) {
    sd_bus* bus = Bus();
    if (bus == nullptr || !Running())
        return ENOTCONN;
    sd_bus_error error{};  // SD_BUS_ERROR_NULL, without the C compound literal
    sd_bus_message* reply = nullptr;
    int r = sd_bus_call_method(bus, kService, kPath, kService, "GetDeviceByIpIface", &error, &reply,
                               "s", iface.c_str());
    if (r < 0) {
        // NetworkManager answers UnknownDevice for an interface it does not know.
        r = sd_bus_error_has_name(&error, "org.freedesktop.NetworkManager.UnknownDevice") ? -ENODEV
                                                                                          : r;
    } else {
        const char* object = nullptr;
        r = sd_bus_message_read(reply, "o", &object);
        if (r >= 0)
            *path = object;
    }
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return r < 0 ? Errno(r) : 0;
}

int NetworkManagerHandoff::Managed(const std::string& iface, bool* managed) {
    std::string path;
    if (const int e = DevicePath(iface, &path))
        return e;
    sd_bus_error error{};  // SD_BUS_ERROR_NULL, without the C compound literal
    int value = 0;
    const int r = sd_bus_get_property_trivial(Bus(), kService, path.c_str(), kDevice, "Managed",
                                              &error, 'b', &value);
    sd_bus_error_free(&error);
    if (r < 0)
        return Errno(r);
    *managed = value != 0;
    return 0;
}

bool NetworkManagerHandoff::WaitForDevice(const std::string& iface, Clock& clock,
                                          std::chrono::milliseconds limit) {
    constexpr std::chrono::milliseconds kStep(100);
    const Clock::Steady end = clock.Now() + limit;
    bool managed = false;
    for (;;) {
        const int r = Managed(iface, &managed);
        if (r != ENODEV)
            return r == 0;
        if (clock.Now() >= end)
            return false;
        clock.SleepFor(kStep);
    }
}

int NetworkManagerHandoff::SetManaged(const std::string& iface, bool managed) {
    std::string path;
    if (const int e = DevicePath(iface, &path))
        return e;
    sd_bus_error error{};  // SD_BUS_ERROR_NULL, without the C compound literal
    const int r = sd_bus_set_property(Bus(), kService, path.c_str(), kDevice, "Managed", &error,
                                      "b", managed ? 1 : 0);
    sd_bus_error_free(&error);
    return r < 0 ? Errno(r) : 0;
}

bool NetworkManagerHandoff::Take(const std::string& iface, std::string* diagnostic) {
    bool managed = false;
    const int e = Managed(iface, &managed);
    if (e == ENOTCONN || e == ENODEV || (e == 0 && !managed))
        return false;
    if (e != 0) {
        *diagnostic = "cannot ask NetworkManager about " + iface + ": " + std::strerror(e);
        return false;
    }
    // The record first: a run killed right after the change still gives it back.
    {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(m_recordFile).parent_path(), ec);
        std::ofstream record(m_recordFile, std::ios::trunc);
        record << iface << "\n";
        if (!record.flush()) {
            *diagnostic = "cannot write " + m_recordFile;
            return false;
        }
    }
    if (const int s = SetManaged(iface, false)) {
        *diagnostic = "NetworkManager did not release " + iface + ": " + std::strerror(s);
        std::error_code ec;
        std::filesystem::remove(m_recordFile, ec);
        return false;
    }
    m_taken = iface;
    *diagnostic = "NetworkManager leaves " + iface + " alone while the hotspot runs";
    return true;
}

void NetworkManagerHandoff::GiveBack(std::string* diagnostic) {
    if (m_taken.empty())
        return;
    if (const int e = SetManaged(m_taken, true))
        *diagnostic = "NetworkManager did not take " + m_taken + " back: " + std::strerror(e);
    else
        *diagnostic = "NetworkManager manages " + m_taken + " again";
    m_taken.clear();
    std::error_code ec;
    std::filesystem::remove(m_recordFile, ec);
}

void NetworkManagerHandoff::GiveBackLeftover(std::string* diagnostic) {
    std::string iface;
    {
        std::ifstream record(m_recordFile);
        if (!record)
            return;
        std::getline(record, iface);
    }
    if (HostapdConfig::ValidInterfaceName(iface)) {
        m_taken = iface;
        GiveBack(diagnostic);
    }
    std::error_code ec;
    std::filesystem::remove(m_recordFile, ec);
}

}  // namespace plat

#include "SimDevices.h"

#include <algorithm>
#include <cstring>

#include "SimFaults.h"
#include "platform/facility/OsInfo.h"

namespace plat {

void SimDevices::OnAdapterChange(AdapterListener listener) {
    std::lock_guard<std::mutex> g(m_listenerLock);
    m_listener = std::move(listener);
}

std::vector<SimDevices::AdapterChange> SimDevices::ChangeOf(const SimDevice& d, bool present) {
    if (d.interfaceGuid == GUID_NULL_)
        return {};
    return {AdapterChange{d.interfaceGuid, present, d.enabled}};
}

void SimDevices::Announce(const std::vector<AdapterChange>& changes) {
    std::lock_guard<std::mutex> g(m_listenerLock);
    if (!m_listener)
        return;
    for (const AdapterChange& c : changes)
        m_listener(c.adapter, c.present, c.enabled);
}

void SimDevices::Add(const SimDevice& device) {
    std::vector<AdapterChange> changes;
    {
        std::lock_guard<std::mutex> g(m_lock);
        SimDevice* existing = Get(device.id.c_str());
        if (existing != nullptr) {
            if (existing->interfaceGuid != device.interfaceGuid)
                changes = ChangeOf(*existing, false);
            *existing = device;
        } else {
            m_devices.push_back(device);
        }
    }
    for (const AdapterChange& c : ChangeOf(device, true))
        changes.push_back(c);
    Announce(changes);
}

bool SimDevices::Find(const std::string& id, SimDevice* out) const {
    std::lock_guard<std::mutex> g(m_lock);
    for (const auto& d : m_devices) {
        if (d.id == id) {
            if (out != nullptr)
                *out = d;
            return true;
        }
    }
    return false;
}

std::vector<std::string> SimDevices::Calls(const std::string& function) const {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_calls.find(function);
    return it == m_calls.end() ? std::vector<std::string>{} : it->second;
}

SimDevice* SimDevices::Get(const char* id) {
    if (id == nullptr)
        return nullptr;
    for (auto& d : m_devices)
        if (d.id == id)
            return &d;
    return nullptr;
}

void SimDevices::ClearCalls() {
    std::lock_guard<std::mutex> g(m_lock);
    m_calls.clear();
}

void SimDevices::Record(const std::string& function, const char* id) {
    m_calls[function].push_back(id != nullptr ? id : "");
}

DWORD SimDevices::CopyText(const std::string& text, char* buffer, DWORD* size) {
    if (size == nullptr)
        return kErrorInvalidParameter;
    if (buffer == nullptr || *size < text.size() + 1) {
        *size = static_cast<DWORD>(text.size() + 1);
        return kErrorInsufficientBuffer;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    *size = static_cast<DWORD>(text.size() + 1);
    return 0;
}

DWORD SimDevices::EnumDevice(char* buffer, DWORD* size, const GUID* classGuid) {
    if (auto f = m_faults.Take("EnumDevice")) {
        if (*f == kErrorInsufficientBuffer && size != nullptr)
            *size += 1024;
        return static_cast<DWORD>(*f);
    }
    if (size == nullptr || classGuid == nullptr)
        return kErrorInvalidParameter;
    std::lock_guard<std::mutex> g(m_lock);
    if (*classGuid != kNetClassGuid) {
        if (buffer != nullptr && *size > 0)
            buffer[0] = 0;
        return 0;
    }
    std::string all;
    for (const auto& d : m_devices) {
        all += d.id;
        all.push_back('\0');
    }
    all.push_back('\0');
    if (buffer == nullptr || *size < all.size()) {
        *size = static_cast<DWORD>(all.size());
        return kErrorInsufficientBuffer;
    }
    std::memcpy(buffer, all.data(), all.size());
    *size = static_cast<DWORD>(all.size());
    return 0;
}

int SimDevices::IsWirelessAdapterById(const char* id) {
    std::lock_guard<std::mutex> g(m_lock);
    const SimDevice* d = Get(id);
    return d != nullptr && d->wireless ? 1 : 0;
}

int SimDevices::IsDeviceEnable(const char* id) {
    if (auto f = m_faults.Take("IsDeviceEnable"))
        return static_cast<int>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    const SimDevice* d = Get(id);
    return d != nullptr && d->enabled ? 1 : 0;
}

int SimDevices::EnableDevice(const char* id, int* needRestart) {
    return SetEnabled("EnableDevice", id, true, needRestart);
}

DWORD SimDevices::Refusal() const {
    if (m_token == nullptr)
        return 0;
    if (m_token->IsWow64Process())
        return kErrorInWow64;
    return m_token->IsElevated() ? 0 : kErrorAccessDenied;
}

int SimDevices::DisableDevice(const char* id, int* needRestart) {
    return SetEnabled("DisableDevice", id, false, needRestart);
}

int SimDevices::SetEnabled(const char* function, const char* id, bool enabled, int* needRestart) {
    std::vector<AdapterChange> changes;
    {
        std::lock_guard<std::mutex> g(m_lock);
        Record(function, id);
        if (auto f = m_faults.Take(function))
            return static_cast<int>(*f);
        if (Refusal() != 0)
            return 0;
        SimDevice* d = Get(id);
        if (d == nullptr || !d->canChange)
            return 0;
        if (d->enabled != enabled) {
            d->enabled = enabled;
            changes = ChangeOf(*d, true);
        }
        if (needRestart != nullptr)
            *needRestart = d->needRestart ? 1 : 0;
    }
    Announce(changes);
    return 1;
}

int SimDevices::RemoveDevice(const char* id, int* needRestart) {
    std::vector<AdapterChange> changes;
    {
        std::lock_guard<std::mutex> g(m_lock);
        Record("RemoveDevice", id);
        if (auto f = m_faults.Take("RemoveDevice"))
            return static_cast<int>(*f);
        if (Refusal() != 0)
            return 0;
        auto it = std::find_if(m_devices.begin(), m_devices.end(),
                               [&](const SimDevice& d) { return id != nullptr && d.id == id; });
        if (it == m_devices.end())
            return 0;
        if (needRestart != nullptr)
            *needRestart = it->needRestart ? 1 : 0;
        changes = ChangeOf(*it, false);
        m_devices.erase(it);
    }
    Announce(changes);
    return 1;
}

int SimDevices::ReScanDeviceList() {
    if (auto f = m_faults.Take("ReScanDeviceList"))
        return static_cast<int>(*f);
    return 1;
}

DWORD SimDevices::GetAdapterDeviceInstanceId(const GUID* iface, char* buffer, DWORD* size) {
    if (auto f = m_faults.Take("GetAdapterDeviceInstanceId"))
        return static_cast<DWORD>(*f);
    if (iface == nullptr)
        return kErrorInvalidParameter;
    std::lock_guard<std::mutex> g(m_lock);
    for (const auto& d : m_devices)
        if (d.interfaceGuid == *iface && *iface != GUID_NULL_)
            return CopyText(d.id, buffer, size);
    return kErrorFileNotFound;
}

DWORD SimDevices::GetDriverFriendlyName(const char* id, char* buffer, DWORD* size) {
    std::lock_guard<std::mutex> g(m_lock);
    const SimDevice* d = Get(id);
    return d == nullptr ? kErrorFileNotFound : CopyText(d->friendlyName, buffer, size);
}

DWORD SimDevices::GetDriverDriverDesc(const char* id, char* buffer, DWORD* size) {
    std::lock_guard<std::mutex> g(m_lock);
    const SimDevice* d = Get(id);
    return d == nullptr ? kErrorFileNotFound : CopyText(d->description, buffer, size);
}

DWORD SimDevices::GetDriverManufactory(const char* id, char* buffer, DWORD* size) {
    std::lock_guard<std::mutex> g(m_lock);
    const SimDevice* d = Get(id);
    return d == nullptr ? kErrorFileNotFound : CopyText(d->manufacturer, buffer, size);
}

DWORD SimDevices::GetDriverDate(const char* id, FILETIME* date) {
    std::lock_guard<std::mutex> g(m_lock);
    const SimDevice* d = Get(id);
    if (d == nullptr || date == nullptr)
        return kErrorFileNotFound;
    *date = d->driverDate;
    return 0;
}

DWORD SimDevices::GetDriverVersion(const char* id, unsigned* a, unsigned* b, unsigned* c,
                                   unsigned* dd) {
    std::lock_guard<std::mutex> g(m_lock);
    const SimDevice* d = Get(id);
    if (d == nullptr || a == nullptr || b == nullptr || c == nullptr || dd == nullptr)
        return kErrorFileNotFound;
    *a = d->version[0];
    *b = d->version[1];
    *c = d->version[2];
    *dd = d->version[3];
    return 0;
}

void SimDevices::GetDeviceProblemCode(const char* id, DWORD* problem, DWORD* status) {
    std::lock_guard<std::mutex> g(m_lock);
    const SimDevice* d = Get(id);
    if (d == nullptr)
        return;
    if (problem != nullptr)
        *problem = d->problem;
    if (status != nullptr)
        *status = d->status;
}

}  // namespace plat

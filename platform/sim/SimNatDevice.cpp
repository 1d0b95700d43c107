#include "SimNatDevice.h"

#include <cctype>
#include <cstring>

#include "SimFaults.h"
#include "platform/records/NatRecords.h"
#include "platform/winapi/Win32Api.h"

namespace plat {

namespace {
std::string DeviceKey(const std::string& name) {
    std::string n = name;
    const auto slash = n.find_last_of('\\');
    if (slash != std::string::npos)
        n = n.substr(slash + 1);
    for (auto& c : n)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return n;
}
}  // namespace

SimNatDevice::SimNatDevice(SimFaults& faults, SimNetwork& network, Clock& clock)
    : m_faults(faults), m_engine(faults, network), m_driver(m_engine, clock) {}

void SimNatDevice::AddDevice(const std::string& name) {
    std::lock_guard<std::mutex> g(m_lock);
    m_devices.insert(DeviceKey(name));
}

void SimNatDevice::RemoveDevice(const std::string& name) {
    std::lock_guard<std::mutex> g(m_lock);
    m_devices.erase(DeviceKey(name));
}

void SimNatDevice::SetHandler(Handler handler) {
    std::lock_guard<std::mutex> g(m_lock);
    m_handler = std::move(handler);
}

void SimNatDevice::ClearRequests() {
    std::lock_guard<std::mutex> g(m_lock);
    m_requests.clear();
    m_requests.shrink_to_fit();
}

std::vector<SimNatRequest> SimNatDevice::Requests() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_requests;
}

int SimNatDevice::OpenHandles() const {
    std::lock_guard<std::mutex> g(m_lock);
    return static_cast<int>(m_open.size());
}

HANDLE SimNatDevice::Open(const std::string& deviceName) {
    if (auto f = m_faults.Take("CreateFileA")) {
        SetLastError(static_cast<DWORD>(*f));
        return nullptr;
    }
    const std::string key = DeviceKey(deviceName);
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_devices.count(key) == 0) {
            SetLastError(kErrorFileNotFound);
            return nullptr;
        }
    }
    // The driver starts with the first open (and refuses it when it cannot run).
    if (const DWORD e = m_driver.Start()) {
        SetLastError(e);
        return nullptr;
    }
    std::lock_guard<std::mutex> g(m_lock);
    HANDLE h = reinterpret_cast<HANDLE>(m_next++);
    m_open[h] = key;
    return h;
}

void SimNatDevice::Close(HANDLE device) {
    std::lock_guard<std::mutex> g(m_lock);
    m_open.erase(device);
}

BOOL SimNatDevice::Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out,
                           DWORD outSize, DWORD* returned) {
    if (returned != nullptr)
        *returned = 0;
    if (auto f = m_faults.Take("DeviceIoControl"))
        return static_cast<BOOL>(*f);
    Handler handler;
    SimNatRequest request;
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_open.count(device) == 0) {
            SetLastError(kErrorInvalidHandle);
            return FALSE_;
        }
        request.code = code;
        if (in != nullptr && inSize > 0) {
            const auto* p = static_cast<const BYTE*>(in);
            request.input.assign(p, p + inSize);
        }
        m_requests.push_back(request);
        handler = m_handler;
    }
    if (!handler)
        return m_driver.Control(code, in, inSize, out, outSize, returned);
    std::vector<BYTE> output;
    SetLastError(kNatErrorGenFailure);  // unless the handler names its own error
    const BOOL ok = handler(request, &output);
    // A failure hands bytes back only as a warning that more data was there.
    if (!ok && GetLastError() != kErrorMoreData)
        output.clear();
    const std::size_t n = output.size() < outSize ? output.size() : outSize;
    if (out != nullptr && n > 0)
        std::memcpy(out, output.data(), n);
    if (returned != nullptr)
        *returned = static_cast<DWORD>(n);
    return ok;
}

}  // namespace plat

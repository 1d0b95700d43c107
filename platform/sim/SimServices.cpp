#include "SimServices.h"

#include <cctype>

#include "SimFaults.h"
#include "platform/facility/OsInfo.h"

namespace plat {

SimServices::SimServices(SimFaults& faults, OsInfo* token) : m_faults(faults), m_token(token) {
    SimService wlan;
    wlan.state = 4;
    wlan.startType = 2;
    m_services[Key("WlanSvc")] = wlan;
}

void SimServices::OnChange(Listener listener) {
    std::lock_guard<std::mutex> g(m_listenerLock);
    m_listener = std::move(listener);
}

void SimServices::Announce(const std::string& name, int state) {
    std::lock_guard<std::mutex> g(m_listenerLock);
    if (m_listener)
        m_listener(name, state);
}

std::string SimServices::Key(const char* name) {
    std::string k = name != nullptr ? name : "";
    for (auto& c : k)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return k;
}

void SimServices::Set(const std::string& name, const SimService& service) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_services[Key(name.c_str())] = service;
    }
    Announce(name, service.state);
}

int SimServices::State(const std::string& name) const {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_services.find(Key(name.c_str()));
    return it == m_services.end() ? 0 : it->second.state;
}

int SimServices::StartType(const std::string& name) const {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_services.find(Key(name.c_str()));
    return it == m_services.end() ? 0 : it->second.startType;
}

void SimServices::ClearLog() {
    std::lock_guard<std::mutex> g(m_lock);
    m_log.clear();
    m_log.shrink_to_fit();
}

std::vector<std::string> SimServices::Log() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_log;
}

bool SimServices::Refused() const {
    return m_token != nullptr && !m_token->IsElevated();
}

int SimServices::GetServiceStatus(const char* name) {
    std::lock_guard<std::mutex> g(m_lock);
    m_log.push_back(std::string("GetServiceStatus(") + (name ? name : "") + ")");
    if (auto f = m_faults.Take("GetServiceStatus"))
        return static_cast<int>(*f);
    auto it = m_services.find(Key(name));
    return it == m_services.end() ? 0 : it->second.state;
}

int SimServices::Start(const char* function, const char* name) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_log.push_back(std::string(function) + "(" + (name ? name : "") + ")");
        if (auto f = m_faults.Take(function))
            return static_cast<int>(*f);
        if (Refused())
            return 0;
        auto it = m_services.find(Key(name));
        if (it == m_services.end() || !it->second.canStart || it->second.startType == 4)
            return 0;
        it->second.state = 4;
    }
    Announce(name, 4);
    return 1;
}

int SimServices::StartServiceByNameEx(const char* name) {
    return Start("StartServiceByNameEx", name);
}

int SimServices::StartServiceByName(const char* name) {
    return Start("StartServiceByName", name);
}

int SimServices::StopServiceByName(const char* name) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_log.push_back(std::string("StopServiceByName(") + (name ? name : "") + ")");
        if (auto f = m_faults.Take("StopServiceByName"))
            return static_cast<int>(*f);
        if (Refused())
            return 0;
        auto it = m_services.find(Key(name));
        if (it == m_services.end() || !it->second.canStop)
            return 0;
        it->second.state = 1;
    }
    Announce(name, 1);
    return 1;
}

int SimServices::ChangeServiceStartType(const char* name, int startType) {
    std::lock_guard<std::mutex> g(m_lock);
    m_log.push_back(std::string("ChangeServiceStartType(") + (name ? name : "") + "," +
                    std::to_string(startType) + ")");
    if (auto f = m_faults.Take("ChangeServiceStartType"))
        return static_cast<int>(*f);
    if (Refused())
        return 0;
    auto it = m_services.find(Key(name));
    if (it == m_services.end())
        return 0;
    it->second.startType = startType;
    return 1;
}

}  // namespace plat

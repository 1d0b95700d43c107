#include "HotspotNotify.h"

#include "JsonLine.h"

void HotspotNotify::NetworkStarted(int code) {
    m_output.Event(JsonLine::Event("NetworkStarted").Number("code", code).Str());
    std::function<void()> wake;
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_started = code;
        m_changed.notify_all();
        wake = m_wake;
    }
    if (wake)
        wake();
}

void HotspotNotify::NetworkStopped(int code) {
    m_output.Event(JsonLine::Event("NetworkStopped").Number("code", code).Str());
    std::function<void()> wake;
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_stopped.push_back(code);
        m_changed.notify_all();
        wake = m_wake;
    }
    if (wake)
        wake();
}

void HotspotNotify::InternetStateChanged(int connected) {
    m_output.Event(JsonLine::Event("InternetStateChanged").Number("connected", connected).Str());
}

void HotspotNotify::NetworkError(int code) {
    m_output.Event(JsonLine::Event("NetworkError").Number("code", code).Str());
}

void HotspotNotify::ClientJoin(const ClientInfo& client) {
    m_output.Event(JsonLine::Event("ClientJoin")
                       .Json("client", JsonLine::Client(client))
                       .Json("new", client.isNew != 0 ? "true" : "false")
                       .Str());
}

void HotspotNotify::ClientLeave(const ClientInfo& client) {
    m_output.Event(JsonLine::Event("ClientLeave").Json("client", JsonLine::Client(client)).Str());
}

void HotspotNotify::ClientUpdate(const ClientInfo& client) {
    m_output.Event(JsonLine::Event("ClientUpdate").Json("client", JsonLine::Client(client)).Str());
}

std::optional<int> HotspotNotify::WaitStarted(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait_for(lock, timeout, [&] { return m_started.has_value(); });
    return m_started;
}

std::optional<int> HotspotNotify::WaitStopped(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_lock);
    if (!m_changed.wait_for(lock, timeout, [&] { return !m_stopped.empty(); }))
        return std::nullopt;
    const int code = m_stopped.front();
    m_stopped.pop_front();
    return code;
}

bool HotspotNotify::StopPending() {
    std::lock_guard<std::mutex> g(m_lock);
    return !m_stopped.empty();
}

void HotspotNotify::SetWake(std::function<void()> wake) {
    std::lock_guard<std::mutex> g(m_lock);
    m_wake = std::move(wake);
}

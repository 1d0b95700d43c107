#include "NetworkConnectivity.h"

#include <glog/logging.h>

#include <cstdio>
#include <iomanip>

#include "NetworkEventSink.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/GuidText.h"
#include "platform/winapi/Win32Api.h"

namespace {

constexpr const char* kListenProc = "CNetworkConnectivity::_ListenProc";
constexpr const char* kStop = "CNetworkConnectivity::Stop";

void ThreadTrace(const char* what) {
    char text[128];
    std::snprintf(text, sizeof text, "[Lumari] Thread:%d %s %s",
                  static_cast<int>(plat::GetCurrentThreadId()), kListenProc, what);
    plat::OutputDebugStringA(text);
}

void StopTrace(const char* what) {
    char text[96];
    std::snprintf(text, sizeof text, "[Lumari] %s %s", kStop, what);
    plat::OutputDebugStringA(text);
}

}  // namespace

CNetworkConnectivity::~CNetworkConnectivity() {
    Stop();
}

std::shared_ptr<plat::NetworkListManager> CNetworkConnectivity::Manager() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_nlm;
}

bool CNetworkConnectivity::Init(Callback callback) {
    if (m_thread.joinable())
        Stop();
    std::unique_ptr<plat::NetworkListManager> nlm;
    const plat::HRESULT hr =
        plat::Platform::Current().Nlm().CreateNetworkListManager(plat::kClsctxAll, &nlm);
    if (hr < 0 || !nlm) {
        LOG(ERROR) << "Init NLM failed " << std::hex << hr;
        return false;
    }
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_nlm = std::move(nlm);
        m_callback = std::move(callback);
    }
    RefreshConnectionTable();
    {
        std::lock_guard<std::mutex> g(m_stopLock);
        m_stopRequested = false;
    }
    m_sink = std::make_shared<CNetworkEventSink>(this);
    m_thread = std::thread(&CNetworkConnectivity::_ListenProc, this);
    return true;
}

bool CNetworkConnectivity::RefreshConnectionTable() {
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_connections.clear();
    }
    const auto nlm = Manager();
    if (!nlm)
        return false;
    std::unique_ptr<plat::EnumNetworkConnections> connections;
    if (nlm->GetNetworkConnections(&connections) < 0 || !connections)
        return false;
    std::vector<Connection> snapshot;
    for (;;) {
        std::unique_ptr<plat::NetworkConnection> c;
        plat::ULONG fetched = 0;
        if (connections->Next(&c, &fetched) != plat::kSOk || fetched != 1 || !c)
            break;
        Connection entry;
        c->GetConnectionId(&entry.connectionId);
        c->GetAdapterId(&entry.adapterId);
        plat::VARIANT_BOOL internet = plat::kVariantFalse;
        c->get_IsConnectedToInternet(&internet);
        entry.connectedToInternet = internet == plat::kVariantTrue;
        c->GetConnectivity(&entry.connectivity);
        c->GetDomainType(&entry.domainType);
        snapshot.push_back(entry);
    }
    std::lock_guard<std::mutex> g(m_lock);
    m_connections = std::move(snapshot);
    return true;
}

std::vector<CNetworkConnectivity::Connection> CNetworkConnectivity::Connections() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_connections;
}

void CNetworkConnectivity::_ListenProc() {
    ThreadTrace("Enter");
    plat::ComRuntime& com = plat::Platform::Current().Com();
    const plat::HRESULT init = com.CoInitializeEx(plat::kCoinitMultithreaded);
    if (init < 0)
        LOG(WARNING) << kListenProc << " CoInitializeEx return" << init;

    struct Subscription {
        std::unique_ptr<plat::ConnectionPoint> point;
        plat::DWORD cookie = 0;
        bool advised = false;
    };
    Subscription subscriptions[3];
    const plat::GUID interfaces[3] = {plat::kIidNetworkListManagerEvents, plat::kIidNetworkEvents,
                                      plat::kIidNetworkConnectionEvents};
    {
        const std::shared_ptr<CNetworkEventSink> sink = m_sink;
        std::unique_ptr<plat::ConnectionPointContainer> container;
        const auto nlm = Manager();
        if (nlm && nlm->QueryConnectionPointContainer(&container) >= 0 && container) {
            for (int i = 0; i < 3; ++i) {
                Subscription& s = subscriptions[i];
                if (container->FindConnectionPoint(interfaces[i], &s.point) >= 0 && s.point)
                    s.advised = s.point->Advise(sink, &s.cookie) >= 0;
            }
        }
    }
    m_eventsAdvised = subscriptions[2].advised;
    LOG(INFO) << "Start connectivity ListenProc " << m_eventsAdvised.load();

    {
        std::unique_lock<std::mutex> lock(m_stopLock);
        m_stopSignal.wait(lock, [this] { return m_stopRequested; });
    }

    LOG(INFO) << "connectivity ListenProc exit.";
    for (auto& s : subscriptions) {
        if (s.advised)
            s.point->Unadvise(s.cookie);
        s.point.reset();
    }
    if (init >= 0)
        com.CoUninitialize();
    ThreadTrace("Leave");
}

void CNetworkConnectivity::Stop() {
    StopTrace("Enter");
    {
        std::lock_guard<std::mutex> g(m_stopLock);
        m_stopRequested = true;
        m_stopSignal.notify_all();
    }
    if (m_thread.joinable())
        m_thread.join();
    // The subscriptions are gone, but the system may still be inside the sink
    // (or enter it late with a reference of its own): cut the sink off and
    // wait for the events that already reached this object.
    if (m_sink) {
        m_sink->Detach();
        m_sink.reset();
    }
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_nlm.reset();
    }
    StopTrace("Leave");
}

plat::HRESULT CNetworkConnectivity::ConnectivityChanged(plat::DWORD) {
    return plat::kSOk;
}

plat::HRESULT CNetworkConnectivity::NetworkAdded(const plat::GUID&) {
    return plat::kSOk;
}

plat::HRESULT CNetworkConnectivity::NetworkDeleted(const plat::GUID&) {
    return plat::kSOk;
}

plat::HRESULT CNetworkConnectivity::NetworkConnectivityChanged(const plat::GUID&, plat::DWORD) {
    return plat::kSOk;
}

plat::HRESULT CNetworkConnectivity::NetworkPropertyChanged(const plat::GUID&, plat::DWORD) {
    return plat::kSOk;
}

plat::HRESULT CNetworkConnectivity::NetworkConnectionConnectivityChanged(
    const plat::GUID& connectionId, plat::DWORD connectivity) {
    plat::GUID adapter = plat::GUID_NULL_;
    bool found = false;
    if (const auto nlm = Manager()) {
        std::unique_ptr<plat::NetworkConnection> c;
        plat::GUID id{};
        if (nlm->GetNetworkConnection(connectionId, &c) >= 0 && c && c->GetAdapterId(&id) >= 0) {
            adapter = id;
            found = true;
        }
    }
    Callback callback;
    {
        std::lock_guard<std::mutex> g(m_lock);
        for (const auto& entry : m_connections) {
            if (found)
                break;
            if (entry.connectionId == connectionId) {
                adapter = entry.adapterId;
                found = true;
            }
        }
        callback = m_callback;
    }
    const plat::DWORD internet = connectivity & plat::kNlmConnectivityIpv4Internet;
    LOG(INFO) << "Connectivity changed adpater:<" << plat::GuidText::ToString(adapter) << "> "
              << connectivity << ", internet? " << internet;
    if (callback)
        callback(adapter, internet);
    return plat::kSOk;
}

plat::HRESULT CNetworkConnectivity::NetworkConnectionPropertyChanged(const plat::GUID&,
                                                                     plat::DWORD) {
    return plat::kSOk;
}

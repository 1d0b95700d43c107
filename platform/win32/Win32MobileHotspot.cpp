#include "Win32MobileHotspot.h"

#include "WinRtAbi.h"

#include <atomic>
#include <cstring>
#include <string>

#include "ComRef.h"
#include "platform/winapi/Win32Api.h"

namespace plat {

namespace {

using namespace winrt_abi;

// RO_INIT_MULTITHREADED
constexpr int kRoInitMultithreaded = 1;
constexpr HRESULT kRpcEChangedModeWin = static_cast<HRESULT>(0x80010106u);

// IAgileObject: the handlers may be called on any thread.
constexpr ::GUID kIidAgileObject = {
    0x94ea2b94, 0xe9cc, 0x49e0, {0xc0, 0xff, 0xee, 0x64, 0xca, 0x8f, 0x5b, 0x90}};

::GUID ToWin(const GUID& g) {
    ::GUID out;
    std::memcpy(&out, &g, sizeof out);
    return out;
}

GUID FromWin(const ::GUID& g) {
    GUID out;
    std::memcpy(&out, &g, sizeof out);
    return out;
}

bool Is(REFIID iid, const GUID& g) {
    return std::memcmp(&iid, &g, sizeof g) == 0;
}

bool Is(REFIID iid, const ::GUID& g) {
    return std::memcmp(&iid, &g, sizeof g) == 0;
}

}  // namespace

// combase.dll's functions, bound at run time.
struct Win32MobileHotspot::Runtime {
    using RoInitializeFn = HRESULT(WINAPI*)(int);
    using RoGetActivationFactoryFn = HRESULT(WINAPI*)(HSTRING, REFIID, void**);
    using RoActivateInstanceFn = HRESULT(WINAPI*)(HSTRING, IInspectable**);
    using WindowsCreateStringFn = HRESULT(WINAPI*)(LPCWSTR, UINT32, HSTRING*);
    using WindowsDeleteStringFn = HRESULT(WINAPI*)(HSTRING);
    using WindowsGetStringRawBufferFn = PCWSTR(WINAPI*)(HSTRING, UINT32*);

    plat::HMODULE module = nullptr;
    HRESULT loadError = kSOk;
    RoInitializeFn roInitialize = nullptr;
    RoGetActivationFactoryFn roGetActivationFactory = nullptr;
    RoActivateInstanceFn roActivateInstance = nullptr;
    WindowsCreateStringFn createString = nullptr;
    WindowsDeleteStringFn deleteString = nullptr;
    WindowsGetStringRawBufferFn rawBuffer = nullptr;

    Runtime() {
        module = plat::LoadLibraryW(L"combase.dll");
        if (module == nullptr) {
            loadError = HresultFromWin32(kErrorModNotFound);
            return;
        }
        roInitialize = GetProcAddressAs<RoInitializeFn>(module, "RoInitialize");
        roGetActivationFactory =
            GetProcAddressAs<RoGetActivationFactoryFn>(module, "RoGetActivationFactory");
        roActivateInstance = GetProcAddressAs<RoActivateInstanceFn>(module, "RoActivateInstance");
        createString = GetProcAddressAs<WindowsCreateStringFn>(module, "WindowsCreateString");
        deleteString = GetProcAddressAs<WindowsDeleteStringFn>(module, "WindowsDeleteString");
        rawBuffer =
            GetProcAddressAs<WindowsGetStringRawBufferFn>(module, "WindowsGetStringRawBuffer");
    }
    ~Runtime() {
        if (module != nullptr)
            plat::FreeLibrary(module);
    }
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    static HRESULT Missing() { return HresultFromWin32(kErrorProcNotFound); }

    // Enters the multithreaded apartment on this thread once; a thread already
    // in a single-threaded apartment keeps it (the objects used are agile).
    HRESULT EnterThread() {
        if (module == nullptr)
            return loadError;
        if (roInitialize == nullptr)
            return Missing();
        thread_local bool entered = false;
        if (entered)
            return kSOk;
        const HRESULT hr = roInitialize(kRoInitMultithreaded);
        if (hr < 0 && hr != kRpcEChangedModeWin)
            return hr;
        entered = true;
        return kSOk;
    }

    HRESULT MakeString(const std::wstring& text, HSTRING* out) {
        *out = nullptr;
        if (createString == nullptr)
            return Missing();
        return createString(text.c_str(), static_cast<UINT32>(text.size()), out);
    }
    void FreeString(HSTRING s) {
        if (s != nullptr && deleteString != nullptr)
            deleteString(s);
    }
    // Takes over `s` and frees it.
    std::wstring TakeString(HSTRING s) {
        std::wstring text;
        if (s != nullptr && rawBuffer != nullptr) {
            UINT32 length = 0;
            const wchar_t* p = rawBuffer(s, &length);
            if (p != nullptr)
                text.assign(p, length);
        }
        FreeString(s);
        return text;
    }

    HRESULT GetFactory(const wchar_t* className, const GUID& iid, void** out) {
        *out = nullptr;
        HRESULT hr = EnterThread();
        if (hr < 0)
            return hr;
        if (roGetActivationFactory == nullptr)
            return Missing();
        HSTRING name = nullptr;
        if ((hr = MakeString(className, &name)) < 0)
            return hr;
        const ::GUID winIid = ToWin(iid);
        hr = roGetActivationFactory(name, winIid, out);
        FreeString(name);
        return hr;
    }

    HRESULT Activate(const wchar_t* className, IInspectable** out) {
        *out = nullptr;
        HRESULT hr = EnterThread();
        if (hr < 0)
            return hr;
        if (roActivateInstance == nullptr)
            return Missing();
        HSTRING name = nullptr;
        if ((hr = MakeString(className, &name)) < 0)
            return hr;
        hr = roActivateInstance(name, out);
        FreeString(name);
        return hr;
    }
};

namespace {

using RuntimePtr = std::shared_ptr<Win32MobileHotspot::Runtime>;

template <class T>
HRESULT Query(IUnknown* from, const GUID& iid, ComRef<T>* out) {
    const ::GUID winIid = ToWin(iid);
    return from->QueryInterface(winIid, reinterpret_cast<void**>(out->Put()));
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// The completion handler the system calls: one class for both delegates,
// IUnknown-based with the delegate's id, agile, reference-counted.
template <class Handler, class Async>
class CompletionHandler : public Handler {
public:
    CompletionHandler(GUID iid, std::function<void(std::int32_t)> done)
        : m_iid(iid), m_done(std::move(done)) {}

    ::HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr)
            return kEPointer;
        if (Is(iid, IID_IUnknown) || Is(iid, kIidAgileObject) || Is(iid, m_iid)) {
            *out = static_cast<Handler*>(this);
            AddRef();
            return kSOk;
        }
        *out = nullptr;
        return kENoInterface;
    }
    ::ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ::ULONG STDMETHODCALLTYPE Release() override {
        const ::ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }
    ::HRESULT STDMETHODCALLTYPE Invoke(Async*, AsyncStatusAbi status) override {
        // Called once; a second call finds nothing to run.
        std::function<void(std::int32_t)> done = std::move(m_done);
        if (done)
            done(status);
        return kSOk;
    }

private:
    virtual ~CompletionHandler() = default;
    std::atomic<::ULONG> m_refs{1};
    GUID m_iid;
    std::function<void(std::int32_t)> m_done;
};
#pragma GCC diagnostic pop

class Win32Operation : public TetheringOperation {
public:
    Win32Operation(RuntimePtr rt, IAsyncOperationOfResult* op) : m_rt(std::move(rt)), m_op(op) {}
    Win32Operation(RuntimePtr rt, IAsyncAction* action) : m_rt(std::move(rt)), m_action(action) {}

    HRESULT PutCompleted(std::function<void(std::int32_t)> handler) override {
        if (m_op) {
            auto* h = new CompletionHandler<ICompletedHandlerOfResult, IAsyncOperationOfResult>(
                tethering::IidCompletedHandlerOfResult(), std::move(handler));
            const HRESULT hr = m_op->put_Completed(h);
            h->Release();
            return hr;
        }
        auto* h = new CompletionHandler<IAsyncActionCompletedHandler, IAsyncAction>(
            tethering::kIidAsyncActionCompletedHandler, std::move(handler));
        const HRESULT hr = m_action->put_Completed(h);
        h->Release();
        return hr;
    }
    HRESULT GetResults(std::int32_t* status, std::wstring* message) override {
        if (m_action)
            return m_action->GetResults();
        ComRef<ITetheringOperationResult> result;
        HRESULT hr = m_op->GetResults(result.Put());
        if (hr < 0)
            return hr;
        if (!result)
            return kEPointer;
        std::int32_t s = 0;
        if ((hr = result->get_Status(&s)) < 0)
            return hr;
        if (status != nullptr)
            *status = s;
        if (message != nullptr) {
            HSTRING text = nullptr;
            message->clear();
            if (result->get_AdditionalErrorMessage(&text) >= 0)
                *message = m_rt->TakeString(text);
        }
        return kSOk;
    }
    HRESULT GetErrorCode(HRESULT* code) override {
        ComRef<IAsyncInfo> info;
        HRESULT hr = Info(&info);
        if (hr < 0)
            return hr;
        ::HRESULT error = 0;
        hr = info->get_ErrorCode(&error);
        *code = static_cast<HRESULT>(error);
        return hr;
    }
    HRESULT Cancel() override {
        ComRef<IAsyncInfo> info;
        const HRESULT hr = Info(&info);
        return hr < 0 ? hr : info->Cancel();
    }

private:
    HRESULT Info(ComRef<IAsyncInfo>* info) {
        IUnknown* from =
            m_op ? static_cast<IUnknown*>(m_op.Get()) : static_cast<IUnknown*>(m_action.Get());
        return Query(from, tethering::kIidAsyncInfo, info);
    }

    RuntimePtr m_rt;
    ComRef<IAsyncOperationOfResult> m_op;
    ComRef<IAsyncAction> m_action;
};

class Win32Profile : public ConnectionProfile {
public:
    Win32Profile(RuntimePtr rt, IConnectionProfile* p) : m_rt(std::move(rt)), m_p(p) {}
    HRESULT GetProfileName(std::wstring* name) override {
        HSTRING text = nullptr;
        const HRESULT hr = m_p->get_ProfileName(&text);
        if (hr >= 0)
            *name = m_rt->TakeString(text);
        return hr;
    }
    HRESULT GetNetworkAdapterId(GUID* id) override {
        *id = GUID{};
        ComRef<INetworkAdapter> adapter;
        HRESULT hr = m_p->get_NetworkAdapter(adapter.Put());
        if (hr < 0)
            return hr;
        if (!adapter)
            return kSFalse;
        ::GUID g{};
        if ((hr = adapter->get_NetworkAdapterId(&g)) >= 0)
            *id = FromWin(g);
        return hr;
    }
    IConnectionProfile* Get() const { return m_p.Get(); }

private:
    RuntimePtr m_rt;
    ComRef<IConnectionProfile> m_p;
};

class Win32Manager : public TetheringManager {
public:
    Win32Manager(RuntimePtr rt, ITetheringManager* m) : m_rt(std::move(rt)), m_m(m) {}

    HRESULT GetMaxClientCount(std::uint32_t* count) override {
        UINT32 n = 0;
        const HRESULT hr = m_m->get_MaxClientCount(&n);
        *count = n;
        return hr;
    }
    HRESULT GetClientCount(std::uint32_t* count) override {
        UINT32 n = 0;
        const HRESULT hr = m_m->get_ClientCount(&n);
        *count = n;
        return hr;
    }
    HRESULT GetOperationalState(std::int32_t* state) override {
        // Also called from the manager's poll thread: it enters the apartment too.
        const HRESULT hr = m_rt->EnterThread();
        if (hr < 0)
            return hr;
        return m_m->get_TetheringOperationalState(state);
    }
    HRESULT GetCurrentAccessPointConfiguration(AccessPointConfig* config) override {
        ComRef<IAccessPointConfiguration> c;
        HRESULT hr = m_m->GetCurrentAccessPointConfiguration(c.Put());
        if (hr < 0)
            return hr;
        if (!c)
            return kEPointer;
        HSTRING text = nullptr;
        if ((hr = c->get_Ssid(&text)) < 0)
            return hr;
        config->ssid = m_rt->TakeString(text);
        if ((hr = c->get_Passphrase(&text)) < 0)
            return hr;
        config->passphrase = m_rt->TakeString(text);
        config->band = tethering::kBandAuto;
        ComRef<IAccessPointConfiguration2> c2;
        if (Query(c.Get(), tethering::kIidAccessPointConfiguration2, &c2) >= 0 && c2)
            c2->get_Band(&config->band);
        return kSOk;
    }
    HRESULT IsBandSupported(std::int32_t band, bool* supported) override {
        ComRef<IAccessPointConfiguration> c;
        HRESULT hr = m_m->GetCurrentAccessPointConfiguration(c.Put());
        if (hr < 0)
            return hr;
        if (!c)
            return kEPointer;
        ComRef<IAccessPointConfiguration2> c2;
        if ((hr = Query(c.Get(), tethering::kIidAccessPointConfiguration2, &c2)) < 0)
            return hr;
        boolean yes = 0;
        if ((hr = c2->IsBandSupported(band, &yes)) >= 0)
            *supported = yes != 0;
        return hr;
    }
    HRESULT ConfigureAccessPointAsync(const AccessPointConfig& config,
                                      std::unique_ptr<TetheringOperation>* action) override {
        ComRef<IInspectable> object;
        HRESULT hr = m_rt->Activate(tethering::kClassAccessPointConfiguration, object.Put());
        if (hr < 0)
            return hr;
        ComRef<IAccessPointConfiguration> c;
        if ((hr = Query(object.Get(), tethering::kIidAccessPointConfiguration, &c)) < 0)
            return hr;
        if ((hr = PutText(c.Get(), &IAccessPointConfiguration::put_Ssid, config.ssid)) < 0 ||
            (hr = PutText(c.Get(), &IAccessPointConfiguration::put_Passphrase, config.passphrase)) <
                0)
            return hr;
        if (config.band != tethering::kBandAuto) {
            ComRef<IAccessPointConfiguration2> c2;
            if ((hr = Query(c.Get(), tethering::kIidAccessPointConfiguration2, &c2)) < 0 ||
                (hr = c2->put_Band(config.band)) < 0)
                return hr;
        }
        ComRef<IAsyncAction> a;
        if ((hr = m_m->ConfigureAccessPointAsync(c.Get(), a.Put())) < 0)
            return hr;
        if (!a)
            return kEPointer;
        IAsyncAction* raw = a.Get();
        raw->AddRef();  // the operation holds its own reference
        *action = std::make_unique<Win32Operation>(m_rt, raw);
        return kSOk;
    }
    HRESULT StartTetheringAsync(std::unique_ptr<TetheringOperation>* operation) override {
        IAsyncOperationOfResult* op = nullptr;
        const HRESULT hr = m_m->StartTetheringAsync(&op);
        return Wrap(hr, op, operation);
    }
    HRESULT StopTetheringAsync(std::unique_ptr<TetheringOperation>* operation) override {
        IAsyncOperationOfResult* op = nullptr;
        const HRESULT hr = m_m->StopTetheringAsync(&op);
        return Wrap(hr, op, operation);
    }
    HRESULT GetTetheringClients(std::vector<TetheringClientInfo>* clients) override {
        clients->clear();
        HRESULT hr = m_rt->EnterThread();
        if (hr < 0)
            return hr;
        ComRef<ITetheringClientManager> cm;
        hr = Query(m_m.Get(), tethering::kIidTetheringClientManager, &cm);
        if (hr < 0)
            return hr;
        ComRef<IVectorView<ITetheringClient>> view;
        if ((hr = cm->GetTetheringClients(view.Put())) < 0)
            return hr;
        if (!view)
            return kSOk;
        UINT32 size = 0;
        if ((hr = view->get_Size(&size)) < 0)
            return hr;
        for (UINT32 i = 0; i < size; ++i) {
            ComRef<ITetheringClient> client;
            if ((hr = view->GetAt(i, client.Put())) < 0)
                return hr;
            if (!client)
                continue;
            TetheringClientInfo info;
            HSTRING mac = nullptr;
            if (client->get_MacAddress(&mac) >= 0)
                info.mac = m_rt->TakeString(mac);
            ComRef<IVectorView<IHostName>> names;
            UINT32 count = 0;
            if (client->get_HostNames(names.Put()) >= 0 && names && names->get_Size(&count) >= 0) {
                for (UINT32 n = 0; n < count; ++n) {
                    ComRef<IHostName> name;
                    HSTRING text = nullptr;
                    if (names->GetAt(n, name.Put()) >= 0 && name &&
                        name->get_DisplayName(&text) >= 0)
                        info.hostNames.push_back(m_rt->TakeString(text));
                }
            }
            clients->push_back(std::move(info));
        }
        return kSOk;
    }

private:
    using PutFn = ::HRESULT (STDMETHODCALLTYPE IAccessPointConfiguration::*)(HSTRING);
    HRESULT PutText(IAccessPointConfiguration* c, PutFn put, const std::wstring& text) {
        HSTRING s = nullptr;
        HRESULT hr = m_rt->MakeString(text, &s);
        if (hr < 0)
            return hr;
        hr = (c->*put)(s);
        m_rt->FreeString(s);
        return hr;
    }
    // Takes over the reference `op` carries.
    HRESULT Wrap(HRESULT hr, IAsyncOperationOfResult* op,
                 std::unique_ptr<TetheringOperation>* operation) {
        if (hr < 0) {
            if (op != nullptr)
                op->Release();
            return hr;
        }
        if (op == nullptr)
            return kEPointer;
        *operation = std::make_unique<Win32Operation>(m_rt, op);
        return kSOk;
    }

    RuntimePtr m_rt;
    ComRef<ITetheringManager> m_m;
};

}  // namespace

Win32MobileHotspot::Win32MobileHotspot() = default;
Win32MobileHotspot::~Win32MobileHotspot() = default;

HRESULT Win32MobileHotspot::Factory(const wchar_t* className, const GUID& iid, void** out) {
    std::shared_ptr<Runtime> rt;
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (!m_runtime)
            m_runtime = std::make_shared<Runtime>();
        rt = m_runtime;
    }
    return rt->GetFactory(className, iid, out);
}

HRESULT Win32MobileHotspot::GetInternetConnectionProfile(
    std::unique_ptr<ConnectionProfile>* profile) {
    profile->reset();
    ComRef<INetworkInformationStatics> statics;
    HRESULT hr =
        Factory(tethering::kClassNetworkInformation, tethering::kIidNetworkInformationStatics,
                reinterpret_cast<void**>(statics.Put()));
    if (hr < 0)
        return hr;
    IConnectionProfile* p = nullptr;
    if ((hr = statics->GetInternetConnectionProfile(&p)) < 0)
        return hr;
    if (p != nullptr)
        *profile = std::make_unique<Win32Profile>(m_runtime, p);  // takes the reference
    return kSOk;
}

HRESULT Win32MobileHotspot::GetConnectionProfiles(
    std::vector<std::unique_ptr<ConnectionProfile>>* profiles) {
    profiles->clear();
    ComRef<INetworkInformationStatics> statics;
    HRESULT hr =
        Factory(tethering::kClassNetworkInformation, tethering::kIidNetworkInformationStatics,
                reinterpret_cast<void**>(statics.Put()));
    if (hr < 0)
        return hr;
    ComRef<IVectorView<IConnectionProfile>> view;
    if ((hr = statics->GetConnectionProfiles(view.Put())) < 0)
        return hr;
    UINT32 size = 0;
    if (!view || (hr = view->get_Size(&size)) < 0)
        return view ? hr : kSOk;
    for (UINT32 i = 0; i < size; ++i) {
        IConnectionProfile* p = nullptr;
        if ((hr = view->GetAt(i, &p)) < 0)
            return hr;
        if (p != nullptr)
            profiles->push_back(std::make_unique<Win32Profile>(m_runtime, p));
    }
    return kSOk;
}

HRESULT Win32MobileHotspot::GetTetheringCapabilityFromConnectionProfile(ConnectionProfile& profile,
                                                                        std::int32_t* capability) {
    auto* p = dynamic_cast<Win32Profile*>(&profile);
    if (p == nullptr)
        return kEInvalidArg;
    ComRef<ITetheringManagerStatics2> statics;
    const HRESULT hr =
        Factory(tethering::kClassTetheringManager, tethering::kIidTetheringManagerStatics2,
                reinterpret_cast<void**>(statics.Put()));
    if (hr < 0)
        return hr;
    return statics->GetTetheringCapabilityFromConnectionProfile(p->Get(), capability);
}

HRESULT Win32MobileHotspot::CreateFromConnectionProfile(
    ConnectionProfile& profile, std::unique_ptr<TetheringManager>* manager) {
    auto* p = dynamic_cast<Win32Profile*>(&profile);
    if (p == nullptr)
        return kEInvalidArg;
    ComRef<ITetheringManagerStatics2> statics;
    HRESULT hr = Factory(tethering::kClassTetheringManager, tethering::kIidTetheringManagerStatics2,
                         reinterpret_cast<void**>(statics.Put()));
    if (hr < 0)
        return hr;
    ITetheringManager* m = nullptr;
    if ((hr = statics->CreateFromConnectionProfile(p->Get(), &m)) < 0)
        return hr;
    if (m == nullptr)
        return kEPointer;
    *manager = std::make_unique<Win32Manager>(m_runtime, m);
    return kSOk;
}

HRESULT Win32MobileHotspot::IsNoConnectionsTimeoutEnabled(bool* enabled) {
    ComRef<ITetheringManagerStatics4> statics;
    HRESULT hr = Factory(tethering::kClassTetheringManager, tethering::kIidTetheringManagerStatics4,
                         reinterpret_cast<void**>(statics.Put()));
    if (hr < 0)
        return hr;
    boolean yes = 0;
    if ((hr = statics->IsNoConnectionsTimeoutEnabled(&yes)) >= 0)
        *enabled = yes != 0;
    return hr;
}

HRESULT Win32MobileHotspot::EnableNoConnectionsTimeout() {
    ComRef<ITetheringManagerStatics4> statics;
    const HRESULT hr =
        Factory(tethering::kClassTetheringManager, tethering::kIidTetheringManagerStatics4,
                reinterpret_cast<void**>(statics.Put()));
    return hr < 0 ? hr : statics->EnableNoConnectionsTimeout();
}

HRESULT Win32MobileHotspot::DisableNoConnectionsTimeout() {
    ComRef<ITetheringManagerStatics4> statics;
    const HRESULT hr =
        Factory(tethering::kClassTetheringManager, tethering::kIidTetheringManagerStatics4,
                reinterpret_cast<void**>(statics.Put()));
    return hr < 0 ? hr : statics->DisableNoConnectionsTimeout();
}

}  // namespace plat

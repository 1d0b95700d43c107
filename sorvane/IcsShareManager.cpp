#include "IcsShareManager.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/facility/ComRuntime.h"
#include "platform/facility/Wmi.h"
#include "platform/text/GuidText.h"
#include "platform/winapi/Win32Api.h"

namespace sorvane {

namespace {

// ICS's refusal of a private side while its service cannot take the request
// (ERROR_SERVICE_CANNOT_ACCEPT_CTRL): the WMI flags would not help.
constexpr plat::HRESULT kServiceCannotAcceptControl = static_cast<plat::HRESULT>(0x80070425u);

void Debug(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Debug(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    plat::OutputDebugStringA(text);
}

unsigned long Code(plat::HRESULT hr) {
    return static_cast<unsigned long>(static_cast<std::uint32_t>(hr));
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out.push_back(c > 0 && c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

plat::ComRuntime& Com() {
    return plat::Platform::Current().Com();
}

}  // namespace

bool CIcsShareManager::GetSharingManager() {
    if (m_manager)
        return true;
    plat::HRESULT hr = Com().CoInitializeEx(plat::kCoinitApartmentThreaded);
    if (hr == plat::kRpcEChangedMode)
        hr = plat::kSOk;
    if (plat::Succeeded(hr)) {
        hr = Com().CoInitializeSecurity(plat::kRpcCAuthnLevelPkt, plat::kRpcCImpLevelImpersonate,
                                        plat::kEoacNone);
        if (hr == plat::kRpcETooLate)
            hr = plat::kSOk;
    }
    plat::GUID clsid{};
    if (plat::Succeeded(hr))
        hr = Com().CLSIDFromProgID(L"HNetCfg.HNetShare.1", &clsid);
    if (plat::Succeeded(hr))
        hr = plat::Platform::Current().Sharing().CreateSharingManager(
            clsid, plat::kClsctxInprocServer, &m_manager);
    if (plat::Succeeded(hr) && m_manager)
        return true;
    m_manager.reset();
    Debug("_GetINetSharingManager failed return 0x%lx", Code(hr));
    return false;
}

plat::HRESULT CIcsShareManager::Init() {
    Release();
    return GetSharingManager() ? plat::kSOk : plat::kSFalse;
}

void CIcsShareManager::Release() {
    m_manager.reset();
}

plat::HRESULT CIcsShareManager::IsSupport(int* supported) {
    *supported = 0;
    if (!m_initialized || !m_manager)
        return plat::kSFalse;
    plat::VARIANT_BOOL installed = plat::kVariantFalse;
    const plat::HRESULT hr = m_manager->get_SharingInstalled(&installed);
    *supported = plat::Succeeded(hr) && installed == plat::kVariantTrue ? 1 : 0;
    return hr;
}

plat::HRESULT CIcsShareManager::IsSharingEnable(const plat::GUID& connection, int* enabled) {
    *enabled = 0;
    if (!m_initialized || !m_manager)
        return plat::kSFalse;
    *enabled = SharingConfiguration(connection) != nullptr ? 1 : 0;
    return plat::kSOk;
}

plat::HRESULT CIcsShareManager::GetSharingType(const plat::GUID&, SHARINGTYPE*) {
    return plat::kENotImpl;
}

plat::HRESULT CIcsShareManager::SetPublic(const plat::GUID& connection) {
    m_public = connection;
    return plat::kSOk;
}

plat::HRESULT CIcsShareManager::SetPrivate(const plat::GUID& connection) {
    m_private = connection;
    return plat::kSOk;
}

std::unique_ptr<plat::NetSharingConfiguration> CIcsShareManager::SharingConfiguration(
    const plat::GUID& connection) {
    const std::string wanted = plat::GuidText::ToString(connection);
    std::unique_ptr<plat::SharingEveryConnection> every;
    plat::HRESULT hr = m_manager->get_EnumEveryConnection(&every);
    if (!plat::Succeeded(hr) || !every)
        return nullptr;
    std::unique_ptr<plat::SharingEnumUnknown> unknown;
    std::unique_ptr<plat::SharingEnumVariant> items;
    hr = every->get__NewEnum(&unknown);
    if (plat::Succeeded(hr) && unknown)
        hr = unknown->QueryEnumVariant(&items);
    if (!plat::Succeeded(hr) || !items) {
        Debug("Failed to acquire enumeration interface, Code: 0x%08lx", Code(hr));
        return nullptr;
    }
    items->Reset();
    for (;;) {
        std::unique_ptr<plat::SharingVariant> item;
        plat::ULONG fetched = 0;
        if (items->Next(&item, &fetched) != plat::kSOk || fetched != 1 || !item)
            break;
        std::unique_ptr<plat::SharingConnection> netConnection;
        if (!plat::Succeeded(item->QueryNetConnection(&netConnection)) || !netConnection)
            continue;
        std::unique_ptr<plat::NetConnectionProps> props;
        if (!plat::Succeeded(m_manager->get_NetConnectionProps(*netConnection, &props)) || !props)
            continue;
        std::wstring guid;
        if (!plat::Succeeded(props->get_Guid(&guid)) || Narrow(guid) != wanted)
            continue;
        std::unique_ptr<plat::NetSharingConfiguration> configuration;
        m_manager->get_INetSharingConfigurationForINetConnection(*netConnection, &configuration);
        return configuration;
    }
    return nullptr;
}

plat::HRESULT CIcsShareManager::EnableShare() {
    if (!m_initialized || !m_manager)
        return plat::kSFalse;
    if (plat::GuidText::IsNull(m_private) || plat::GuidText::IsNull(m_public))
        return plat::kEInvalidArg;
    Com().CoInitializeEx(plat::kCoinitMultithreaded);
    auto pub = SharingConfiguration(m_public);
    auto priv = SharingConfiguration(m_private);
    if (!pub || !priv)
        return plat::kEFail;
    m_shared = true;
    plat::HRESULT hr = pub->EnableSharing(plat::kIcsSharingTypePublic);
    if (!plat::Succeeded(hr)) {
        Debug("EnableIcsUsingWMI Public, hr=0x%lx", Code(hr));
        hr = SetWmiFlag(m_public, "IsIcsPublic");
        if (!plat::Succeeded(hr)) {
            plat::OutputDebugStringA("ERROR: EnableShare()->启用失败public");
            return hr;
        }
    }
    hr = priv->EnableSharing(plat::kIcsSharingTypePrivate);
    if (!plat::Succeeded(hr) && hr != kServiceCannotAcceptControl) {
        Debug("EnableIcsUsingWMI Private, hr=0x%lx", Code(hr));
        hr = SetWmiFlag(m_private, "IsIcsPrivate");
    }
    if (!plat::Succeeded(hr))
        plat::OutputDebugStringA("ERROR: EnableShare()->启用失败private");
    return hr;
}

plat::HRESULT CIcsShareManager::DisableShare() {
    if (!m_initialized || !m_manager || !m_shared)
        return plat::kSFalse;
    auto pub = SharingConfiguration(m_public);
    auto priv = SharingConfiguration(m_private);
    if (!pub || !priv)
        return plat::kSFalse;
    plat::HRESULT hr = pub->DisableSharing();
    if (hr != plat::kSOk) {
        plat::OutputDebugStringA("ERROR: DisableShare()->关闭失败public");
        return hr;
    }
    hr = priv->DisableSharing();
    if (hr == plat::kSFalse)
        plat::OutputDebugStringA("ERROR: DisableShare()->关闭失败private");
    return hr;
}

plat::HRESULT CIcsShareManager::SetWmiFlag(const plat::GUID& connection, const char* property) {
    plat::HRESULT hr = Com().CoInitializeEx(plat::kCoinitMultithreaded);
    if (!plat::Succeeded(hr) && hr != plat::kRpcEChangedMode) {
        Debug("Failed to initialize COM library. Code: 0x%08lx", Code(hr));
        return hr;
    }
    hr = Com().CoInitializeSecurity(plat::kRpcCAuthnLevelDefault, plat::kRpcCImpLevelImpersonate,
                                    plat::kEoacNone);
    if (!plat::Succeeded(hr) && hr != plat::kRpcETooLate) {
        Debug("Failed to initialize security. Code: 0x%08lx", Code(hr));
        return hr;
    }
    std::unique_ptr<plat::WbemLocator> locator;
    hr = plat::Platform::Current().Wbem().CreateLocator(plat::kClsctxInprocServer, &locator);
    if (!plat::Succeeded(hr) || !locator) {
        Debug("Failed to create IWbemLocator object. Code: 0x%08lx", Code(hr));
        return plat::Succeeded(hr) ? plat::kEFail : hr;
    }
    std::unique_ptr<plat::WbemServices> services;
    hr = locator->ConnectServer(L"\\\\.\\root\\Microsoft\\HomeNet", &services);
    if (!plat::Succeeded(hr) || !services) {
        Debug("Could not connect. Code: 0x%08lx", Code(hr));
        return plat::Succeeded(hr) ? plat::kEFail : hr;
    }
    hr = services->CoSetProxyBlanket(plat::kRpcCAuthnWinnt, plat::kRpcCAuthzNone,
                                     plat::kRpcCAuthnLevelCall, plat::kRpcCImpLevelImpersonate,
                                     plat::kEoacNone);
    if (!plat::Succeeded(hr)) {
        Debug("Could not set proxy blanket. Code: 0x%08lx", Code(hr));
        return hr;
    }
    std::unique_ptr<plat::EnumWbemClassObject> instances;
    hr = services->ExecQuery(L"WQL", L"SELECT * FROM HNet_ConnectionProperties",
                             plat::kWbemFlagForwardOnly, &instances);
    if (!plat::Succeeded(hr) || !instances) {
        Debug("Failed to exec query. Code: 0x%08lx", Code(hr));
        return plat::Succeeded(hr) ? plat::kEFail : hr;
    }
    const std::wstring name(property, property + std::char_traits<char>::length(property));
    // Every instance is tried; the first refusal is the answer, so that a
    // write the system refused (no rights, say) is not taken for sharing.
    plat::HRESULT first = plat::kSOk;
    for (;;) {
        std::unique_ptr<plat::WbemClassObject> instance;
        plat::ULONG returned = 0;
        instances->Next(plat::kWbemInfinite, &instance, &returned);
        if (returned == 0 || !instance)
            break;
        plat::Variant reference;
        plat::GUID guid = plat::GUID_NULL_;
        std::string text;
        if (plat::Succeeded(instance->Get(L"Connection", &reference)) &&
            reference.vt == plat::kVtBstr) {
            text = Narrow(reference.bstrVal);
            const std::size_t open = text.find('{');
            const std::size_t close = open == std::string::npos ? open : text.find('}', open);
            if (close != std::string::npos)
                plat::GuidText::Parse(text.substr(open, close - open + 1), &guid);
        }
        for (const wchar_t* other :
             {L"IsBridge", L"IsBridgeMember", L"IsFirewalled", L"IsIcsPublic", L"IsIcsPrivate"}) {
            plat::Variant value;
            instance->Get(other, &value);
        }
        hr = instance->Put(name, plat::Variant::Bool(guid == connection));
        if (!plat::Succeeded(hr)) {
            Debug("put %s error :0x%lx", property, Code(hr));
            if (plat::Succeeded(first))
                first = hr;
            continue;
        }
        hr = services->PutInstance(*instance, plat::kWbemFlagUpdateOnly);
        if (!plat::Succeeded(hr)) {
            Debug("PutInstancessss %s error :0x%lx", text.c_str(), Code(hr));
            if (plat::Succeeded(first))
                first = hr;
        }
    }
    return first;
}

plat::HRESULT CIcsShareManager::SetSpeedLimited(const char*, int, int, int) {
    return plat::kENotImpl;
}

plat::HRESULT CIcsShareManager::GetPeers(std::vector<plat::PEER_INFO>&) {
    return plat::kENotImpl;
}

plat::HRESULT CIcsShareManager::RemovePeers(const char*) {
    return plat::kENotImpl;
}

}  // namespace sorvane

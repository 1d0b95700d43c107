#include "IcsShareManager.h"

#include <glog/logging.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Common/StringConv.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/GuidText.h"
#include "platform/winapi/Win32Api.h"

namespace {

constexpr const wchar_t* kHomeNet = L"\\\\.\\root\\Microsoft\\HomeNet";
constexpr const wchar_t* kQuery = L"SELECT * FROM HNet_ConnectionProperties";

plat::Backend& Os() {
    return plat::Platform::Current();
}

std::uint32_t Code(plat::HRESULT hr) {
    return static_cast<std::uint32_t>(hr);
}

void DebugCode(const char* format, plat::HRESULT hr) {
    char text[96];
    std::snprintf(text, sizeof text, format, static_cast<unsigned long>(Code(hr)));
    plat::OutputDebugStringA(text);
}

// The GUID between the first "{" and the following "}" of a reference text.
bool GuidOfReference(const std::wstring& reference, plat::GUID* guid) {
    const auto open = reference.find(L'{');
    if (open == std::wstring::npos)
        return false;
    const auto close = reference.find(L'}', open);
    if (close == std::wstring::npos)
        return false;
    return plat::GuidText::Parse(reference.substr(open, close - open + 1), guid);
}

}  // namespace

void CIcsShareManager::ReleaseSharingManager() {
    m_sharingManager.reset();
}

bool CIcsShareManager::Init() {
    ReleaseSharingManager();
    m_initialized = false;
    if (!_GetINetSharingManager()) {
        LOG(ERROR) << "ICS Share init failed.";
        return false;
    }
    m_initialized = true;
    return true;
}

bool CIcsShareManager::_GetINetSharingManager() {
    if (m_sharingManager)
        return true;
    plat::HRESULT hr = Os().Com().CoInitializeEx(plat::kCoinitApartmentThreaded);
    if (hr == plat::kRpcEChangedMode)
        hr = plat::kSOk;
    if (hr >= 0) {
        hr = Os().Com().CoInitializeSecurity(plat::kRpcCAuthnLevelPkt,
                                             plat::kRpcCImpLevelImpersonate, plat::kEoacNone);
        if (hr == plat::kRpcETooLate)
            hr = plat::kSOk;
    }
    plat::GUID clsid{};
    if (hr >= 0)
        hr = Os().Com().CLSIDFromProgID(L"HNetCfg.HNetShare.1", &clsid);
    std::unique_ptr<plat::NetSharingManager> manager;
    if (hr >= 0)
        hr = Os().Sharing().CreateSharingManager(clsid, plat::kClsctxInprocServer, &manager);
    if (hr < 0 || !manager) {
        LOG(INFO) << "_GetINetSharingManager failed return " << std::hex << Code(hr);
        return false;
    }
    m_sharingManager = std::move(manager);
    return true;
}

bool CIcsShareManager::IsSupport() {
    if (!m_initialized || !m_sharingManager) {
        LOG(ERROR) << "CIcsShareManager::IsSupport"
                   << ": ics not init";
        return false;
    }
    plat::VARIANT_BOOL installed = plat::kVariantFalse;
    return m_sharingManager->get_SharingInstalled(&installed) >= 0 &&
           installed == plat::kVariantTrue;
}

std::unique_ptr<plat::NetSharingConfiguration> CIcsShareManager::_GetINetSharingCfg(
    const plat::GUID& guid) {
    std::unique_ptr<plat::NetSharingConfiguration> configuration;
    std::unique_ptr<plat::SharingEveryConnection> every;
    if (m_sharingManager && m_sharingManager->get_EnumEveryConnection(&every) >= 0 && every) {
        std::unique_ptr<plat::SharingEnumUnknown> unknown;
        plat::HRESULT hr = every->get__NewEnum(&unknown);
        if (hr < 0 || !unknown) {
            LOG(INFO) << "Enumeration interface get__NewEnum failed 0x" << std::hex << Code(hr);
        } else {
            std::unique_ptr<plat::SharingEnumVariant> items;
            hr = unknown->QueryEnumVariant(&items);
            if (hr < 0 || !items) {
                LOG(INFO) << "Enumeration interface failed 0x" << std::hex << Code(hr);
            } else {
                items->Reset();
                for (;;) {
                    std::unique_ptr<plat::SharingVariant> item;
                    plat::ULONG fetched = 0;
                    if (items->Next(&item, &fetched) != plat::kSOk || fetched != 1 || !item)
                        break;
                    std::unique_ptr<plat::SharingConnection> connection;
                    if (item->QueryNetConnection(&connection) < 0 || !connection)
                        continue;
                    std::unique_ptr<plat::NetConnectionProps> properties;
                    hr = m_sharingManager->get_NetConnectionProps(*connection, &properties);
                    if (!properties) {
                        LOG(INFO) << "ICS: get_NetConnectionProps failed 0x" << std::hex
                                  << Code(hr);
                        continue;
                    }
                    std::wstring text;
                    plat::GUID id{};
                    if (properties->get_Guid(&text) < 0 || !plat::GuidText::Parse(text, &id) ||
                        id != guid)
                        continue;
                    m_sharingManager->get_INetSharingConfigurationForINetConnection(*connection,
                                                                                    &configuration);
                    break;
                }
            }
        }
    }
    if (!configuration)
        LOG(INFO) << "_GetINetSharingCfg failed guid:" << plat::GuidText::ToString(guid);
    return configuration;
}

bool CIcsShareManager::_Enable() {
    if (!m_initialized) {
        LOG(ERROR) << "CIcsShareManager::_Enable"
                   << ": ics not init";
        return false;
    }
    Os().Com().CoInitializeEx(plat::kCoinitMultithreaded);
    auto publicCfg = _GetINetSharingCfg(m_publicGuid);
    auto privateCfg = _GetINetSharingCfg(m_privateGuid);
    if (!publicCfg) {
        LOG(INFO) << "EnableShare()-> failed, public null pointer.";
        return false;
    }
    plat::HRESULT hr = publicCfg->EnableSharing(plat::kIcsSharingTypePublic);
    if (hr != plat::kSOk)
        LOG(INFO) << "EnableShare public failed 0x" << std::hex << Code(hr);
    publicCfg.reset();
    if (!privateCfg) {
        LOG(INFO) << "EnableShare failed, private null pointer.";
        return false;
    }
    hr = privateCfg->EnableSharing(plat::kIcsSharingTypePrivate);
    if (hr != plat::kSOk)
        LOG(INFO) << "EnableSharing Private failed 0x" << std::hex << Code(hr);
    return hr == plat::kSOk;
}

bool CIcsShareManager::_Disable() {
    if (!m_initialized) {
        LOG(ERROR) << "CIcsShareManager::_Disable"
                   << ": ics not init";
        return false;
    }
    auto publicCfg = _GetINetSharingCfg(m_publicGuid);
    auto privateCfg = _GetINetSharingCfg(m_privateGuid);
    bool called = false;
    plat::HRESULT hr = plat::kSOk;
    if (privateCfg) {
        called = true;
        hr = privateCfg->DisableSharing();
        if (hr != plat::kSOk)
            LOG(INFO) << "DisableShare private failed 0x" << std::hex << Code(hr);
        privateCfg.reset();
    }
    if (publicCfg) {
        called = true;
        hr = publicCfg->DisableSharing();
        if (hr != plat::kSOk)
            LOG(INFO) << "DisableShare public failed 0x" << std::hex << Code(hr);
    }
    return called && hr == plat::kSOk;
}

bool CIcsShareManager::Enable(const plat::GUID& publicGuid, const plat::GUID& privateGuid) {
    m_publicGuid = publicGuid;
    m_privateGuid = privateGuid;
    if (_Enable())
        return true;
    const plat::HRESULT hr = EnableIcsUsingWMI(publicGuid, privateGuid);
    if (hr < 0)
        LOG(INFO) << "EnableIcsUsingWMI failed return 0x" << std::hex << Code(hr);
    return hr >= 0;
}

bool CIcsShareManager::Disable() {
    if (_Disable())
        return true;
    const plat::HRESULT hr = DisableIcsUsingWMI();
    if (hr < 0)
        LOG(INFO) << "DisableIcsUsingWMI failed return 0x" << std::hex << Code(hr);
    return hr >= 0;
}

plat::HRESULT CIcsShareManager::_ConnectWmi(std::unique_ptr<plat::WbemServices>& services,
                                            std::unique_ptr<plat::EnumWbemClassObject>& instances) {
    plat::HRESULT hr = Os().Com().CoInitializeEx(plat::kCoinitMultithreaded);
    if (hr < 0 && hr != plat::kRpcEChangedMode) {
        DebugCode("Failed to initialize COM library. Code: 0x%08lx", hr);
        return hr;
    }
    hr = Os().Com().CoInitializeSecurity(plat::kRpcCAuthnLevelDefault,
                                         plat::kRpcCImpLevelImpersonate, plat::kEoacNone);
    if (hr < 0 && hr != plat::kRpcETooLate) {
        DebugCode("Failed to initialize security. Code: 0x%08lx", hr);
        return hr;
    }
    std::unique_ptr<plat::WbemLocator> locator;
    hr = Os().Wbem().CreateLocator(plat::kClsctxInprocServer, &locator);
    if (hr < 0 || !locator) {
        LOG(INFO) << "Failed to create IWbemLocator object. Code: 0x" << std::hex << Code(hr);
        return hr < 0 ? hr : plat::kEPointer;
    }
    hr = locator->ConnectServer(kHomeNet, &services);
    if (hr < 0 || !services) {
        LOG(INFO) << "Failed to connect to server. Code: 0x" << std::hex << Code(hr);
        return hr < 0 ? hr : plat::kEPointer;
    }
    hr = services->CoSetProxyBlanket(plat::kRpcCAuthnWinnt, plat::kRpcCAuthzNone,
                                     plat::kRpcCAuthnLevelCall, plat::kRpcCImpLevelImpersonate,
                                     plat::kEoacNone);
    if (hr < 0) {
        LOG(INFO) << "Failed to set proxy blanket. Code: 0x" << std::hex << Code(hr);
        return hr;
    }
    hr = services->ExecQuery(L"WQL", kQuery, plat::kWbemFlagForwardOnly, &instances);
    if (hr < 0 || !instances) {
        LOG(INFO) << "Failed to exec query. Code: 0x" << std::hex << Code(hr);
        return hr < 0 ? hr : plat::kEPointer;
    }
    return plat::kSOk;
}

plat::HRESULT CIcsShareManager::_WriteIcsFlags(bool enable, const plat::GUID& publicGuid,
                                               const plat::GUID& privateGuid) {
    std::unique_ptr<plat::WbemServices> services;
    std::unique_ptr<plat::EnumWbemClassObject> instances;
    plat::HRESULT hr = _ConnectWmi(services, instances);
    if (hr < 0) {
        LOG(INFO) << "Init WMI failed 0x" << std::hex << Code(hr);
        return hr;
    }
    plat::HRESULT result = plat::kSOk;
    for (;;) {
        std::unique_ptr<plat::WbemClassObject> instance;
        plat::ULONG returned = 0;
        hr = instances->Next(plat::kWbemInfinite, &instance, &returned);
        if (hr < 0)
            result = hr;
        if (returned == 0 || !instance)
            break;

        plat::Variant connection;
        const plat::HRESULT got = instance->Get(L"Connection", &connection);
        const std::wstring reference = connection.vt == plat::kVtBstr ? connection.bstrVal : L"";
        plat::GUID guid{};
        const bool identified =
            got >= 0 && connection.vt == plat::kVtBstr && GuidOfReference(reference, &guid);
        const std::string text = WideToAnsiReplacing(reference);
        std::vector<char> line(text.size() + 64);
        std::snprintf(line.data(), line.size(), "Get Connection %s ret:0x%x", text.c_str(),
                      static_cast<unsigned>(Code(got)));
        plat::OutputDebugStringA(line.data());
        // An instance whose connection cannot be read names no connection we
        // could write back; it is skipped and the walk goes on.
        if (!identified)
            continue;

        const bool isPrivate = enable && guid == privateGuid;
        const bool isPublic = enable && !isPrivate && guid == publicGuid;
        result = instance->Put(L"IsIcsPublic", plat::Variant::Bool(isPublic));
        if (result < 0) {
            LOG(INFO) << "put IsIcsPublic error ret: 0x" << std::hex << Code(result);
            break;
        }
        result = instance->Put(L"IsIcsPrivate", plat::Variant::Bool(isPrivate));
        if (result < 0) {
            LOG(INFO) << "put IsIcsPrivate error ret: 0x" << std::hex << Code(result);
            break;
        }
        result = services->PutInstance(*instance, plat::kWbemFlagUpdateOnly);
        if (result < 0) {
            LOG(INFO) << "PutInstancessss error ret: 0x" << std::hex << Code(result);
            break;
        }
    }
    return result;
}

plat::HRESULT CIcsShareManager::EnableIcsUsingWMI(const plat::GUID& publicGuid,
                                                  const plat::GUID& privateGuid) {
    return _WriteIcsFlags(true, publicGuid, privateGuid);
}

plat::HRESULT CIcsShareManager::DisableIcsUsingWMI() {
    return _WriteIcsFlags(false, plat::GUID_NULL_, plat::GUID_NULL_);
}

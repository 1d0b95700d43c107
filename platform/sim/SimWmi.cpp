#include "SimWmi.h"

#include <cwctype>

#include "SimCom.h"
#include "SimFaults.h"
#include "SimIcs.h"
#include "platform/text/GuidText.h"

namespace plat {

namespace {

using Properties = std::map<std::wstring, Variant>;

std::wstring Folded(const std::wstring& text) {
    std::wstring out = text;
    for (auto& c : out)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return out;
}

class SimWbemObject : public WbemClassObject, private SimComObject {
public:
    SimWbemObject(SimWmi& wmi, Properties properties)
        : SimComObject(wmi.Com()), m_wmi(wmi), m_properties(std::move(properties)) {}

    HRESULT Get(const std::wstring& name, Variant* value) override {
        if (value == nullptr)
            return kEPointer;
        *value = Variant{};
        if (auto f = m_wmi.Faults().Take("IWbemClassObject::Get"))
            return static_cast<HRESULT>(*f);
        auto it = m_properties.find(name);
        if (it == m_properties.end())
            return kWbemENotFound;
        *value = it->second;
        return kSOk;
    }
    HRESULT Put(const std::wstring& name, const Variant& value) override {
        if (auto f = m_wmi.Faults().Take("IWbemClassObject::Put"))
            return static_cast<HRESULT>(*f);
        auto it = m_properties.find(name);
        if (it == m_properties.end())
            return kWbemENotFound;
        if (it->second.vt != value.vt && value.vt != kVtNull)
            return kWbemETypeMismatch;
        it->second = value;
        return kSOk;
    }
    const Properties& All() const { return m_properties; }

private:
    SimWmi& m_wmi;
    Properties m_properties;
};

class SimWbemEnum : public EnumWbemClassObject, private SimComObject {
public:
    SimWbemEnum(SimWmi& wmi, std::vector<Properties> instances)
        : SimComObject(wmi.Com()), m_wmi(wmi), m_instances(std::move(instances)) {}
    HRESULT Next(LONG, std::unique_ptr<WbemClassObject>* object, ULONG* returned) override {
        if (object == nullptr || returned == nullptr)
            return kEPointer;
        object->reset();
        *returned = 0;
        if (auto f = m_wmi.Faults().Take("IEnumWbemClassObject::Next"))
            return static_cast<HRESULT>(*f);
        if (m_next >= m_instances.size())
            return kWbemSFalse;
        *object = std::make_unique<SimWbemObject>(m_wmi, m_instances[m_next++]);
        *returned = 1;
        return kSOk;
    }

private:
    SimWmi& m_wmi;
    std::vector<Properties> m_instances;
    std::size_t m_next = 0;
};

class SimWbemServices : public WbemServices, private SimComObject {
public:
    explicit SimWbemServices(SimWmi& wmi) : SimComObject(wmi.Com()), m_wmi(wmi) {}
    HRESULT CoSetProxyBlanket(DWORD, DWORD, DWORD, DWORD, DWORD) override {
        if (auto f = m_wmi.Faults().Take("CoSetProxyBlanket"))
            return static_cast<HRESULT>(*f);
        return kSOk;
    }
    HRESULT ExecQuery(const std::wstring& language, const std::wstring& query, LONG,
                      std::unique_ptr<EnumWbemClassObject>* out) override {
        if (out == nullptr)
            return kEPointer;
        out->reset();
        if (auto f = m_wmi.Faults().Take("ExecQuery"))
            return static_cast<HRESULT>(*f);
        if (Folded(language) != L"wql")
            return kWbemEInvalidQuery;
        if (Folded(query) != L"select * from hnet_connectionproperties")
            return kWbemEInvalidQuery;
        std::vector<Properties> instances;
        for (const GUID& g : m_wmi.Ics().Connections())
            instances.push_back(m_wmi.Instance(g));
        *out = std::make_unique<SimWbemEnum>(m_wmi, std::move(instances));
        return kSOk;
    }
    HRESULT PutInstance(WbemClassObject& instance, LONG flags) override {
        if (auto f = m_wmi.Faults().Take("PutInstance"))
            return static_cast<HRESULT>(*f);
        if (!m_wmi.Ics().MayChange())
            return kWbemEAccessDenied;
        return m_wmi.Write(static_cast<SimWbemObject&>(instance).All(), flags);
    }

private:
    SimWmi& m_wmi;
};

class SimWbemLocator : public WbemLocator, private SimComObject {
public:
    explicit SimWbemLocator(SimWmi& wmi) : SimComObject(wmi.Com()), m_wmi(wmi) {}
    HRESULT ConnectServer(const std::wstring& nameSpace,
                          std::unique_ptr<WbemServices>* out) override {
        if (out == nullptr)
            return kEPointer;
        out->reset();
        if (auto f = m_wmi.Faults().Take("ConnectServer"))
            return static_cast<HRESULT>(*f);
        const std::wstring ns = Folded(nameSpace);
        if (ns != L"\\\\.\\root\\microsoft\\homenet" && ns != L"root\\microsoft\\homenet")
            return kWbemEInvalidNamespace;
        *out = std::make_unique<SimWbemServices>(m_wmi);
        return kSOk;
    }

private:
    SimWmi& m_wmi;
};

}  // namespace

SimWmi::SimWmi(SimFaults& faults, SimCom& com, SimIcs& ics)
    : m_faults(faults), m_com(com), m_ics(ics) {}

std::wstring SimWmi::ConnectionReference(const GUID& connection) {
    return L"HNet_Connection.Guid=\"" + GuidText::ToWString(connection) + L"\"";
}

void SimWmi::SetInstanceProperty(const GUID& connection, const std::wstring& name,
                                 const Variant& value) {
    std::lock_guard<std::mutex> g(m_lock);
    m_overrides[connection][name] = value;
}

std::map<std::wstring, Variant> SimWmi::Instance(const GUID& connection) const {
    Properties p;
    p[L"Connection"] = Variant::Text(ConnectionReference(connection));
    p[L"IsBridge"] = Variant::Bool(false);
    p[L"IsBridgeMember"] = Variant::Bool(false);
    p[L"IsFirewalled"] = Variant::Bool(false);
    p[L"IsIcsPublic"] = Variant::Bool(m_ics.IsPublic(connection));
    p[L"IsIcsPrivate"] = Variant::Bool(m_ics.IsPrivate(connection));
    std::lock_guard<std::mutex> g(m_lock);
    if (auto it = m_overrides.find(connection); it != m_overrides.end()) {
        for (const auto& [name, value] : it->second) {
            if (value.vt == kVtEmpty)
                p.erase(name);
            else
                p[name] = value;
        }
    }
    return p;
}

std::vector<GUID> SimWmi::Written() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_written;
}

void SimWmi::ClearWritten() {
    std::lock_guard<std::mutex> g(m_lock);
    m_written.clear();
}

HRESULT SimWmi::Write(const std::map<std::wstring, Variant>& instance, LONG) {
    // The instance is the connection its key property names.
    auto c = instance.find(L"Connection");
    if (c == instance.end() || c->second.vt != kVtBstr)
        return kWbemENotFound;
    const std::wstring& ref = c->second.bstrVal;
    const auto open = ref.find(L'{');
    const auto close = open == std::wstring::npos ? open : ref.find(L'}', open);
    GUID guid{};
    if (close == std::wstring::npos ||
        !GuidText::Parse(ref.substr(open, close - open + 1), &guid) || !m_ics.HasConnection(guid))
        return kWbemENotFound;
    auto flag = [&](const wchar_t* name, bool current) {
        auto it = instance.find(name);
        return it != instance.end() && it->second.vt == kVtBool ? it->second.boolVal != 0 : current;
    };
    m_ics.SetFlags(guid, flag(L"IsIcsPublic", m_ics.IsPublic(guid)),
                   flag(L"IsIcsPrivate", m_ics.IsPrivate(guid)));
    std::lock_guard<std::mutex> g(m_lock);
    m_written.push_back(guid);
    return kSOk;
}

HRESULT SimWmi::CreateLocator(DWORD clsctx, std::unique_ptr<WbemLocator>* out) {
    if (out == nullptr)
        return kEPointer;
    out->reset();
    if (auto f = m_faults.Take("CoCreateInstance(WbemLocator)"))
        return static_cast<HRESULT>(*f);
    if ((clsctx & kClsctxInprocServer) == 0)
        return kRegdbEClassNotReg;
    if (const HRESULT hr = m_com.CanCreate(); hr != kSOk)
        return hr;
    *out = std::make_unique<SimWbemLocator>(*this);
    return kSOk;
}

}  // namespace plat

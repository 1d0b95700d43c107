#include "ComApartments.h"

#include <cwctype>

namespace plat {

namespace {

struct Apartment {
    DWORD model = 0;
    int entered = 0;
};

// The apartments of this thread, by the bookkeeping instance they belong to.
thread_local std::map<std::uint64_t, Apartment> t_apartments;

std::atomic<std::uint64_t> g_nextId{1};

std::wstring Folded(const std::wstring& text) {
    std::wstring out = text;
    for (auto& c : out)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return out;
}

}  // namespace

ComApartments::ComApartments() : m_id(g_nextId++) {}

void ComApartments::RegisterProgId(const std::wstring& progId, const GUID& clsid) {
    std::lock_guard<std::mutex> g(m_lock);
    m_progIds[Folded(progId)] = clsid;
}

bool ComApartments::InApartment() const {
    auto it = t_apartments.find(m_id);
    return it != t_apartments.end() && it->second.entered > 0;
}

HRESULT ComApartments::CoInitializeEx(DWORD coinit) {
    const DWORD model = coinit & kCoinitApartmentThreaded;
    auto it = t_apartments.find(m_id);
    if (it != t_apartments.end() && it->second.entered > 0) {
        if (it->second.model != model)
            return kRpcEChangedMode;
        ++it->second.entered;
        return kSFalse;
    }
    t_apartments[m_id] = Apartment{model, 1};
    return kSOk;
}

void ComApartments::CoUninitialize() {
    auto it = t_apartments.find(m_id);
    if (it == t_apartments.end())
        return;
    if (--it->second.entered <= 0)
        t_apartments.erase(it);
}

HRESULT ComApartments::CoInitializeSecurity(DWORD, DWORD, DWORD) {
    if (!InApartment())
        return kCoENotInitialized;
    bool expected = false;
    return m_securityFixed.compare_exchange_strong(expected, true) ? kSOk : kRpcETooLate;
}

HRESULT ComApartments::CLSIDFromProgID(const std::wstring& progId, GUID* clsid) {
    if (clsid == nullptr)
        return kEInvalidArg;
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_progIds.find(Folded(progId));
    if (it == m_progIds.end())
        return kCoEClassString;
    *clsid = it->second;
    return kSOk;
}

}  // namespace plat

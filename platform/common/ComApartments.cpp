#include "ComApartments.h"

#include <cwctype>

#include "ThreadSlot.h"

namespace plat {

namespace {

struct Apartment {
    DWORD model = 0;
    int entered = 0;
};

// The apartments of this thread, by the bookkeeping instance they belong to.
std::map<std::uint64_t, Apartment>& ThisThread() {
    static ThreadSlot<std::map<std::uint64_t, Apartment>> slot;
    return slot.Get();
}

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
    auto& apartments = ThisThread();
    auto it = apartments.find(m_id);
    return it != apartments.end() && it->second.entered > 0;
}

HRESULT ComApartments::CoInitializeEx(DWORD coinit) {
    const DWORD model = coinit & kCoinitApartmentThreaded;
    auto& apartments = ThisThread();
    auto it = apartments.find(m_id);
    if (it != apartments.end() && it->second.entered > 0) {
        if (it->second.model != model)
            return kRpcEChangedMode;
        ++it->second.entered;
        return kSFalse;
    }
    apartments[m_id] = Apartment{model, 1};
    return kSOk;
}

void ComApartments::CoUninitialize() {
    auto& apartments = ThisThread();
    auto it = apartments.find(m_id);
    if (it == apartments.end())
        return;
    if (--it->second.entered <= 0)
        apartments.erase(it);
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

// The COM runtime of the simulated PC: apartments per thread, process
// security fixed once, the classes it knows by ProgID, and a count of the COM
// objects its facilities handed out that are still held, so a test sees an
// object that was not released.
#pragma once

#include <atomic>

#include "platform/common/ComApartments.h"

namespace plat {

class SimFaults;

class SimCom : public ComRuntime {
public:
    explicit SimCom(SimFaults& faults);

    // COM objects of the simulated PC alive now.
    int LiveObjects() const { return m_live.load(); }
    // Called by every simulated COM object on creation and release.
    void ObjectCreated() { ++m_live; }
    void ObjectReleased() { --m_live; }
    // A facility creating an object: CO_E_NOTINITIALIZED outside an
    // apartment, else S_OK (and the process security is fixed from now on).
    HRESULT CanCreate();

    HRESULT CoInitializeEx(DWORD coinit) override;
    void CoUninitialize() override;
    HRESULT CoInitializeSecurity(DWORD authnLevel, DWORD impLevel, DWORD capabilities) override;
    HRESULT CLSIDFromProgID(const std::wstring& progId, GUID* clsid) override;

private:
    SimFaults& m_faults;
    ComApartments m_apartments;
    std::atomic<int> m_live{0};
};

// Base of every simulated COM object: counted while alive.
class SimComObject {
public:
    explicit SimComObject(SimCom& com) : m_com(com) { m_com.ObjectCreated(); }
    ~SimComObject() { m_com.ObjectReleased(); }
    SimComObject(const SimComObject&) = delete;
    SimComObject& operator=(const SimComObject&) = delete;

protected:
    SimCom& m_com;
};

}  // namespace plat

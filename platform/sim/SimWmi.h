// WMI of the simulated PC: the namespace root\Microsoft\HomeNet with one
// HNet_ConnectionProperties instance per connection of the simulated adapter
// table, whose ICS flags are those of SimIcs. A test can break an instance's
// property (remove it or give it another type) to stand for a damaged
// repository.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/facility/Wmi.h"

namespace plat {

class SimFaults;
class SimCom;
class SimIcs;

class SimWmi : public Wmi {
public:
    SimWmi(SimFaults& faults, SimCom& com, SimIcs& ics);

    // Replaces one property of a connection's instance; a value of type
    // kVtEmpty removes the property.
    void SetInstanceProperty(const GUID& connection, const std::wstring& name,
                             const Variant& value);
    // The properties of a connection's instance as a query returns them now.
    std::map<std::wstring, Variant> Instance(const GUID& connection) const;
    // Instances written back with PutInstance, in order.
    std::vector<GUID> Written() const;
    void ClearWritten();
    HRESULT Write(const std::map<std::wstring, Variant>& instance, LONG flags);

    HRESULT CreateLocator(DWORD clsctx, std::unique_ptr<WbemLocator>* out) override;

    SimFaults& Faults() { return m_faults; }
    SimCom& Com() { return m_com; }
    SimIcs& Ics() { return m_ics; }

    static std::wstring ConnectionReference(const GUID& connection);

private:
    SimFaults& m_faults;
    SimCom& m_com;
    SimIcs& m_ics;
    mutable std::mutex m_lock;
    std::map<GUID, std::map<std::wstring, Variant>> m_overrides;
    std::vector<GUID> m_written;
};

}  // namespace plat

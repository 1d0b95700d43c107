// The connection folder on Linux: every network interface except loopback is
// a connection, named after the interface, connected while it is up. Its
// properties records are freed through the netshell.dll entry point this
// backend registers.
#pragma once

#include "platform/facility/ConnectionFolder.h"

namespace plat {

class ComApartments;
class ModuleRegistry;

class LinuxConnections : public ConnectionFolder {
public:
    LinuxConnections(ComApartments& com, ModuleRegistry& modules);
    HRESULT CreateConnectionManager(DWORD clsctx,
                                    std::unique_ptr<NetConnectionManager>* out) override;

private:
    ComApartments& m_com;
};

}  // namespace plat

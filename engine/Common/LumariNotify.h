// The engine's notification interface, implemented by the application. Every
// call arrives on an engine thread, never on the application's own; the client
// record is the engine's temporary and must be copied to be kept. Every
// operation has an empty body, so an implementation overrides what it needs.
#pragma once

#include "ClientInfo.h"

class CLumariNotify {
public:
    virtual ~CLumariNotify() = default;
    // A start finished: 0 on success, else the failure code.
    virtual void NetworkStarted(int /*code*/) {}
    // A running hotspot ended (1: the access point stopped from outside), or a
    // stop was refused.
    virtual void NetworkStopped(int /*code*/) {}
    // The upstream Internet state was (re)evaluated: 1 connected, 0 not.
    virtual void InternetStateChanged(int /*connected*/) {}
    // Reserved; no engine path raises it.
    virtual void NetworkError(int /*code*/) {}
    virtual void ClientJoin(const ClientInfo& /*client*/) {}
    virtual void ClientLeave(const ClientInfo& /*client*/) {}
    virtual void ClientUpdate(const ClientInfo& /*client*/) {}
};

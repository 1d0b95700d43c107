// The bridge from the engine's threads to the window. The engine calls the
// notification interface on its own threads; each call becomes a Qt signal,
// which reaches receivers in the GUI thread through queued connections. The
// code notifications are the signals themselves; a client record travels as a
// copy inside a QVariant, so the engine may free its record as soon as the
// call returns. No state, no lock: any number of engine threads may call.
#pragma once

#include <QObject>
#include <QVariant>

#include "Common/ClientInfo.h"
#include "Common/LumariNotify.h"

Q_DECLARE_METATYPE(ClientInfo)

class WiFiSignals : public QObject, public CLumariNotify {
    Q_OBJECT

public:
    explicit WiFiSignals(QObject* parent = nullptr);

    void ClientJoin(const ClientInfo& client) override;
    void ClientLeave(const ClientInfo& client) override;
    void ClientUpdate(const ClientInfo& client) override;

    // Registers ClientInfo with the meta-type system under "ClientInfo";
    // answers its id. Safe to call again.
    static int RegisterClientInfo();

signals:
    void NetworkStarted(int errorcode) override;
    void NetworkStopped(int errorcode) override;
    void NetworkError(int errorcode) override;
    void ClientJoin(QVariant client);
    void ClientLeave(QVariant client);
    void ClientUpdate(QVariant client);
};

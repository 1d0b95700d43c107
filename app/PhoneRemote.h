// The window's side of the phone link: it opens the link on the hotspot's
// own address while the hotspot runs and closes it when the hotspot stops,
// tells the link which client has which address, takes a client on the
// black list out of it, and carries out the authorised phone's commands on
// the power-off dialog. A shutdown asked from the phone never comes sooner
// than kMinShutdownSeconds and always shows the dialog, so that a person at
// the PC can see it coming and cancel it.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "Common/ClientInfo.h"

class PoweroffWidget;
class VelWfssClientConnect;

class PhoneRemote : public QObject {
    Q_OBJECT

public:
    static constexpr std::uint64_t kMinShutdownSeconds = 60;

    // `poweroffDialog(create)` finds the window's power-off dialog, making
    // it when `create` is set (null when there is none and it may not).
    explicit PhoneRemote(std::function<PoweroffWidget*(bool create)> poweroffDialog,
                         QObject* parent = nullptr);
    ~PhoneRemote() override;

    VelWfssClientConnect* Link() const { return m_link.get(); }

    // The hotspot runs with the local address `hostIp` (dotted): the link
    // listens there. False when it could not (no address, or the port search
    // failed); the link then stays closed.
    bool HotspotStarted(const QString& hostIp);
    // The hotspot stopped: the link closes, and no address counts as any
    // client until the clients' joins are reported again.
    void HotspotStopped();
    // The hotspot address the link was last asked to listen on; empty while
    // the hotspot is down.
    QString HotspotAddress() const { return m_hostIp; }

    void ClientJoined(const ClientInfo& client);
    void ClientLeft(const ClientInfo& client);
    void ClientUpdated(const ClientInfo& client);
    // The client was put on the black list: it is obeyed no more and its
    // open connections to the link close.
    void ClientBanned(const std::wstring& mac);

    QByteArray AuthorisedId() const;
    void SetAuthorisedId(const QByteArray& id);
    void RevokeAuthorisation();

public slots:
    // A command of the authorised phone: "shutdown" with a number of
    // seconds, "cancel"; anything else does nothing.
    void OnCommand(QString command, QString data);

private:
    void Shutdown(const QString& data);

    std::function<PoweroffWidget*(bool)> m_poweroffDialog;
    std::unique_ptr<VelWfssClientConnect> m_link;
    QString m_hostIp;
};

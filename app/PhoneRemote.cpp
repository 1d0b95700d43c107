#include "PhoneRemote.h"

#include <QRegularExpression>
#include <string>

#include "PoweroffWidget.h"
#include "VelWfssClientConnect.h"
#include "platform/text/Ipv4Text.h"
#include "platform/text/TextCodec.h"

namespace {

// The client's address in network byte order; 0 when it has none.
std::uint32_t Address(const ClientInfo& client) {
    std::string text;
    std::uint32_t address = 0;
    if (!plat::TextCodec::WideToUtf8(client.ip, &text) || !plat::Ipv4Text::Parse(text, &address))
        return 0;
    return address;
}

QByteArray Identity(const std::wstring& mac) {
    return QString::fromStdWString(mac).toLatin1();
}

}  // namespace

PhoneRemote::PhoneRemote(std::function<PoweroffWidget*(bool create)> poweroffDialog,
                         QObject* parent)
    : QObject(parent),
      m_poweroffDialog(std::move(poweroffDialog)),
      m_link(std::make_unique<VelWfssClientConnect>()) {
    connect(m_link.get(), &VelWfssClientConnect::OnJsonReceived, this, &PhoneRemote::OnCommand);
}

PhoneRemote::~PhoneRemote() {
    // The link's thread ends before what it reports to.
    m_link.reset();
}

bool PhoneRemote::HotspotStarted(const QString& hostIp) {
    m_link->Close();
    m_hostIp = hostIp;
    std::uint32_t address = 0;
    if (!plat::Ipv4Text::Parse(hostIp.toStdString(), &address) || address == 0)
        return false;
    return m_link->Listen(address, VelWfssClientConnect::kPort);
}

void PhoneRemote::HotspotStopped() {
    m_link->Close();
    m_hostIp.clear();
    // The engine reports no leaves at a stop; the next run may give a
    // client's address to another device, which must not pass for it.
    m_link->ForgetIdentities();
}

void PhoneRemote::ClientJoined(const ClientInfo& client) {
    if (client.isBan == 0)
        m_link->RegisterIdentity(Address(client), Identity(client.mac));
}

void PhoneRemote::ClientLeft(const ClientInfo& client) {
    m_link->ForgetIdentity(Address(client), Identity(client.mac));
}

void PhoneRemote::ClientUpdated(const ClientInfo& client) {
    // A client that got another address is that address's now, for the
    // link as for the engine's table.
    if (client.isBan == 0)
        m_link->RegisterIdentity(Address(client), Identity(client.mac));
}

void PhoneRemote::ClientBanned(const std::wstring& mac) {
    m_link->Disown(Identity(mac));
}

QByteArray PhoneRemote::AuthorisedId() const {
    return m_link->AuthorisedId();
}

void PhoneRemote::SetAuthorisedId(const QByteArray& id) {
    m_link->SetAuthorisedId(id);
}

void PhoneRemote::RevokeAuthorisation() {
    m_link->RevokeAuthorisation();
}

void PhoneRemote::OnCommand(QString command, QString data) {
    if (command == QStringLiteral("cancel")) {
        if (PoweroffWidget* dialog = m_poweroffDialog(false))
            dialog->Cancel();
        return;
    }
    if (command == QStringLiteral("shutdown"))
        Shutdown(data);
}

void PhoneRemote::Shutdown(const QString& data) {
    // Seconds as a whole number above zero; anything else would read as 0
    // and shut the PC down at once, which no phone asks for.
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,20}$"));
    bool ok = digits.match(data).hasMatch();
    qulonglong seconds = ok ? data.toULongLong(&ok) : 0;
    if (!ok || seconds == 0)
        return;
    // Work left unsaved at the PC needs the time for someone to see the
    // dialog and cancel it; a longer time is kept as asked.
    if (seconds < kMinShutdownSeconds)
        seconds = kMinShutdownSeconds;
    PoweroffWidget* dialog = m_poweroffDialog(true);
    if (dialog == nullptr)
        return;
    // The dialog is shown whatever the phone asks: a running countdown goes
    // on in sight; otherwise the phone's one starts.
    dialog->show();
    dialog->raise();
    if (dialog->IsStopped()) {
        dialog->SetSeconds(seconds);
        dialog->on_btnPoweroffOk_clicked();
    }
}

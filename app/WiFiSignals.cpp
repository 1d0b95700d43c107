#include "WiFiSignals.h"

WiFiSignals::WiFiSignals(QObject* parent) : QObject(parent) {
    RegisterClientInfo();
}

int WiFiSignals::RegisterClientInfo() {
    // The declared name is already "ClientInfo"; registering again with the
    // same name only makes sure the type is known before the first queued call.
    return qRegisterMetaType<ClientInfo>("ClientInfo");
}

namespace {
QVariant Carry(const ClientInfo& client) {
    QVariant v;
    v.setValue(client);
    return v;
}
}  // namespace

void WiFiSignals::ClientJoin(const ClientInfo& client) {
    emit ClientJoin(Carry(client));
}

void WiFiSignals::ClientLeave(const ClientInfo& client) {
    emit ClientLeave(Carry(client));
}

void WiFiSignals::ClientUpdate(const ClientInfo& client) {
    emit ClientUpdate(Carry(client));
}

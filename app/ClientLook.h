// How a client shows in the lists: the icon chosen from its maker, host name or
// device type, and the name shown beside it (a nickname wins over all).
#pragma once

#include <QString>

#include "Common/ClientInfo.h"

struct ClientLook {
    QString icon;  // resource path of the icon image
    QString name;  // the name shown in the row

    static ClientLook For(const ClientInfo& client);
};

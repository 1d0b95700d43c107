#include "ClientControl.h"

#include <QCoreApplication>

#include "Common/ClientInfo.h"
#include "Common/LumariCore.h"

ClientControl::Outcome ClientControl::NotDone() {
    return m_core.ClientControl() != 0 ? Outcome::Refused : Outcome::Unknown;
}

ClientControl::Outcome ClientControl::Ban(const std::wstring& mac) {
    if (m_core.BanClient(mac))
        return Outcome::Done;
    const Outcome why = NotDone();
    if (why == Outcome::Refused)
        return why;
    // Without the driver the engine keeps the ban but cannot cut the device.
    ClientInfo client;
    return m_core.GetClient(mac, client) && client.isBan != 0 ? Outcome::NotCut : why;
}

ClientControl::Outcome ClientControl::Limit(const std::wstring& mac, int kb) {
    return m_core.SetSpeedLimit(mac, kb, kb) ? Outcome::Done : NotDone();
}

int ClientControl::HeldLimit(const std::wstring& mac) {
    ClientInfo client;
    return m_core.GetClient(mac, client) ? client.speedLimitedDown : 0;
}

QString ClientControl::BanText(Outcome outcome) {
    switch (outcome) {
        case Outcome::NotCut:
            return QCoreApplication::translate("ClientControl",
                                               "已拉黑，但当前共享方式无法立即断开该设备");
        case Outcome::Refused:
            return QCoreApplication::translate("ClientControl", "当前热点方式无法拉黑设备");
        default:
            return {};
    }
}

QString ClientControl::BanTip(Outcome outcome) {
    if (outcome != Outcome::NotCut)
        return {};
    return QCoreApplication::translate("ClientControl",
                                       "该设备已不能再获取地址，但在它重新连接之前仍可上网。");
}

QString ClientControl::LimitText(Outcome outcome) {
    switch (outcome) {
        case Outcome::Refused:
            return QCoreApplication::translate("ClientControl", "当前热点方式无法限速");
        case Outcome::Unknown:
            return QCoreApplication::translate("ClientControl", "限速未生效：该设备已断开");
        default:
            return {};
    }
}

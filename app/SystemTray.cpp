#include "SystemTray.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QWidget>

#include "Client/ManufactoryTable.h"

SystemTray::SystemTray(const QIcon& icon, bool feedback, QWidget* window) : QObject(window) {
    m_menu = new QMenu(window);
    m_menu->setObjectName("traymenu");
    QAction* poweroff = m_menu->addAction(tr("定时关机"));
    poweroff->setObjectName("actpoweroff");
    connect(poweroff, &QAction::triggered, this, &SystemTray::PoweroffRequested);
    QAction* about = m_menu->addAction(tr("关于我们"));
    about->setObjectName("actaboutus");
    connect(about, &QAction::triggered, this, &SystemTray::AboutRequested);
    QAction* feedbackAction = m_menu->addAction(tr("问题反馈"));
    feedbackAction->setObjectName("actfeedback");
    feedbackAction->setEnabled(feedback);
    connect(feedbackAction, &QAction::triggered, this, &SystemTray::FeedbackRequested);
    m_menu->addSeparator();
    QAction* quit = m_menu->addAction(tr("退出"));
    quit->setObjectName("actquit");
    connect(quit, &QAction::triggered, this, &SystemTray::QuitRequested);

    m_tray = new QSystemTrayIcon(icon, this);
    m_tray->setToolTip(QStringLiteral("Orvanta"));
    m_tray->setContextMenu(m_menu);
    connect(m_tray, &QSystemTrayIcon::activated, this, &SystemTray::Activated);
    m_tray->show();
}

void SystemTray::Hide() {
    m_tray->hide();
}

QString SystemTray::NewDeviceTitle() {
    return tr("新设备加入");
}

QString SystemTray::NewDeviceText(const ClientInfo& client) {
    const QString mac = QString::fromStdWString(client.mac);
    // The name the user gave, else the one the device sent, else its address.
    QString name = QString::fromStdWString(client.nickName);
    if (name.isEmpty())
        name = QString::fromStdWString(client.name);
    if (name.isEmpty())
        name = mac;
    QString maker;
    if (CManufactoryTable::IsLocallyAdministered(client.mac))
        maker = tr("随机MAC地址，不指明厂商");
    else if (!client.manufactory.empty())
        maker = QString::fromStdWString(client.manufactory);
    else
        maker = tr("厂商未知");
    return tr("%1（%2，%3）第一次连接到热点").arg(name, maker, mac);
}

bool SystemTray::AlertNewDevice(const ClientInfo& client) {
    if (client.isNew == 0 || !m_newDeviceAlerts)
        return false;
    m_lastMessage = NewDeviceText(client);
    m_tray->showMessage(NewDeviceTitle(), m_lastMessage, QSystemTrayIcon::Information, 5000);
    return true;
}

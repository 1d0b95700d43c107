// The window's icon in the system tray: its menu (scheduled power-off, about,
// feedback, quit), the click that shows or hides the window, and the message
// for a device that joins the hotspot for the first time, which the options
// panel can turn off.
#pragma once

#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

#include "Common/ClientInfo.h"

class QIcon;
class QMenu;
class QWidget;

class SystemTray : public QObject {
    Q_OBJECT

public:
    // The menu belongs to `window`; `feedback` enables its feedback entry.
    SystemTray(const QIcon& icon, bool feedback, QWidget* window);

    QSystemTrayIcon* Icon() const { return m_tray; }
    void Hide();

    // The title and text of the message for a device never seen before: its
    // name and its maker; a locally administered (random) address is named as
    // such, since it names no maker.
    static QString NewDeviceTitle();
    static QString NewDeviceText(const ClientInfo& client);
    // Shows that message when the client is new and the alerts are on; true
    // when it was shown.
    bool AlertNewDevice(const ClientInfo& client);
    void SetNewDeviceAlerts(bool on) { m_newDeviceAlerts = on; }
    bool NewDeviceAlerts() const { return m_newDeviceAlerts; }
    // The text of the last message shown; empty before the first.
    QString LastMessage() const { return m_lastMessage; }

signals:
    void PoweroffRequested();
    void AboutRequested();
    void FeedbackRequested();
    void QuitRequested();
    void Activated(QSystemTrayIcon::ActivationReason reason);

private:
    QMenu* m_menu = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    bool m_newDeviceAlerts = true;
    QString m_lastMessage;
};

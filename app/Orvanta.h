// The main window: the whole user interface of the hotspot. Two fields for the
// network name and password, the open and close buttons, the status line, the
// statistics, the client list and black list, and the settings record; the
// tray icon is a SystemTray of its own. It drives the engine through its
// handle and learns about the network only through the queued signals of its
// WiFiSignals object.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QSystemTrayIcon>
#include <QVariant>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "ClientRowHost.h"
#include "Common/ClientInfo.h"
#include "PowerEvents.h"
#include "TrafficStats.h"
#include "WiFiConfig.h"
#include "platform/facility/SessionControl.h"

class AuthWidget;
class SystemTray;
class CLumariCore;
class ClockTimer;
class ListWidget;
class OptionWidget;
class PhoneRemote;
class PoweroffWidget;
class QMenu;
class QThread;
class QrCodePanel;
class RotateImage;
class UsageReport;
class VelWfssClientConnect;
class WiFiSignals;

class Orvanta : public QWidget, public ClientRowHost, public plat::SessionListener {
    Q_OBJECT

public:
    static constexpr int kWidth = 346;
    static constexpr int kHeight = 546;
    // The defaults of a missing or damaged settings file.
    static constexpr const char* kDefaultPassword = "5820417396";
    static constexpr double kDefaultPrice = 0.3;
    // The name the hand-over message is registered under.
    static constexpr const char* kHandOverMessage = "makesureonlyoneprogressrunning";

    explicit Orvanta(QWidget* parent = nullptr);
    ~Orvanta() override;

    // The program's one main window (the first one built), or null.
    static Orvanta* MainWindow();

    // The settings record, and its load and save (also used by the option
    // dialogs). The file is "wifi.cfg" in the program's directory.
    WiFiConfig& Config() { return m_config; }
    QString SettingsPath() const;
    void LoadSettings();
    void SaveSettings();
    // Run at logon on or off: the record's flag and the system's entry.
    void SetRunAtLogon(bool on);

    // Name and password rules of the window, with the status text of a
    // refusal (empty when the input passes). `mode` 1: 8 to 32 letters or
    // digits; any other mode: exactly ten digits.
    static QString CheckName(const QString& name);
    static QString CheckPassword(const QString& password, int mode);
    // "A" + the computer's host name, or "Dravolin" when that is no valid name.
    static QString DefaultName();

    // The authorised phone's identity (its MAC text), kept by the phone link
    // and in the record.
    QByteArray AuthorisedId() const;
    void SetAuthorisedId(const QByteArray& id);

    // ClientRowHost
    CLumariCore* Core() override { return m_core.get(); }
    bool IsAuthorisedPhone(const std::wstring& mac) override;
    void MarkAsPhone(const std::wstring& mac, bool on) override;
    void MoveToBlackList(WhiteListItem* row) override;
    void MoveToClientList(BlackListItem* row) override;
    void ShowNotice(const QString& text, const QString& tip) override;

    // plat::SessionListener: hand-over, power and session events.
    bool OnSessionEvent(plat::SessionEvent event) override;

    // State, for the option dialogs and the tests.
    bool IsBusy() const { return m_busy; }
    bool IsRunning() const { return m_running; }
    bool IsQuitting() const { return m_quitting; }
    int Mode() const { return m_mode; }
    // The code of the last start's answer (0 success), -1 before the first.
    int LastStartCode() const { return m_lastStartCode; }
    unsigned ClientCount() const { return m_clientCount; }
    std::int64_t TotalKB() const { return m_stats.Total(); }
    ListWidget* ClientList() const { return m_clientList; }
    ListWidget* BlackList() const { return m_blackList; }
    WiFiSignals* Signals() const { return m_signals.get(); }
    QSystemTrayIcon* TrayIcon() const;
    SystemTray* Tray() const { return m_tray; }
    ClockTimer* StatisticsTimer() const { return m_timer; }
    RotateImage* BusyIndicator() const { return m_busyIndicator; }
    QrCodePanel* QrPanel() const { return m_qrPanel; }
    QLabel* FailureCause() const { return m_lblFailCause; }
    OptionWidget* OptionPanel() const;
    QWidget* ClosePrompt() const { return m_closePrompt; }
    VelWfssClientConnect* PhoneLink() const;
    PhoneRemote* Phone() const { return m_phone.get(); }
    // The customer-service page, once a page was loaded into it (a build
    // without the web engine opens the page in the user's browser instead).
    QWidget* ServicePage() const { return m_csView; }
    // Customer-service checks still in flight.
    int ServiceChecks() const;
    // Opens the device-authorisation dialog over the window.
    void ShowAuthWidget();

public slots:
    void OnWiFiNameTextEdit(const QString& text);
    void OnBtnCloseClicked();
    void OnBtnMinimizedClicked();
    void OnBtnOptionClicked();
    void OnBtnOpenWiFiClicked();
    void OnBtnCloseWiFiClicked();
    void OnBtnShowPwdClicked();
    void OnBtnWhiteListClicked();
    void OnBtnBlackListClicked();
    void OnWiFiStarted(int code);
    void OnWiFiStopped(int code);
    void OnWiFiError(int code);
    void OnWiFiClientJoin(QVariant v);
    void OnWiFiClientLeave(QVariant v);
    void OnWiFiClientUpdate(QVariant v);
    void OnTimerGetCurrentData();
    void OnActionQuit();
    void OnActionAboutUs();
    void OnActionFeedback();
    void OnActionPoweroff();
    void IconActivated(QSystemTrayIcon::ActivationReason reason);
    void OnSockCommand(QString qsCmd, QString qsData);
    void OSPoweroff();
    void GetCSPagePolicy(int err_code);
    void LoadPage(QString url);
    void OnBtnQrCodeClicked();

signals:
    // A start finished or the hotspot stopped (after the window's own handling).
    void StateShown();

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void BuildForm();
    void BuildTray();
    void ConnectSignals();
    void AddFirewallException();
    void ShowFailure(int code);
    // Shows a cause in plain words where the lists would be.
    void ShowCause(const QString& text);
    void Animate(QLabel* label);
    void UpdateCaptions();
    void AddClientRow(const ClientInfo& client);
    void AddBlackRow(const ClientInfo& client);
    void SlideLists(bool toClients);
    void KeepAwake();
    void BringToFront();
    // Whether a point of the window lies on a control (not a drag area).
    bool IsInteractive(const QPoint& pos) const;

    // Shows on each client row whether it is the authorised phone.
    void MarkPhoneRows();
    // The power-off dialog, made on first use.
    PoweroffWidget* PoweroffDialog(bool create);

    // Engine and bridge: the bridge is made first and outlives the engine.
    std::unique_ptr<WiFiSignals> m_signals;
    std::unique_ptr<CLumariCore> m_core;
    WiFiConfig m_config;
    std::unique_ptr<PhoneRemote> m_phone;
    std::unique_ptr<UsageReport> m_report;
    QPointer<AuthWidget> m_authWidget;
    QWidget* m_csView = nullptr;
    // The customer-service checks in flight.
    std::vector<QPointer<QThread>> m_csChecks;

    bool m_busy = false;
    bool m_running = false;
    bool m_quitting = false;
    int m_mode = 0;
    int m_lastStartCode = -1;
    int m_osMajor = 0;
    bool m_pwdShown = true;
    unsigned m_clientCount = 0;
    TrafficStats m_stats;
    // Suspend and resume.
    std::unique_ptr<PowerEvents> m_power;
    // The network runs (a start succeeded and no stop came since).
    bool m_networkUp = false;
    QPixmap m_background;

    QLineEdit* m_txtwifiname = nullptr;
    QLineEdit* m_txtwifipwd = nullptr;
    QPushButton* m_btnclose = nullptr;
    QPushButton* m_btnminimized = nullptr;
    QPushButton* m_btnoption = nullptr;
    QPushButton* m_btnopenwifi = nullptr;
    QPushButton* m_btnclosewifi = nullptr;
    QPushButton* m_btnshowpwd = nullptr;
    QPushButton* m_btnqrcode = nullptr;
    QPushButton* m_btnwhitelist = nullptr;
    QPushButton* m_btnblacklist = nullptr;
    QLabel* m_lblstate = nullptr;
    QLabel* m_lblnoconnect = nullptr;
    QLabel* m_lblallflow = nullptr;
    QLabel* m_lblcurrentspeed = nullptr;
    QLabel* m_lblmoneysaved = nullptr;
    QLabel* m_lblFailCause = nullptr;
    QWidget* m_listFrame = nullptr;
    QScrollArea* m_clientArea = nullptr;
    QScrollArea* m_blackArea = nullptr;
    ListWidget* m_clientList = nullptr;
    ListWidget* m_blackList = nullptr;
    RotateImage* m_busyIndicator = nullptr;
    QrCodePanel* m_qrPanel = nullptr;
    ClockTimer* m_timer = nullptr;
    SystemTray* m_tray = nullptr;
    // The option panel and the close prompt, when the program has them.
    QPointer<QWidget> m_optionPanel;
    QPointer<QWidget> m_closePrompt;
    QString m_startedName;
    QString m_startedPassword;
};

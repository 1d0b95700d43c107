#include "Orvanta.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QEasingCurve>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QThread>
#include <QUrl>
#include <QWindow>
#include <algorithm>

#include <QNetworkAccessManager>
#if defined(LUMARI_HAVE_WEBENGINE)
#include <QWebEngineSettings>
#include <QWebEngineView>
#endif

#include "AuthWidget.h"
#include "BlackListItem.h"
#include "ClientControl.h"
#include "ClientLook.h"
#include "ClockTimer.h"
#include "CloseNotifyWidget.h"
#include "Common/LumariCore.h"
#include "Common/ProgramPath.h"
#include "CustomerServicePage.h"
#include "CustomerServiceWorker.h"
#include "DrvInstWidget.h"
#include "FormParts.h"
#include "ListWidget.h"
#include "OptionWidget.h"
#include "PageAddressCipher.h"
#include "PhoneRemote.h"
#include "PoweroffWidget.h"
#include "QrCodePanel.h"
#include "RotateImage.h"
#include "ServiceSite.h"
#include "StartFailure.h"
#include "SystemTray.h"
#include "UsageReport.h"
#include "VelWfssClientConnect.h"
#include "WhiteListItem.h"
#include "WiFiSignals.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/CommandLine.h"
#include "platform/text/Ipv4Text.h"
#include "platform/text/TextCodec.h"
#include "platform/winapi/DebugOutput.h"
#include "platform/winapi/Win32Api.h"

namespace {

Orvanta* g_mainWindow = nullptr;

const char* kImages = ":/images/AppWindow/";
const QRect kListArea(14, 296, 318, 238);
const QRect kStateShown(23, 196, 300, 20);
const char* kSelectedTab =
    "color:rgb(51,188,255);background-image: url(:/images/AppWindow/btnselect.png);";
const char* kIdleTab = "color:rgb(153,153,153);background-image: url();";

QString Image(const char* name) {
    return QString::fromLatin1(kImages) + QString::fromLatin1(name);
}

plat::SessionControl& Session() {
    return plat::Platform::Current().Session();
}

// Text the system hands over (paths, the computer's name) is in its ANSI code
// page: UTF-8 on Linux, GBK on a Chinese Windows.
QString FromSystemText(const std::string& text) {
    std::wstring wide;
    if (plat::Platform::Current().Os().AnsiToWide(text, &wide))
        return QString::fromStdWString(wide);
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

QString ExecutablePath() {
    return FromSystemText(plat::Platform::Current().Os().ModuleFileName());
}

}  // namespace

Orvanta* Orvanta::MainWindow() {
    return g_mainWindow;
}

Orvanta::Orvanta(QWidget* parent) : QWidget(parent) {
    m_closePrompt = new CloseNotifyWidget(this);
    m_optionPanel = new OptionWidget(this);
    m_phone = std::make_unique<PhoneRemote>([this](bool create) { return PoweroffDialog(create); });
    // The bridge first, then the engine that reports through it.
    m_signals = std::make_unique<WiFiSignals>();
    m_core = std::make_unique<CLumariCore>(m_signals.get());
    m_mode = 0;
    m_core->Init(&m_mode);
    m_osMajor = static_cast<int>(plat::Platform::Current().Os().Version().major & 0xFF);
    m_power = std::make_unique<PowerEvents>(
        PowerEvents::Actions{[this] { m_core->Stop(); }, [this] { OnBtnOpenWiFiClicked(); },
                             [this] { return m_config.ForbidSleep(); }},
        m_osMajor);

    BuildForm();
    if (g_mainWindow == nullptr)
        g_mainWindow = this;
    setObjectName("Orvanta");
    setWindowTitle("Orvanta");
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint);
    setAttribute(Qt::WA_TranslucentBackground);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 0, 0);
    setGeometry((area.width() - kWidth) / 2, (area.height() - kHeight) / 2, kWidth, kHeight);

    m_config.Clear();
    m_background = QPixmap(Image("background.png"));
    setWindowIcon(QIcon(Image("windowicon.png")));

    LoadSettings();
    BuildTray();
    ConnectSignals();

    // The crash reporter: loading it is all; a missing library is ignored.
    // The folder comes in the system's code page, and goes on as wide text.
    std::wstring folder;
    if (plat::Platform::Current().Os().AnsiToWide(GetProgramDirectory(), &folder))
        plat::LoadLibraryW((folder + L"/Tallis.dll").c_str());
    AddFirewallException();

    // Every launch starts the hotspot, as if the user pressed the button.
    m_btnopenwifi->click();

    m_report = std::make_unique<UsageReport>();
    m_report->Report(UsageReport::kRun, -1);
    Session().WatchSession(kHandOverMessage, this);
}

Orvanta::~Orvanta() {
    Session().WatchSession(kHandOverMessage, nullptr);
    if (m_timer != nullptr)
        m_timer->stop();
    // The phone link and the customer-service checks end before what they
    // report to.
    m_phone.reset();
    for (const QPointer<QThread>& check : m_csChecks)
        if (check) {
            check->quit();
            check->wait();
        }
    // The engine stops and joins its threads before the bridge goes.
    m_core.reset();
    if (g_mainWindow == this)
        g_mainWindow = nullptr;
}

QString Orvanta::SettingsPath() const {
    return FromSystemText(GetProgramDirectory()) + "/wifi.cfg";
}

void Orvanta::BuildForm() {
    auto button = [this](const char* name, QRect geometry, const QString& tip = {}) {
        QPushButton* b = FormParts::Button(this, name, geometry);
        if (!tip.isEmpty())
            b->setToolTip(tip);
        return b;
    };
    auto label = [this](const char* name, QRect geometry, const QString& text = {}) {
        return FormParts::Label(this, name, geometry, text);
    };

    auto* title = label("lbltitle", QRect(40, 8, 160, 22), QStringLiteral("Orvanta"));
    title->setTextFormat(Qt::PlainText);
    m_btnoption = button("btnoption", QRect(254, 8, 24, 24), tr("设置"));
    m_btnminimized = button("btnminimized", QRect(280, 8, 24, 24), tr("最小化窗体"));
    m_btnclose = button("btnclose", QRect(306, 8, 24, 24), tr("隐藏至托盘"));

    m_btnopenwifi = button("btnopenwifi", QRect(125, 44, 96, 96));
    m_btnclosewifi = button("btnclosewifi", QRect(125, 44, 96, 96));
    m_btnclosewifi->hide();
    m_busyIndicator = new RotateImage(Image("runningimg.png"), this);
    m_busyIndicator->setGeometry(119, 38, 108, 108);
    m_busyIndicator->hide();

    label("lblnameicon", QRect(52, 150, 20, 20));
    m_txtwifiname = new QLineEdit(this);
    m_txtwifiname->setObjectName("txtwifiname");
    m_txtwifiname->setGeometry(78, 148, 190, 24);
    m_txtwifiname->setFrame(false);
    m_btnqrcode = button("btnqrcode", QRect(274, 150, 20, 20), tr("扫码连接"));
    label("lblpwdicon", QRect(52, 176, 20, 20));
    m_txtwifipwd = new QLineEdit(this);
    m_txtwifipwd->setObjectName("txtwifipwd");
    m_txtwifipwd->setGeometry(78, 172, 190, 24);
    m_txtwifipwd->setFrame(false);
    m_btnshowpwd = button("btnshowpwd", QRect(274, 174, 20, 20), tr("隐藏密码"));

    m_lblstate = label("lblstate", kStateShown, tr("WiFi尚未开启"));
    m_lblstate->setAlignment(Qt::AlignCenter);

    const int statsTop = 222;
    const int column = 100;
    label("lblallflowtitle", QRect(23, statsTop, column, 16), tr("累计流量"))
        ->setAlignment(Qt::AlignCenter);
    label("lblcurrentspeedtitle", QRect(23 + column, statsTop, column, 16), tr("当前速度"))
        ->setAlignment(Qt::AlignCenter);
    label("lblmoneysavedtitle", QRect(23 + 2 * column, statsTop, column, 16), tr("节省流量费"))
        ->setAlignment(Qt::AlignCenter);
    m_lblallflow = label("lblallflow", QRect(23, statsTop + 18, column, 18));
    m_lblcurrentspeed = label("lblcurrentspeed", QRect(23 + column, statsTop + 18, column, 18));
    m_lblmoneysaved = label("lblmoneysaved", QRect(23 + 2 * column, statsTop + 18, column, 18));
    for (QLabel* l : {m_lblallflow, m_lblcurrentspeed, m_lblmoneysaved})
        l->setAlignment(Qt::AlignCenter);
    m_lblcurrentspeed->setText(QStringLiteral("0K/s"));

    m_btnwhitelist = button("btnwhitelist", QRect(14, 266, 110, 26));
    m_btnwhitelist->setText(tr("小伙伴(%1)").arg(0));
    m_btnblacklist = button("btnblacklist", QRect(124, 266, 110, 26));
    m_btnblacklist->setText(tr("黑名单(%1)").arg(0));
    m_btnwhitelist->setStyleSheet(kSelectedTab);
    m_btnblacklist->setStyleSheet(kIdleTab);

    // The two lists side by side in a clipping frame; the tabs slide them.
    m_listFrame = new QWidget(this);
    m_listFrame->setObjectName("listframe");
    m_listFrame->setGeometry(kListArea);
    auto makeArea = [this](const char* name, ListWidget** list, int x) {
        auto* area = new QScrollArea(m_listFrame);
        area->setObjectName(name);
        area->setGeometry(x, 0, kListArea.width(), kListArea.height());
        area->setFrameShape(QFrame::NoFrame);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        area->setWidgetResizable(false);
        *list = new ListWidget();
        area->setWidget(*list);
        area->viewport()->setAutoFillBackground(false);
        (*list)->setAutoFillBackground(false);
        return area;
    };
    m_clientArea = makeArea("clientlistarea", &m_clientList, 0);
    m_blackArea = makeArea("blacklistarea", &m_blackList, kListArea.width());
    m_lblnoconnect = label("lblnoconnect", QRect(kListArea.x() + 84, kListArea.y() + 40, 150, 150));
    m_lblnoconnect->setAttribute(Qt::WA_TransparentForMouseEvents);

    // The cause of a failed start, in plain words, where the lists would be.
    m_lblFailCause = label(
        "lblfailcause", QRect(kListArea.x() + 16, kListArea.y() + 20, kListArea.width() - 32, 120));
    m_lblFailCause->setWordWrap(true);
    m_lblFailCause->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_lblFailCause->setTextFormat(Qt::PlainText);
    m_lblFailCause->hide();

    m_qrPanel = new QrCodePanel(this);
    m_qrPanel->setGeometry(kListArea);
    m_qrPanel->hide();

    m_timer = new ClockTimer(this);
}

void Orvanta::BuildTray() {
    m_tray = new SystemTray(QIcon(Image("desktopicon.png")),
                            !PageAddressCipher::Decipher(m_config.FeedbackUrl()).isEmpty(), this);
    m_tray->SetNewDeviceAlerts(m_config.NewDeviceAlerts());
    connect(m_tray, &SystemTray::PoweroffRequested, this, &Orvanta::OnActionPoweroff);
    connect(m_tray, &SystemTray::AboutRequested, this, &Orvanta::OnActionAboutUs);
    connect(m_tray, &SystemTray::FeedbackRequested, this, &Orvanta::OnActionFeedback);
    connect(m_tray, &SystemTray::QuitRequested, this, &Orvanta::OnActionQuit);
}

QSystemTrayIcon* Orvanta::TrayIcon() const {
    return m_tray->Icon();
}

void Orvanta::ConnectSignals() {
    connect(m_btnclose, &QPushButton::clicked, this, &Orvanta::OnBtnCloseClicked);
    connect(m_btnminimized, &QPushButton::clicked, this, &Orvanta::OnBtnMinimizedClicked);
    connect(m_btnoption, &QPushButton::clicked, this, &Orvanta::OnBtnOptionClicked);
    connect(m_btnopenwifi, &QPushButton::clicked, this, &Orvanta::OnBtnOpenWiFiClicked);
    connect(m_btnclosewifi, &QPushButton::clicked, this, &Orvanta::OnBtnCloseWiFiClicked);
    connect(m_btnshowpwd, &QPushButton::clicked, this, &Orvanta::OnBtnShowPwdClicked);
    connect(m_btnwhitelist, &QPushButton::clicked, this, &Orvanta::OnBtnWhiteListClicked);
    connect(m_btnblacklist, &QPushButton::clicked, this, &Orvanta::OnBtnBlackListClicked);
    connect(m_btnqrcode, &QPushButton::clicked, this, &Orvanta::OnBtnQrCodeClicked);
    // Queued even from the GUI thread: the engine answers a call made in the
    // wrong state at once, on the caller's thread, and that answer must come
    // after the caller's own changes (a start's busy state, a stop's spinner).
    WiFiSignals* s = m_signals.get();
    const auto queued = Qt::QueuedConnection;
    connect(s, &WiFiSignals::NetworkStarted, this, &Orvanta::OnWiFiStarted, queued);
    connect(s, &WiFiSignals::NetworkStopped, this, &Orvanta::OnWiFiStopped, queued);
    connect(s, &WiFiSignals::NetworkError, this, &Orvanta::OnWiFiError, queued);
    connect(s, qOverload<QVariant>(&WiFiSignals::ClientJoin), this, &Orvanta::OnWiFiClientJoin,
            queued);
    connect(s, qOverload<QVariant>(&WiFiSignals::ClientLeave), this, &Orvanta::OnWiFiClientLeave,
            queued);
    connect(s, qOverload<QVariant>(&WiFiSignals::ClientUpdate), this, &Orvanta::OnWiFiClientUpdate,
            queued);
    connect(m_timer, &ClockTimer::timeout, this, &Orvanta::OnTimerGetCurrentData);
    connect(m_txtwifiname, &QLineEdit::textEdited, this, &Orvanta::OnWiFiNameTextEdit);
    connect(m_tray, &SystemTray::Activated, this, &Orvanta::IconActivated);
}

void Orvanta::AddFirewallException() {
    const plat::HRESULT hr =
        Session().AddFirewallException(L"Orvanta", ExecutablePath().toStdWString());
    // Linux has no firewall interface to ask; that is not a failure.
    if (hr < 0 && hr != plat::kENotImpl)
        plat::OutputDebugStringA("Failed to add firewall exception");
}

// ---------------------------------------------------------------------------
// Input rules

QString Orvanta::CheckName(const QString& name) {
    // The name goes on the air as UTF-8 (the engine is started with encoding
    // 1), where an access point takes at most 32 bytes: a Chinese character
    // takes three of them, not the two it takes in the settings file.
    if (name.toUtf8().size() > 32)
        return tr("WiFi名称太长（最多32字节，一个汉字占3字节）");
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("[一-龥_a-zA-Z0-9_-]{1,32}")));
    if (!pattern.match(name).hasMatch())
        return tr("无效的WiFi名称");
    return {};
}

QString Orvanta::CheckPassword(const QString& password, int mode) {
    if (mode == 1) {
        static const QRegularExpression rule(
            QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z0-9]{8,32}")));
        return rule.match(password).hasMatch() ? QString() : tr("密码必须是8~32个英文或数字");
    }
    static const QRegularExpression digits(
        QRegularExpression::anchoredPattern(QStringLiteral("[0-9]{10}")));
    return digits.match(password).hasMatch() ? QString() : tr("密码必须10个数字");
}

QString Orvanta::DefaultName() {
    const QString host =
        QStringLiteral("A") + FromSystemText(plat::Platform::Current().Os().ComputerName());
    // A host name with characters the name rule refuses would make every
    // start fail; the fixed name stands in for it as for a long one.
    return CheckName(host).isEmpty() ? host : QStringLiteral("Dravolin");
}

// ---------------------------------------------------------------------------
// Settings

void Orvanta::LoadSettings() {
    // The NAT driver first: when it is missing the installation is offered
    // before anything else happens.
    if (!DrvInstWidget::IsDriverInstalled()) {
        DrvInstWidget installer(this);
        installer.exec();
    }
    m_config.Clear();
    m_config.SetShowAuthHint(true);
    if (!m_config.Load(SettingsPath())) {
        m_config.Clear();
        m_config.SetShowAuthHint(true);
        m_config.SetTraffic(0);
        m_config.SetForbidSleep(false);
        m_config.SetPrice(kDefaultPrice);
        m_config.SetRunAtLogon(true);
        m_config.SetCloseAction(1);
        m_config.SetAskOnClose(true);
        m_lblallflow->setText(QStringLiteral("0M"));
        m_lblmoneysaved->setText(tr("%1元").arg(0));
        m_txtwifiname->setText(DefaultName());
        m_txtwifipwd->setText(QString::fromLatin1(kDefaultPassword));
        // The record says what the system does: no entry runs the program at
        // logon until the user asks for one.
        m_config.SetRunAtLogon(Session().IsRunAtLogon("Zentavo"));
        OptionPanel()->LoadFromConfig();
        qobject_cast<CloseNotifyWidget*>(m_closePrompt.data())->SetChoice(1, true);
    } else {
        // A price or a traffic total no panel could have stored (a damaged or
        // foreign record: not a number, outside the options panel's range,
        // negative) is read as the default, not shown as "nan元".
        const double price = m_config.Price();
        if (!(price > 0 && price <= 2))
            m_config.SetPrice(kDefaultPrice);
        if (m_config.Traffic() < 0)
            m_config.SetTraffic(0);
        m_lblallflow->setText(TrafficStats::TrafficText(m_config.Traffic()));
        m_lblmoneysaved->setText(TrafficStats::MoneyText(m_config.Traffic(), m_config.Price()));
        const QString name = m_config.Name();
        m_txtwifiname->setText(name.isEmpty() ? DefaultName() : name);
        const QString password = m_config.Password();
        m_txtwifipwd->setText(password.isEmpty() ? QString::fromLatin1(kDefaultPassword)
                                                 : password);
        if (m_config.ForbidSleep() && m_osMajor > 5)
            KeepAwake();
        OptionPanel()->LoadFromConfig();
        qobject_cast<CloseNotifyWidget*>(m_closePrompt.data())->LoadFromConfig();
    }
    m_txtwifiname->setCursorPosition(0);
    m_txtwifiname->setToolTip(m_txtwifiname->text());
    m_txtwifipwd->setCursorPosition(0);
    const QByteArray phone = m_config.PhoneId();
    if (!phone.isEmpty() && phone != AuthorisedId())
        SetAuthorisedId(phone);
    m_stats.SetStored(m_config.Traffic());
}

void Orvanta::SaveSettings() {
    QString name = m_txtwifiname->text();
    if (!CheckName(name).isEmpty())
        name = DefaultName();
    QString password = m_txtwifipwd->text();
    if (password.isEmpty() || !CheckPassword(password, m_mode).isEmpty())
        password = QString::fromLatin1(kDefaultPassword);
    m_config.SetName(name);
    m_config.SetPassword(password);
    m_config.SetMagic();
    // While the hotspot runs the record's traffic stays what it was before
    // this run (the statistics add the run's counters to it); the file gets
    // everything up to now.
    std::uint64_t down = 0;
    std::uint64_t up = 0;
    if (m_running && m_core->GetFlow(&down, &up))
        m_stats.Reading(down + up);
    const std::int64_t total = m_stats.Total();
    const std::int64_t base = m_config.Traffic();
    m_config.SetTraffic(total);
    // Written even when empty: a revoked phone must not come back at the
    // next start.
    m_config.SetPhoneId(AuthorisedId());
    m_config.Save(SettingsPath());
    if (m_running)
        m_config.SetTraffic(base);
}

void Orvanta::SetRunAtLogon(bool on) {
    // The entry is written in the system's code page, the one the path came
    // in (and with the system's separators), quoted: Windows reads an
    // unquoted path with a blank only up to the blank.
    const std::string command =
        plat::CommandLine::QuoteProgram(plat::Platform::Current().Os().ModuleFileName());
    const plat::DWORD rc = Session().SetRunAtLogon("Zentavo", command, on);
    if (rc == 0) {
        m_config.SetRunAtLogon(on);
        return;
    }
    // A write the system refused (the Run key needs administrator rights)
    // changed nothing: the record and the box show what the system does.
    const bool entry = Session().IsRunAtLogon("Zentavo");
    m_config.SetRunAtLogon(entry);
    if (OptionWidget* options = OptionPanel())
        options->ShowRunAtLogon(entry);
}

void Orvanta::KeepAwake() {
    Session().KeepAwake(true);
}

VelWfssClientConnect* Orvanta::PhoneLink() const {
    return m_phone->Link();
}

QByteArray Orvanta::AuthorisedId() const {
    return m_phone->AuthorisedId();
}

void Orvanta::SetAuthorisedId(const QByteArray& id) {
    if (id.isEmpty() || id == AuthorisedId())
        return;
    m_phone->SetAuthorisedId(id);
    MarkPhoneRows();
}

// ---------------------------------------------------------------------------
// Start and stop

void Orvanta::OnBtnOpenWiFiClicked() {
    m_lblFailCause->hide();
    if (m_csView != nullptr)
        m_csView->hide();
    if (m_busy)
        return;
    const QString name = m_txtwifiname->text();
    const QString password = m_txtwifipwd->text();
    QString refusal = CheckName(name);
    if (!refusal.isEmpty()) {
        // Also a stored name that no longer passes: it is shown for editing
        // and nothing starts.
        m_lblstate->setText(refusal);
        m_txtwifiname->setFocus();
        m_txtwifiname->selectAll();
        return;
    }
    refusal = CheckPassword(password, m_mode);
    if (!refusal.isEmpty()) {
        m_lblstate->setText(refusal);
        return;
    }
    m_busy = true;
    m_startedName = name;
    m_startedPassword = password;
    m_core->Start(name.toStdWString(), password.toStdWString(), 1);
    m_lblstate->setText(tr("正在开启WiFi"));
    m_busyIndicator->show();
    m_busyIndicator->raise();
    m_busyIndicator->Start();
}

void Orvanta::OnBtnCloseWiFiClicked() {
    if (m_busy)
        return;
    m_busy = true;
    m_timer->stop();
    m_busyIndicator->show();
    m_busyIndicator->raise();
    m_lblstate->setText(tr("WiFi正在关闭"));
    m_btnclosewifi->setStyleSheet("border-image: url(:/images/AppWindow/btnclosewifi.png);");
    m_core->Stop();
    m_busyIndicator->Start();
}

void Orvanta::OnWiFiStarted(int code) {
    m_busy = false;
    m_running = true;
    m_busyIndicator->Stop();
    m_busyIndicator->hide();
    m_lastStartCode = code;
    if (code == 0) {
        m_lblFailCause->hide();
        m_lblstate->setText(tr("WiFi开启成功"));
        m_btnopenwifi->hide();
        m_btnclosewifi->setStyleSheet("border-image: url(:/images/AppWindow/opensucess.png)");
        m_btnclosewifi->show();
        m_config.SetTraffic(m_stats.Total());
        m_stats.RunStarted();
        m_networkUp = true;
        m_timer->start(1000);
        // The phone link is reachable on the hotspot's own address only,
        // and only while it runs.
        m_phone->HotspotStarted(QString::fromStdWString(m_core->GetHostIp()));
    } else {
        ShowFailure(code);
        if (m_csView != nullptr)
            m_csView->raise();
        GetCSPagePolicy(code);
    }
    m_report->Report(UsageReport::kStart, code);
    Animate(m_lblstate);
    emit StateShown();
}

void Orvanta::ShowFailure(int code) {
    m_lblstate->setText(StartFailure::StatusText(code));
    // The access point's own words (hostapd's on Linux) follow the code's text.
    const QString cause = StartFailure::Cause(
        code, QString::fromStdString(plat::Platform::Current().AccessPointFailure()));
    m_lblstate->setToolTip(cause);
    ShowCause(cause);
}

void Orvanta::ShowCause(const QString& text) {
    m_lblFailCause->setText(text);
    // As tall as its text, within the list area.
    const int height = qBound(40, m_lblFailCause->heightForWidth(m_lblFailCause->width()),
                              kListArea.height() - 40);
    m_lblFailCause->resize(m_lblFailCause->width(), height);
    m_lblFailCause->show();
    m_lblFailCause->raise();
    m_lblnoconnect->hide();
}

void Orvanta::OnWiFiStopped(int code) {
    m_busy = false;
    m_running = false;
    m_networkUp = false;
    m_timer->stop();
    if (m_quitting) {
        if (OptionWidget* options = OptionPanel())
            options->close();
        SaveSettings();
        m_report->Report(UsageReport::kExit, -1);
        QCoreApplication::exit(0);
    }
    m_busyIndicator->Stop();
    m_busyIndicator->hide();
    m_lblstate->setText(tr("WiFi已关闭"));
    m_lblstate->setToolTip({});
    m_btnopenwifi->show();
    m_btnclosewifi->hide();
    m_clientList->Clear();
    m_blackList->Clear();
    m_phone->HotspotStopped();
    m_clientCount = 0;
    UpdateCaptions();
    if (code == 1) {
        // The access point went down without the user asking.
        ShowCause(
            tr("热点被系统或其他程序关闭了（无线网卡被禁用、拔出或进入省电）。"
               "点开启按钮可以重新开启。"));
    } else if (m_clientArea->x() >= 0) {
        m_lblnoconnect->show();
    }
    m_report->Report(UsageReport::kStop, code);
    Animate(m_lblstate);
    emit StateShown();
    m_power->Stopped();
}

void Orvanta::OnWiFiError(int) {
    m_timer->stop();
    m_lblstate->setText(tr("网络错误"));
    Animate(m_lblstate);
}

void Orvanta::Animate(QLabel* label) {
    auto* animation = new QPropertyAnimation(label, "geometry", label);
    animation->setDuration(1500);
    animation->setEasingCurve(QEasingCurve::OutExpo);
    animation->setStartValue(QRect(23, 216, 300, 0));
    animation->setEndValue(kStateShown);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void Orvanta::OnTimerGetCurrentData() {
    std::uint64_t down = 0;
    std::uint64_t up = 0;
    // No counters (the hotspot is just going down): keep the last figures.
    if (!m_core->GetFlow(&down, &up))
        return;
    const std::int64_t delta = m_stats.Reading(down + up);
    m_lblmoneysaved->setText(TrafficStats::MoneyText(m_stats.Total(), m_config.Price()));
    m_lblallflow->setText(TrafficStats::TrafficText(m_stats.Total()));
    m_lblcurrentspeed->setText(TrafficStats::SpeedText(delta));
}

// ---------------------------------------------------------------------------
// Clients

void Orvanta::UpdateCaptions() {
    m_clientCount = static_cast<unsigned>(m_clientList->Count());
    m_btnwhitelist->setText(tr("小伙伴(%1)").arg(m_clientCount));
    m_btnblacklist->setText(tr("黑名单(%1)").arg(m_blackList->Count()));
}

void Orvanta::AddClientRow(const ClientInfo& client) {
    const ClientLook look = ClientLook::For(client);
    auto* row = new WhiteListItem(client, look.name, QImage(look.icon), *this, m_osMajor >= 6);
    row->SetMarked(IsAuthorisedPhone(client.mac));
    m_clientList->AddItem(row);
}

void Orvanta::AddBlackRow(const ClientInfo& client) {
    const ClientLook look = ClientLook::For(client);
    m_blackList->AddItem(new BlackListItem(client, look.name, QImage(look.icon), *this));
}

void Orvanta::OnWiFiClientJoin(QVariant v) {
    const ClientInfo client = v.value<ClientInfo>();
    const QString mac = QString::fromStdWString(client.mac);
    m_phone->ClientJoined(client);
    m_tray->AlertNewDevice(client);
    if (client.isBan == 0) {
        m_lblnoconnect->hide();
        m_blackList->RemoveItem(mac);
        AddClientRow(client);
        m_report->Report(UsageReport::kOnline, mac);
    } else {
        m_clientList->RemoveItem(mac);
        AddBlackRow(client);
    }
    UpdateCaptions();
}

void Orvanta::OnWiFiClientLeave(QVariant v) {
    const ClientInfo client = v.value<ClientInfo>();
    const QString mac = QString::fromStdWString(client.mac);
    // The row goes from whichever list holds it: the user may have moved the
    // client since the engine's record was taken.
    m_phone->ClientLeft(client);
    if (client.isBan == 0) {
        if (!m_clientList->RemoveItem(mac))
            m_blackList->RemoveItem(mac);
        m_report->Report(UsageReport::kOffline, mac);
    } else if (!m_blackList->RemoveItem(mac)) {
        m_clientList->RemoveItem(mac);
    }
    UpdateCaptions();
    if (m_clientCount == 0 && m_clientArea->x() >= 0 && !m_lblFailCause->isVisible())
        m_lblnoconnect->show();
}

void Orvanta::OnWiFiClientUpdate(QVariant v) {
    const ClientInfo client = v.value<ClientInfo>();
    m_phone->ClientUpdated(client);
    if (auto* row =
            qobject_cast<WhiteListItem*>(m_clientList->Find(QString::fromStdWString(client.mac))))
        row->Update(client);
}

bool Orvanta::IsAuthorisedPhone(const std::wstring& mac) {
    const QByteArray id = AuthorisedId();
    return !id.isEmpty() &&
           QString::fromStdWString(mac).compare(QString::fromLatin1(id), Qt::CaseInsensitive) == 0;
}

void Orvanta::MarkAsPhone(const std::wstring& mac, bool on) {
    ClientInfo client;
    const QByteArray identity = m_core->GetClient(mac, client)
                                    ? QString::fromStdWString(client.mac).toLatin1()
                                    : QByteArray();
    if (on) {
        SetAuthorisedId(identity);
    } else if (!identity.isEmpty() && identity == AuthorisedId()) {
        // Unmarking the authorised phone takes its rights away: it is what
        // the user sees, and the next start must not bring them back.
        m_phone->RevokeAuthorisation();
        MarkPhoneRows();
    }
    if (m_authWidget)
        m_authWidget->Update(on ? identity : QByteArray());
    if (on && m_config.ShowAuthHint()) {
        ShowAuthWidget();
        m_config.SetShowAuthHint(false);
    }
}

void Orvanta::MarkPhoneRows() {
    for (ListWidgetItem* row : m_clientList->Items())
        if (auto* client = qobject_cast<WhiteListItem*>(row))
            client->SetMarked(IsAuthorisedPhone(client->Mac()));
}

void Orvanta::ShowAuthWidget() {
    if (m_authWidget) {
        m_authWidget->raise();
        return;
    }
    m_authWidget =
        new AuthWidget(PageAddressCipher::Decipher(m_config.DownloadUrl()), AuthorisedId(), this);
    m_authWidget->setAttribute(Qt::WA_DeleteOnClose);
    m_authWidget->move(geometry().center() - m_authWidget->rect().center());
    m_authWidget->show();
}

OptionWidget* Orvanta::OptionPanel() const {
    return qobject_cast<OptionWidget*>(m_optionPanel.data());
}

void Orvanta::MoveToBlackList(WhiteListItem* row) {
    const std::wstring mac = row->Mac();
    ClientInfo client;
    const bool known = m_core->GetClient(mac, client);
    const ClientControl::Outcome outcome = ClientControl(*m_core).Ban(mac);
    if (outcome == ClientControl::Outcome::Refused) {
        // The system's hotspot bans nobody: the device stays in the client
        // list, and the user is told so rather than shown a row that does nothing.
        ShowNotice(ClientControl::BanText(outcome), {});
        return;
    }
    if (!known) {
        client.mac = mac;
        client.nickName = row->FullName().toStdWString();
    }
    AddBlackRow(client);
    m_clientList->RemoveItem(row->MacText());
    UpdateCaptions();
    if (m_clientCount == 0 && m_clientArea->x() >= 0)
        m_lblnoconnect->show();
    // A banned phone commands the PC no more, even on a connection it
    // already has.
    m_phone->ClientBanned(mac);
    // Sharing without the driver cannot cut a device that has its address:
    // it is refused one from now on, and the user hears what the ban did not do.
    if (outcome == ClientControl::Outcome::NotCut)
        ShowNotice(ClientControl::BanText(outcome), ClientControl::BanTip(outcome));
}

void Orvanta::ShowNotice(const QString& text, const QString& tip) {
    if (text.isEmpty())
        return;
    m_lblstate->setText(text);
    m_lblstate->setToolTip(tip);
    Animate(m_lblstate);
}

void Orvanta::MoveToClientList(BlackListItem* row) {
    const std::wstring mac = row->Mac();
    ClientInfo client;
    if (m_core->GetClient(mac, client)) {
        client.isBan = 0;
        AddClientRow(client);
        m_phone->ClientJoined(client);
        if (m_clientArea->x() >= 0)
            m_lblnoconnect->hide();
    }
    m_blackList->RemoveItem(row->MacText());
    UpdateCaptions();
    m_core->UnbanClient(mac);
}

// ---------------------------------------------------------------------------
// Tabs, fields and window buttons

void Orvanta::SlideLists(bool toClients) {
    const int w = kListArea.width();
    for (auto [area, x] :
         {std::pair{m_clientArea, toClients ? 0 : -w}, std::pair{m_blackArea, toClients ? w : 0}}) {
        auto* slide = new QPropertyAnimation(area, "pos", area);
        slide->setDuration(800);
        slide->setEasingCurve(QEasingCurve::OutExpo);
        slide->setStartValue(area->pos());
        slide->setEndValue(QPoint(x, 0));
        slide->start(QAbstractAnimation::DeleteWhenStopped);
    }
}

void Orvanta::OnBtnWhiteListClicked() {
    m_lblnoconnect->setVisible(m_clientCount == 0 && !m_lblFailCause->isVisible());
    m_btnwhitelist->setStyleSheet(kSelectedTab);
    m_btnblacklist->setStyleSheet(kIdleTab);
    if (m_clientArea->x() < 0)
        SlideLists(true);
}

void Orvanta::OnBtnBlackListClicked() {
    m_lblnoconnect->setVisible(m_blackList->Count() == 0 && !m_lblFailCause->isVisible());
    m_btnwhitelist->setStyleSheet(kIdleTab);
    m_btnblacklist->setStyleSheet(kSelectedTab);
    if (m_blackArea->x() >= 291)
        SlideLists(false);
}

void Orvanta::OnBtnShowPwdClicked() {
    if (m_pwdShown) {
        m_txtwifipwd->setEchoMode(QLineEdit::Password);
        m_txtwifipwd->setCursorPosition(0);
        m_btnshowpwd->setToolTip(tr("显示密码"));
    } else {
        m_txtwifipwd->setEchoMode(QLineEdit::Normal);
        m_btnshowpwd->setToolTip(tr("隐藏密码"));
    }
    m_pwdShown = !m_pwdShown;
}

void Orvanta::OnWiFiNameTextEdit(const QString& text) {
    m_txtwifiname->setToolTip(text);
}

void Orvanta::OnBtnQrCodeClicked() {
    if (m_qrPanel->isVisible()) {
        m_qrPanel->hide();
        return;
    }
    // The network in effect while it runs, else what the fields hold.
    const bool live = m_networkUp;
    m_qrPanel->SetNetwork(live ? m_startedName : m_txtwifiname->text(),
                          live ? m_startedPassword : m_txtwifipwd->text(), m_mode == 1);
    m_qrPanel->show();
    m_qrPanel->raise();
}

void Orvanta::OnBtnCloseClicked() {
    if (m_config.AskOnClose() && m_closePrompt) {
        m_closePrompt->move(geometry().center() - m_closePrompt->rect().center());
        m_closePrompt->show();
        m_closePrompt->raise();
        return;
    }
    if (m_config.CloseAction() == 0) {
        close();
    } else if (QSystemTrayIcon::isSystemTrayAvailable()) {
        hide();
    } else {
        // Without a tray a hidden window could only come back through a
        // second start; minimise instead.
        showMinimized();
    }
}

void Orvanta::OnBtnMinimizedClicked() {
    if (m_optionPanel)
        m_optionPanel->hide();
    showMinimized();
}

void Orvanta::OnBtnOptionClicked() {
    if (!m_optionPanel)
        return;
    m_optionPanel->raise();
    m_optionPanel->move(geometry().center() - m_optionPanel->rect().center());
    m_optionPanel->show();
}

// ---------------------------------------------------------------------------
// Scheduled power-off

PoweroffWidget* Orvanta::PoweroffDialog(bool create) {
    auto* dialog = findChild<PoweroffWidget*>("PoweroffWidget", Qt::FindDirectChildrenOnly);
    if (dialog == nullptr && create) {
        dialog = new PoweroffWidget(this);
        connect(dialog, &PoweroffWidget::Poweroff, this, &Orvanta::OSPoweroff);
    }
    return dialog;
}

void Orvanta::OnActionPoweroff() {
    PoweroffWidget* dialog = PoweroffDialog(false);
    if (dialog != nullptr && dialog->isVisible()) {
        dialog->hide();
        return;
    }
    dialog = PoweroffDialog(true);
    dialog->Refresh();
    dialog->show();
    dialog->raise();
}

void Orvanta::OnSockCommand(QString qsCmd, QString qsData) {
    m_phone->OnCommand(qsCmd, qsData);
}

void Orvanta::OSPoweroff() {
    // A forced shutdown ends this program without an end-of-session
    // message: the settings (the traffic of this run among them) are saved
    // first. A refused shutdown is not reported; the power-off dialog is
    // ready for another try.
    SaveSettings();
    Session().Shutdown(true);
}

// ---------------------------------------------------------------------------
// Customer-service page

void Orvanta::GetCSPagePolicy(int err_code) {
    // Without a site in the settings there is nobody to ask; a site not
    // reached over https could have its answer and page changed on the way.
    const QString site = PageAddressCipher::Decipher(m_config.ServiceSite());
    if (!ServiceSite::IsSecureSite(QUrl(site)))
        return;
    auto* worker = new CustomerServiceWorker(site, err_code);
    auto* thread = new QThread();
    worker->moveToThread(thread);
    connect(thread, &QThread::started, worker, &CustomerServiceWorker::start);
    connect(worker, &CustomerServiceWorker::loadPage, this, &Orvanta::LoadPage);
    // One request per thread; the thread ends with its answer.
    connect(worker, &CustomerServiceWorker::finished, thread, &QThread::quit);
    connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    m_csChecks.erase(std::remove_if(m_csChecks.begin(), m_csChecks.end(),
                                    [](const QPointer<QThread>& t) { return t.isNull(); }),
                     m_csChecks.end());
    m_csChecks.emplace_back(thread);
    thread->start(QThread::InheritPriority);
}

int Orvanta::ServiceChecks() const {
    return static_cast<int>(std::count_if(m_csChecks.begin(), m_csChecks.end(),
                                          [](const QPointer<QThread>& t) { return !t.isNull(); }));
}

void Orvanta::LoadPage(QString url) {
    const QUrl site(PageAddressCipher::Decipher(m_config.ServiceSite()));
    if (!ServiceSite::IsOnSite(QUrl(url), site))
        return;
#if defined(LUMARI_HAVE_WEBENGINE)
    // As root the web engine would run a page from the Internet without its
    // sandbox: then no page at all.
    if (!ServiceSite::CanShowInside())
        return;
    auto* view = static_cast<QWebEngineView*>(m_csView);
    if (view == nullptr) {
        // Made on the first page: the web engine starts only when needed.
        view = new QWebEngineView(this);
        view->setObjectName("csview");
        view->setGeometry(14, 294, 318, 238);
        m_csView = view;
    }
    if (auto* page = qobject_cast<CustomerServicePage*>(view->page());
        page == nullptr || page->Site() != site) {
        view->setPage(new CustomerServicePage(site, view));
        view->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    }
    view->load(QUrl(url));
    view->show();
    view->raise();
#else
    // No web engine in this build: the page opens in the user's browser.
    QDesktopServices::openUrl(QUrl(url));
#endif
}

// ---------------------------------------------------------------------------
// Tray

void Orvanta::OnActionQuit() {
    close();
}

void Orvanta::OnActionAboutUs() {
    const QString address = PageAddressCipher::Decipher(m_config.AboutUrl());
    if (!address.isEmpty()) {
        QDesktopServices::openUrl(QUrl(address));
        return;
    }
    QMessageBox::about(this, tr("关于我们"),
                       tr("Orvanta %1\n把这台电脑的网络变成WiFi热点，分享给手机、"
                          "平板和其他电脑。")
                           .arg(QCoreApplication::applicationVersion()));
}

void Orvanta::OnActionFeedback() {
    const QString address = PageAddressCipher::Decipher(m_config.FeedbackUrl());
    if (!address.isEmpty())
        QDesktopServices::openUrl(QUrl(address));
}

void Orvanta::BringToFront() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void Orvanta::IconActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason != QSystemTrayIcon::DoubleClick && reason != QSystemTrayIcon::Trigger)
        return;
    update();
    if (isMinimized()) {
        showNormal();
        raise();
        activateWindow();
    } else if (isHidden()) {
        show();
        raise();
        activateWindow();
    } else {
        hide();
    }
}

// ---------------------------------------------------------------------------
// Window events

bool Orvanta::OnSessionEvent(plat::SessionEvent event) {
    if (event == plat::SessionEvent::QuerySuspend)
        return m_power->QuerySuspend();
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, event] { OnSessionEvent(event); }, Qt::QueuedConnection);
        return false;
    }
    switch (event) {
        case plat::SessionEvent::HandOver:
            BringToFront();
            break;
        case plat::SessionEvent::EndSession:
            SaveSettings();
            break;
        case plat::SessionEvent::Suspend:
            m_power->Suspend();
            break;
        case plat::SessionEvent::ResumeAutomatic:
        case plat::SessionEvent::Resume:
            m_power->Resume();
            break;
        default:
            break;
    }
    return false;
}

bool Orvanta::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    std::intptr_t answer = 0;
    if (Session().DispatchWindowMessage(message, &answer)) {
        *result = static_cast<qintptr>(answer);
        return true;
    }
    return QWidget::nativeEvent(eventType, message, result);
}

bool Orvanta::IsInteractive(const QPoint& pos) const {
    for (const QWidget* w :
         {static_cast<const QWidget*>(m_btnclose), static_cast<const QWidget*>(m_btnminimized),
          static_cast<const QWidget*>(m_btnoption), static_cast<const QWidget*>(m_btnopenwifi),
          static_cast<const QWidget*>(m_btnclosewifi), static_cast<const QWidget*>(m_btnshowpwd),
          static_cast<const QWidget*>(m_btnqrcode), static_cast<const QWidget*>(m_btnwhitelist),
          static_cast<const QWidget*>(m_btnblacklist), static_cast<const QWidget*>(m_txtwifiname),
          static_cast<const QWidget*>(m_txtwifipwd), static_cast<const QWidget*>(m_listFrame)})
        if (w->isVisible() && w->geometry().contains(pos))
            return true;
    return false;
}

void Orvanta::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !IsInteractive(event->position().toPoint()) &&
        windowHandle() != nullptr) {
        windowHandle()->startSystemMove();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void Orvanta::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPixmap(0, 0, m_background);
}

void Orvanta::showEvent(QShowEvent* event) {
    update();
    QWidget::showEvent(event);
    raise();
}

void Orvanta::closeEvent(QCloseEvent* event) {
    if (m_running) {
        // The engine stops first; its stop notification ends the program.
        m_quitting = true;
        hide();
        m_tray->Hide();
        m_core->Stop();
        event->ignore();
        return;
    }
    if (m_optionPanel)
        m_optionPanel->close();
    SaveSettings();
    m_report->Report(UsageReport::kExit, -1);
    // Qt ends the loop when the last visible window closes; a window hidden
    // to the tray (the tray's quit) is none, and the program would stay on.
    if (!isVisible())
        QCoreApplication::exit(0);
    event->accept();
}

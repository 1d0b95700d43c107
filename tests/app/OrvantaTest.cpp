// The main window against the engine on the simulated PC: input rules, the
// states of start and stop, clients reaching the lists from engine threads,
// the settings file, the tray, the hand-over and the power events.
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest/QtTest>
#include <csignal>
#include <cstdint>
#include <limits>
#include <thread>

#include "AppSim.h"
#include "AppTestRegistry.h"
#include "ClockTimer.h"
#include "ListWidget.h"
#include "Orvanta.h"
#include "QrCodePanel.h"
#include "RotateImage.h"
#include "StartFailure.h"
#include "WhiteListItem.h"
#include "WiFiSignals.h"
#include "Zentavo.h"
#include "platform/sim/SimPc.h"

namespace {

template <class T>
T* Child(const QWidget& w, const char* name) {
    T* child = w.findChild<T*>(name);
    if (child == nullptr)
        qFatal("no child %s", name);
    return child;
}

QString State(const Orvanta& w) {
    return Child<QLabel>(w, "lblstate")->text();
}

// The window once the start of its launch has been answered.
void Settle(Orvanta& w) {
    QTRY_VERIFY_WITH_TIMEOUT(!w.IsBusy(), 5000);
}

// Calls arrive as the engine makes them: from a thread of its own.
template <class F>
void FromEngineThread(F&& f) {
    std::thread t(std::forward<F>(f));
    t.join();
}

ClientInfo Client(const wchar_t* mac, int ban = 0, const wchar_t* maker = L"华为") {
    ClientInfo c;
    c.mac = mac;
    c.manufactory = maker;
    c.ip = L"192.168.23.9";
    c.isBan = ban;
    return c;
}

// Makes the window show the running state, as a successful start does.
void ShowRunning(Orvanta& w) {
    FromEngineThread([&w] { w.Signals()->NetworkStarted(0); });
    // A failed start leaves the window running too: wait for the success.
    QTRY_COMPARE(State(w), QStringLiteral("WiFi开启成功"));
    QVERIFY(w.IsRunning());
}

}  // namespace

class OrvantaTest : public QObject {
    Q_OBJECT

private slots:
    void BuildsTheProductWindowAndStartsAtLaunch() {
        AppSim sim;
        Orvanta w;
        QCOMPARE(Orvanta::MainWindow(), &w);
        QCOMPARE(w.windowTitle(), QStringLiteral("Orvanta"));
        QCOMPARE(w.size(), QSize(346, 546));
        QVERIFY(w.windowFlags() & Qt::FramelessWindowHint);
        // The launch pressed the open button: the start is under way or answered.
        QVERIFY(w.IsBusy() || w.IsRunning());
        Settle(w);
        QCOMPARE(Child<QPushButton>(w, "btnclose")->toolTip(), QStringLiteral("隐藏至托盘"));
        QCOMPARE(Child<QPushButton>(w, "btnminimized")->toolTip(), QStringLiteral("最小化窗体"));
        QCOMPARE(Child<QPushButton>(w, "btnshowpwd")->toolTip(), QStringLiteral("隐藏密码"));
        QCOMPARE(Child<QPushButton>(w, "btnwhitelist")->text(), QStringLiteral("小伙伴(0)"));
        QCOMPARE(Child<QPushButton>(w, "btnblacklist")->text(), QStringLiteral("黑名单(0)"));
        const QList<QAction*> tray = w.TrayIcon()->contextMenu()->actions();
        QCOMPARE(tray.size(), 5);
        QCOMPARE(tray[0]->text(), QStringLiteral("定时关机"));
        QCOMPARE(tray[1]->text(), QStringLiteral("关于我们"));
        QCOMPARE(tray[2]->text(), QStringLiteral("问题反馈"));
        QVERIFY(tray[3]->isSeparator());
        QCOMPARE(tray[4]->text(), QStringLiteral("退出"));
        // The firewall lets the program's own executable in.
        std::wstring path;
        QVERIFY(sim.Pc().session.HasFirewallRule(L"Orvanta", &path));
        QCOMPARE(QString::fromStdWString(path), QString::fromStdString(sim.Dir().File("Zentavo")));
    }

    // A program folder with Chinese characters, as the system names it in its
    // code page (GBK on the simulated PC): the firewall gets the path as it is,
    // the Run entry the system's own bytes, the settings their folder.
    void AProgramFolderInTheSystemsCodePageKeepsItsName() {
        AppSim sim;
        const std::string folder = sim.Dir().File("\xD6\xD0\xCE\xC4");  // 中文 in GBK
        sim.Pc().os.SetModuleFileName(folder + "/Zentavo");
        Orvanta w;
        Settle(w);
        // The folder as the system's separator joins it, 中文 in UTF-8.
        const QString expected = QString::fromStdString(sim.Dir().File("\xE4\xB8\xAD\xE6\x96\x87"));
        std::wstring path;
        QVERIFY(sim.Pc().session.HasFirewallRule(L"Orvanta", &path));
        QCOMPARE(QString::fromStdWString(path), expected + "/Zentavo");
        QCOMPARE(w.SettingsPath(), expected + "/wifi.cfg");
        w.SetRunAtLogon(true);
        plat::RegValue value;
        QCOMPARE(sim.Pc().registry.QueryValue(plat::RegRoot::LocalMachine,
                                              plat::SimSession::kRunKey, "Zentavo", &value),
                 0);
        // A string value: the quoted path and its terminating NUL.
        const std::string expectedBytes = "\"" + folder + "/Zentavo\"";
        QCOMPARE(std::string(value.data.begin(), value.data.end()),
                 std::string(expectedBytes.c_str(), expectedBytes.size() + 1));
    }

    void RunAtLogonAndKeepAwakeGoThroughTheSession() {
        AppSim sim;
        {
            Orvanta w;
            Settle(w);
            w.SetRunAtLogon(true);
            QVERIFY(w.Config().RunAtLogon());
            QVERIFY(sim.Pc().session.IsRunAtLogon("Zentavo"));
            w.SetRunAtLogon(false);
            QVERIFY(!w.Config().RunAtLogon());
            QVERIFY(!sim.Pc().session.IsRunAtLogon("Zentavo"));
            w.Config().SetForbidSleep(true);
            w.SaveSettings();
            QVERIFY(!sim.Pc().session.Awake());
        }
        // A stored forbid-sleep keeps the system awake from the next start.
        Orvanta again;
        Settle(again);
        QVERIFY(sim.Pc().session.Awake());
    }

    void RefusesBadInputWithTheWindowsOwnMessages_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("refusal");
        // Counted as the name goes on the air, in UTF-8: three bytes a
        // Chinese character.
        const QString tooLong = QStringLiteral("WiFi名称太长（最多32字节，一个汉字占3字节）");
        const QString cjk10(10, QChar(0x4E2D));
        QTest::newRow("10 CJK characters and 2 letters are 32 bytes") << cjk10 + "ab"
                                                                      << "abcd1234" << QString();
        QTest::newRow("11 are 33 bytes") << cjk10 + QChar(0x4E2D) << "abcd1234" << tooLong;
        QTest::newRow("16 fit the settings file but not the air")
            << QString(16, QChar(0x4E2D)) << "abcd1234" << tooLong;
        QTest::newRow("32 letters") << QString(32, 'a') << "abcd1234" << QString();
        QTest::newRow("33 letters") << QString(33, 'a') << "abcd1234" << tooLong;
        QTest::newRow("space") << "my net"
                               << "abcd1234" << QStringLiteral("无效的WiFi名称");
        QTest::newRow("empty") << ""
                               << "abcd1234" << QStringLiteral("无效的WiFi名称");
        QTest::newRow("emoji") << QStringLiteral("net😀") << "abcd1234"
                               << QStringLiteral("无效的WiFi名称");
        QTest::newRow("U+9FA6 is past the range")
            << QString(QChar(0x9FA6)) << "abcd1234" << QStringLiteral("无效的WiFi名称");
        QTest::newRow("seven characters")
            << "Home_1-x"
            << "abc1234" << QStringLiteral("密码必须是8~32个英文或数字");
        QTest::newRow("punctuation") << "Home"
                                     << "abcd-1234" << QStringLiteral("密码必须是8~32个英文或数字");
        QTest::newRow("33 characters")
            << "Home" << QString(33, '7') << QStringLiteral("密码必须是8~32个英文或数字");
    }
    void RefusesBadInputWithTheWindowsOwnMessages() {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, refusal);
        QCOMPARE(Orvanta::CheckName(name).isEmpty() ? Orvanta::CheckPassword(password, 1)
                                                    : Orvanta::CheckName(name),
                 refusal);
        if (refusal.isEmpty())
            return;
        AppSim sim;
        Orvanta w;
        Settle(w);
        QSignalSpy starts(w.Signals(), &WiFiSignals::NetworkStarted);
        Child<QLineEdit>(w, "txtwifiname")->setText(name);
        Child<QLineEdit>(w, "txtwifipwd")->setText(password);
        w.OnBtnOpenWiFiClicked();
        QCOMPARE(State(w), refusal);
        QVERIFY(!w.IsBusy());  // nothing reached the engine
        QTest::qWait(20);
        QCOMPARE(starts.count(), 0);
    }

    // A name stored by an earlier version that counted it in GB18030 is shown
    // for editing at launch and not started, with the reason.
    void AStoredNameTooLongForTheAirIsShownNotStarted() {
        AppSim sim;
        const QString name(16, QChar(0x4E2D));
        {
            WiFiConfig stored;
            stored.SetMagic();
            QVERIFY(stored.SetName(name));
            QVERIFY(stored.SetPassword("abcd1234"));
            QVERIFY(stored.Save(QString::fromStdString(sim.SettingsFile())));
        }
        Orvanta w;
        QSignalSpy starts(w.Signals(), &WiFiSignals::NetworkStarted);
        Settle(w);
        QCOMPARE(Child<QLineEdit>(w, "txtwifiname")->text(), name);
        QCOMPARE(Child<QLineEdit>(w, "txtwifiname")->selectedText(), name);
        QCOMPARE(State(w), QStringLiteral("WiFi名称太长（最多32字节，一个汉字占3字节）"));
        QVERIFY(!w.IsBusy());
        QVERIFY(!w.IsRunning());
        QTest::qWait(20);
        QCOMPARE(starts.count(), 0);
    }

    void TenDigitRuleOutsideModeOne() {
        QVERIFY(Orvanta::CheckPassword("5820417396", 2).isEmpty());
        QCOMPARE(Orvanta::CheckPassword("582041739", 2), QStringLiteral("密码必须10个数字"));
        QCOMPARE(Orvanta::CheckPassword("58204173961", 0), QStringLiteral("密码必须10个数字"));
        QCOMPARE(Orvanta::CheckPassword("abcdefghij", 2), QStringLiteral("密码必须10个数字"));
        QVERIFY(Orvanta::CheckPassword("abcdEFGH", 1).isEmpty());
    }

    void StatisticsSwitchUnits() {
        QCOMPARE(TrafficStats::SpeedText(0), QStringLiteral("0K/s"));
        QCOMPARE(TrafficStats::SpeedText(1023), QStringLiteral("1023K/s"));
        QCOMPARE(TrafficStats::SpeedText(1024), QStringLiteral("1.00M/s"));
        QCOMPARE(TrafficStats::SpeedText(1536), QStringLiteral("1.50M/s"));
        QCOMPARE(TrafficStats::TrafficText(1023 * 1024), QStringLiteral("1023.00M"));
        QCOMPARE(TrafficStats::TrafficText(1024 * 1024), QStringLiteral("1.00G"));
        QCOMPARE(TrafficStats::TrafficText(512), QStringLiteral("0.50M"));
        QCOMPARE(TrafficStats::MoneyText(10 * 1024, 0.3), QStringLiteral("3.00元"));
    }

    // A reading below the last one (counters that went back) neither lowers
    // the total nor gives a negative speed; each run adds to the total so far.
    void StatisticsNeverGoBack() {
        TrafficStats stats;
        stats.SetStored(-5);
        QCOMPARE(stats.Total(), std::int64_t(0));
        stats.SetStored(1000);
        stats.RunStarted();
        QCOMPARE(stats.Reading(300), std::int64_t(300));
        QCOMPARE(stats.Reading(100), std::int64_t(0));
        QCOMPARE(stats.Total(), std::int64_t(1300));
        QCOMPARE(stats.Reading(350), std::int64_t(50));
        stats.RunStarted();
        QCOMPARE(stats.Reading(0), std::int64_t(0));
        QCOMPARE(stats.Reading(10), std::int64_t(10));
        QCOMPARE(stats.Total(), std::int64_t(1360));
        QCOMPARE(stats.Reading(std::numeric_limits<std::uint64_t>::max()),
                 std::numeric_limits<std::int64_t>::max() - 1360);
    }

    void AFailedStartNamesItsCause() {
        AppSim sim;
        Orvanta w;
        w.show();
        Settle(w);
        ShowRunning(w);
        w.OnBtnCloseWiFiClicked();
        Settle(w);
        for (int code : {1102, 1500, 5023}) {
            FromEngineThread([&w, code] { w.Signals()->NetworkStarted(code); });
            QTRY_COMPARE(State(w), StartFailure::StatusText(code));
            QVERIFY(w.FailureCause()->isVisible());
            QCOMPARE(w.FailureCause()->text(), StartFailure::Cause(code));
            QVERIFY(Child<QPushButton>(w, "btnopenwifi")->isVisible());
            QVERIFY(!Child<QPushButton>(w, "btnclosewifi")->isVisible());
            QVERIFY(!w.StatisticsTimer()->isActive());
        }
        QCOMPARE(State(w), QStringLiteral("WiFi开启失败(5023)"));
        // The next press hides the cause again.
        w.OnBtnOpenWiFiClicked();
        QVERIFY(!w.FailureCause()->isVisible());
    }

    void StartRunningStopStates() {
        AppSim sim;
        Orvanta w;
        w.show();
        Settle(w);
        ShowRunning(w);
        QCOMPARE(State(w), QStringLiteral("WiFi开启成功"));
        QVERIFY(!Child<QPushButton>(w, "btnopenwifi")->isVisible());
        QVERIFY(Child<QPushButton>(w, "btnclosewifi")->isVisible());
        QVERIFY(Child<QPushButton>(w, "btnclosewifi")->styleSheet().contains("opensucess.png"));
        QVERIFY(w.StatisticsTimer()->isActive());
        QVERIFY(!w.BusyIndicator()->isVisible());

        w.OnBtnCloseWiFiClicked();
        QVERIFY(w.IsBusy());
        QCOMPARE(State(w), QStringLiteral("WiFi正在关闭"));
        QVERIFY(w.BusyIndicator()->isVisible());
        QVERIFY(w.BusyIndicator()->IsRotating());
        QVERIFY(!w.StatisticsTimer()->isActive());
        Settle(w);  // the engine answers the stop
        QVERIFY(!w.IsRunning());
        QCOMPARE(State(w), QStringLiteral("WiFi已关闭"));
        QVERIFY(Child<QPushButton>(w, "btnopenwifi")->isVisible());
        QVERIFY(!Child<QPushButton>(w, "btnclosewifi")->isVisible());
        QVERIFY(!w.BusyIndicator()->isVisible());

        // A network error stops the statistics and keeps the state.
        ShowRunning(w);
        FromEngineThread([&w] { w.Signals()->NetworkError(77); });
        QTRY_COMPARE(State(w), QStringLiteral("网络错误"));
        QVERIFY(w.IsRunning());
        QVERIFY(!w.StatisticsTimer()->isActive());
    }

    void ClientsReachTheRightList() {
        AppSim sim;
        Orvanta w;
        w.show();
        Settle(w);
        ShowRunning(w);
        QLabel* placeholder = Child<QLabel>(w, "lblnoconnect");
        FromEngineThread([&w] {
            w.Signals()->ClientJoin(Client(L"00-00-00-00-00-01"));
            w.Signals()->ClientJoin(Client(L"00-00-00-00-00-02", 1));
            w.Signals()->ClientJoin(Client(L"00-00-00-00-00-03", 0, L""));
        });
        QTRY_COMPARE(w.ClientCount(), 2u);
        QCOMPARE(w.ClientList()->Count(), 2);
        QCOMPARE(w.BlackList()->Count(), 1);
        QVERIFY(w.BlackList()->Find("00-00-00-00-00-02") != nullptr);
        QVERIFY(w.ClientList()->Find("00-00-00-00-00-02") == nullptr);
        QCOMPARE(Child<QPushButton>(w, "btnwhitelist")->text(), QStringLiteral("小伙伴(2)"));
        QCOMPARE(Child<QPushButton>(w, "btnblacklist")->text(), QStringLiteral("黑名单(1)"));
        QVERIFY(!placeholder->isVisible());

        // A second join of a listed client replaces its row, it does not count twice.
        FromEngineThread([&w] { w.Signals()->ClientJoin(Client(L"00-00-00-00-00-01")); });
        QTRY_COMPARE(w.ClientList()->Count(), 2);
        QCOMPARE(w.ClientCount(), 2u);

        FromEngineThread([&w] {
            w.Signals()->ClientLeave(Client(L"00-00-00-00-00-01"));
            w.Signals()->ClientLeave(Client(L"00-00-00-00-00-02", 1));
            w.Signals()->ClientLeave(Client(L"00-00-00-00-00-77"));  // never listed
        });
        QTRY_COMPARE(w.ClientCount(), 1u);
        QCOMPARE(w.BlackList()->Count(), 0);
        QCOMPARE(Child<QPushButton>(w, "btnwhitelist")->text(), QStringLiteral("小伙伴(1)"));
        QCOMPARE(Child<QPushButton>(w, "btnblacklist")->text(), QStringLiteral("黑名单(0)"));
        FromEngineThread([&w] { w.Signals()->ClientLeave(Client(L"00-00-00-00-00-03")); });
        QTRY_COMPARE(w.ClientCount(), 0u);
        QVERIFY(placeholder->isVisible());

        // The tabs: the black list slides in; its placeholder follows its own count.
        w.OnBtnBlackListClicked();
        QTRY_COMPARE(w.BlackList()->parentWidget()->parentWidget()->x(), 0);
        QVERIFY(w.ClientList()->parentWidget()->parentWidget()->x() < 0);
        w.OnBtnWhiteListClicked();
        QTRY_COMPARE(w.ClientList()->parentWidget()->parentWidget()->x(), 0);

        // The stop empties both lists.
        FromEngineThread([&w] {
            w.Signals()->ClientJoin(Client(L"00-00-00-00-00-04"));
            w.Signals()->ClientJoin(Client(L"00-00-00-00-00-05", 1));
            w.Signals()->NetworkStopped(0);
        });
        QTRY_VERIFY(!w.IsRunning());
        QCOMPARE(w.ClientList()->Count(), 0);
        QCOMPARE(w.BlackList()->Count(), 0);
        QCOMPARE(Child<QPushButton>(w, "btnwhitelist")->text(), QStringLiteral("小伙伴(0)"));
        QCOMPARE(Child<QPushButton>(w, "btnblacklist")->text(), QStringLiteral("黑名单(0)"));
    }

    // The hotspot stops, or the client joins again, while the user has the
    // client's row menu open: the row goes without taking the menu with it.
    void ARowGoesWhileItsMenuIsOpen() {
        AppSim sim;
        Orvanta w;
        w.show();
        Settle(w);
        ShowRunning(w);
        for (const bool stop : {false, true}) {
            const wchar_t* mac = stop ? L"00-00-00-00-00-02" : L"00-00-00-00-00-01";
            FromEngineThread([&w, mac] { w.Signals()->ClientJoin(Client(mac)); });
            QTRY_VERIFY(w.ClientList()->Find(QString::fromWCharArray(mac)) != nullptr);
            QPointer<WhiteListItem> row =
                qobject_cast<WhiteListItem*>(w.ClientList()->Find(QString::fromWCharArray(mac)));
            QTimer::singleShot(0, &w, [&w, stop, mac] {
                FromEngineThread([&w, stop, mac] {
                    if (stop)
                        w.Signals()->NetworkStopped(0);
                    else
                        w.Signals()->ClientJoin(Client(mac));
                });
            });
            QTimer::singleShot(200, qApp, [] {
                if (QWidget* menu = QApplication::activePopupWidget())
                    menu->close();
            });
            QTest::mouseClick(row->MoreButton(), Qt::LeftButton);
            QTRY_VERIFY(row.isNull());
            QTRY_COMPARE(w.ClientList()->Count(), stop ? 0 : 1);
        }
    }

    void SettingsAreReadBackAsWritten() {
        AppSim sim;
        {
            Orvanta w;
            Settle(w);
            Child<QLineEdit>(w, "txtwifiname")->setText(QStringLiteral("客厅_Net-2"));
            Child<QLineEdit>(w, "txtwifipwd")->setText("Secret1234");
            w.Config().SetPrice(0.5);
            w.SetAuthorisedId("00-11-22-33-44-55");
            w.close();
            QTRY_VERIFY(QFile::exists(QString::fromStdString(sim.SettingsFile())));
        }
        Orvanta again;
        Settle(again);
        QCOMPARE(Child<QLineEdit>(again, "txtwifiname")->text(), QStringLiteral("客厅_Net-2"));
        QCOMPARE(Child<QLineEdit>(again, "txtwifiname")->toolTip(), QStringLiteral("客厅_Net-2"));
        QCOMPARE(Child<QLineEdit>(again, "txtwifipwd")->text(), QStringLiteral("Secret1234"));
        QCOMPARE(again.Config().Price(), 0.5);
        QCOMPARE(again.AuthorisedId(), QByteArray("00-11-22-33-44-55"));
        QCOMPARE(Child<QLabel>(again, "lblallflow")->text(), QStringLiteral("0.00M"));
    }

    void InvalidFieldsAreSavedAsTheDefaults() {
        AppSim sim;
        sim.Pc().os.SetComputerName("Study-PC");
        {
            Orvanta w;
            Settle(w);
            Child<QLineEdit>(w, "txtwifiname")->setText("bad name");
            Child<QLineEdit>(w, "txtwifipwd")->setText("short");
            w.SaveSettings();
        }
        WiFiConfig c;
        QVERIFY(c.Load(QString::fromStdString(sim.SettingsFile())));
        QCOMPARE(c.Name(), QStringLiteral("AStudy-PC"));
        QCOMPARE(c.Password(), QStringLiteral("5820417396"));
        // A host name the name rule refuses gives the fixed name.
        sim.Pc().os.SetComputerName("pc.example.org");
        QCOMPARE(Orvanta::DefaultName(), QStringLiteral("Dravolin"));
        sim.Pc().os.SetComputerName(std::string(40, 'h'));
        QCOMPARE(Orvanta::DefaultName(), QStringLiteral("Dravolin"));
    }

    void APriceOrTrafficNoPanelCouldStoreIsReadAsTheDefault() {
        AppSim sim;
        {
            Orvanta w;
            Settle(w);
            w.close();
            QTRY_VERIFY(QFile::exists(QString::fromStdString(sim.SettingsFile())));
        }
        const QByteArray saved = QByteArray::fromStdString(sim.Dir().Read("wifi.cfg"));
        const double prices[] = {std::numeric_limits<double>::quiet_NaN(),
                                 std::numeric_limits<double>::infinity(), -0.5, 0.0, 3.0};
        for (double price : prices) {
            WiFiConfig c;
            QVERIFY(c.FromBytes(saved));
            c.SetPrice(price);
            c.SetTraffic(-4096);
            sim.Dir().Write("wifi.cfg", c.ToBytes().toStdString());
            Orvanta w;
            Settle(w);
            QCOMPARE(w.Config().Price(), 0.3);
            QCOMPARE(w.Config().Traffic(), std::int64_t{0});
            QCOMPARE(w.TotalKB(), 0);
            const QString money = Child<QLabel>(w, "lblmoneysaved")->text();
            QVERIFY2(!money.contains("nan") && !money.contains("inf") && !money.contains('-'),
                     qPrintable(money));
            QVERIFY(!Child<QLabel>(w, "lblallflow")->text().contains('-'));
        }
    }

    void ADamagedSettingsFileGivesTheDefaults() {
        AppSim sim;
        sim.Pc().os.SetComputerName("Desk");
        sim.Dir().Write("wifi.cfg", std::string(2320, '\x01'));  // no magic
        Orvanta w;
        Settle(w);
        QCOMPARE(Child<QLineEdit>(w, "txtwifiname")->text(), QStringLiteral("ADesk"));
        QCOMPARE(Child<QLineEdit>(w, "txtwifipwd")->text(), QStringLiteral("5820417396"));
        QCOMPARE(Child<QLabel>(w, "lblallflow")->text(), QStringLiteral("0M"));
        QCOMPARE(Child<QLabel>(w, "lblmoneysaved")->text(), QStringLiteral("0元"));
        QCOMPARE(w.Config().Price(), 0.3);
        // No entry runs the program at logon yet, and the record says so.
        QVERIFY(!w.Config().RunAtLogon());
        QCOMPARE(w.Config().CloseAction(), 1);
        QVERIFY(w.Config().AskOnClose());
        QVERIFY(w.Config().ShowAuthHint());
        QCOMPARE(w.TotalKB(), 0);
    }

    void PasswordEchoToggles() {
        AppSim sim;
        Orvanta w;
        Settle(w);
        auto* field = Child<QLineEdit>(w, "txtwifipwd");
        auto* eye = Child<QPushButton>(w, "btnshowpwd");
        QCOMPARE(field->echoMode(), QLineEdit::Normal);
        eye->click();
        QCOMPARE(field->echoMode(), QLineEdit::Password);
        QCOMPARE(eye->toolTip(), QStringLiteral("显示密码"));
        eye->click();
        QCOMPARE(field->echoMode(), QLineEdit::Normal);
        QCOMPARE(eye->toolTip(), QStringLiteral("隐藏密码"));
        QTest::keyClicks(Child<QLineEdit>(w, "txtwifiname"), "X");
        QCOMPARE(Child<QLineEdit>(w, "txtwifiname")->toolTip(),
                 Child<QLineEdit>(w, "txtwifiname")->text());
    }

    void TrayDoubleClickHidesAndShows() {
        AppSim sim;
        Orvanta w;
        w.show();
        Settle(w);
        w.IconActivated(QSystemTrayIcon::DoubleClick);
        QVERIFY(w.isHidden());
        w.IconActivated(QSystemTrayIcon::Context);  // ignored
        QVERIFY(w.isHidden());
        w.IconActivated(QSystemTrayIcon::Trigger);
        QVERIFY(w.isVisible());
    }

    void ClosingWhileRunningWaitsForTheEngine() {
        AppSim sim;
        Orvanta w;
        w.show();
        Settle(w);
        ShowRunning(w);
        QSignalSpy stopped(w.Signals(), &WiFiSignals::NetworkStopped);
        QVERIFY(!w.close());  // refused for now
        QVERIFY(w.IsQuitting());
        QVERIFY(w.isHidden());
        QVERIFY(!w.TrayIcon()->isVisible());
        QTRY_COMPARE(stopped.count(), 1);  // the engine answered the stop
        QTRY_VERIFY(!w.IsRunning());
        QVERIFY(QFile::exists(QString::fromStdString(sim.SettingsFile())));
    }

    // The tray's quit ends the program also when the window was hidden to the
    // tray, or while the hotspot runs (through the engine's stop).
    void QuitFromTheTrayEndsTheProgram() {
        for (const bool running : {false, true}) {
            AppSim sim;
            Orvanta w;
            w.show();
            Settle(w);
            if (running) {
                ShowRunning(w);
            } else {
                FromEngineThread([&w] { w.Signals()->NetworkStopped(0); });
                QTRY_VERIFY(!w.IsRunning());
            }
            w.hide();  // hidden to the tray
            QTimer::singleShot(0, &w, [&w] { w.OnActionQuit(); });
            // The bound goes with the test: a timer left behind would end
            // another test's loop later.
            QTimer bound;
            bound.setSingleShot(true);
            QObject::connect(&bound, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
            bound.start(3000);
            QCOMPARE(QCoreApplication::exec(), 0);
            QVERIFY(QFile::exists(QString::fromStdString(sim.SettingsFile())));
        }
    }

    void TerminationClosesTheWindowAsItsCloseButtonDoes() {
#if defined(_WIN32)
        QSKIP("Windows ends a program through its window's messages, not signals");
#else
        AppSim sim;
        Orvanta w;
        w.show();
        Settle(w);
        ShowRunning(w);
        QVERIFY(Zentavo::CloseOnTermination(&w));
        QSignalSpy stopped(w.Signals(), &WiFiSignals::NetworkStopped);
        QVERIFY(::raise(SIGTERM) == 0);  // handled: the test process goes on
        QTRY_VERIFY(w.IsQuitting());
        QVERIFY(w.isHidden());
        QTRY_COMPARE(stopped.count(), 1);  // the hotspot was stopped
        QTRY_VERIFY(!w.IsRunning());
        QVERIFY(QFile::exists(QString::fromStdString(sim.SettingsFile())));
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGHUP, SIG_DFL);
#endif
    }

    void ASecondStartHandsOverToTheWindow() {
        AppSim sim;
        QVERIFY(Zentavo::EnsureSingleInstance());  // this process is the first
        Orvanta w;
        Settle(w);
        w.hide();
        QVERIFY(!Zentavo::EnsureSingleInstance());
        QCOMPARE(sim.Pc().session.HandOvers(), 1);
        QVERIFY(w.isVisible());
        w.showMinimized();
        QVERIFY(!Zentavo::EnsureSingleInstance());
        QVERIFY(!w.isMinimized());
    }

    void PowerEvents() {
        AppSim sim;
        Orvanta w;
        Settle(w);
        QSignalSpy starts(w.Signals(), &WiFiSignals::NetworkStarted);
        QSignalSpy stops(w.Signals(), &WiFiSignals::NetworkStopped);
        // Suspend stops the engine; resume starts the hotspot again.
        sim.Pc().session.Raise(plat::SessionEvent::Suspend);
        QTRY_COMPARE(stops.count(), 1);
        sim.Pc().session.Raise(plat::SessionEvent::Resume);
        QTRY_COMPARE(starts.count(), 1);
        Settle(w);
        // A resume that overtakes the stop waits for it, then starts.
        sim.Pc().session.Raise(plat::SessionEvent::Suspend);
        sim.Pc().session.Raise(plat::SessionEvent::Resume);
        QTRY_COMPARE(stops.count(), 2);
        QTRY_COMPARE(starts.count(), 2);
        // A PC woken by a timer or over the network is told only that it
        // resumed automatically: the hotspot starts again all the same.
        Settle(w);
        sim.Pc().session.Raise(plat::SessionEvent::Suspend);
        QTRY_COMPARE(stops.count(), 3);
        sim.Pc().session.Wake(false);
        QTRY_COMPARE(starts.count(), 3);
        Settle(w);
        QVERIFY(w.IsRunning());
        // The suspend query is refused only on XP with the forbid-sleep option.
        QVERIFY(!sim.Pc().session.Raise(plat::SessionEvent::QuerySuspend));
        w.Config().SetForbidSleep(true);
        QVERIFY(!sim.Pc().session.Raise(plat::SessionEvent::QuerySuspend));
        // The end of the session saves the settings.
        QVERIFY(!QFile::exists(QString::fromStdString(sim.SettingsFile())));
        sim.Pc().session.Raise(plat::SessionEvent::EndSession);
        QVERIFY(QFile::exists(QString::fromStdString(sim.SettingsFile())));
    }

    void OnXpTheForbidSleepOptionRefusesSuspend() {
        AppSim sim;
        plat::OsVersion xp;
        xp.major = 5;
        xp.minor = 1;
        xp.servicePackMajor = 3;
        sim.Pc().os.SetVersion(xp, false, 0);
        // XP's NAT driver is installed too: its offer would wait for the clock.
        plat::SimService driver;
        driver.state = 1;
        sim.Pc().services.Set("solvane", driver);
        Orvanta w;
        Settle(w);
        QVERIFY(!sim.Pc().session.Raise(plat::SessionEvent::QuerySuspend));
        w.Config().SetForbidSleep(true);
        QVERIFY(sim.Pc().session.Raise(plat::SessionEvent::QuerySuspend));
    }

    void QrCodeShownOnRequest() {
        AppSim sim;
        Orvanta w;
        w.show();
        Settle(w);
        QVERIFY(!w.QrPanel()->isVisible());
        // While stopped the code shows what the fields hold.
        FromEngineThread([&w] { w.Signals()->NetworkStopped(0); });
        QTRY_VERIFY(!w.IsRunning());
        Child<QLineEdit>(w, "txtwifiname")->setText("Home;Net");
        Child<QPushButton>(w, "btnqrcode")->click();
        QVERIFY(w.QrPanel()->isVisible());
        QVERIFY(w.QrPanel()->Payload().startsWith(QStringLiteral("WIFI:T:")));
        QVERIFY(w.QrPanel()->Payload().contains(QStringLiteral("S:Home\\;Net;")));
        QVERIFY(!w.QrPanel()->Code().isNull());
        // What the panel shows reads back as the network, escapes and all.
        bool zbar = false;
        const QString read = AppSim::DecodeQr(w.QrPanel()->grab().toImage(), &zbar);
        if (zbar)
            QCOMPARE(read, w.QrPanel()->Payload());
        Child<QPushButton>(w, "btnqrcode")->click();
        QVERIFY(!w.QrPanel()->isVisible());
        if (!zbar)
            QSKIP("zbarimg (zbar-tools) is not installed");
    }
};

APP_TEST(OrvantaTest);
#include "OrvantaTest.moc"

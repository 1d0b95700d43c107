// The window's links to the outside on the simulated PC: commands of the
// authorised phone over a real loopback socket reaching the power-off
// dialog, the customer-service page asked of a local HTTP server, and the
// usage report started as a real process.
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebEngineView>
#include <QtTest/QtTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "AppSim.h"
#include "AppTestRegistry.h"
#include "ClockTimer.h"
#include "CustomerServiceWorker.h"
#include "ListWidget.h"
#include "Orvanta.h"
#include "PageAddressCipher.h"
#include "PhoneClient.h"
#include "PoweroffWidget.h"
#include "UsageReport.h"
#include "VelWfssClientConnect.h"
#include "WiFiSignals.h"

using std::chrono::seconds;

namespace {

void Settle(Orvanta& w) {
    QTRY_VERIFY_WITH_TIMEOUT(!w.IsBusy(), 5000);
}

template <class F>
void FromEngineThread(F&& f) {
    std::thread t(std::forward<F>(f));
    t.join();
}

ClientInfo Client(const wchar_t* mac, const wchar_t* ip) {
    ClientInfo c;
    c.mac = mac;
    c.ip = ip;
    c.manufactory = L"Apple";
    return c;
}

// Sends one command and answers its reply status (or -2 without a reply).
std::int64_t Ask(PhoneClient& phone, const std::string& json) {
    std::uint32_t type = 0;
    std::uint32_t status = 0;
    if (!phone.Send(PhoneClient::Command(json)) || !phone.ReadReply(&type, &status))
        return -2;
    return type == 32 ? static_cast<std::int64_t>(status) : -3;
}

PoweroffWidget* Dialog(const Orvanta& w) {
    return w.findChild<PoweroffWidget*>("PoweroffWidget");
}

// A web site of the test: answers every GET with `switcher` for
// "/switcher.html" and a small page for anything else, and counts the
// switch requests.
class Site : public QObject {
public:
    explicit Site(QByteArray switcher) : m_switcher(std::move(switcher)) {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    m_pending[s] += s->readAll();
                    if (!m_pending[s].contains("\r\n\r\n"))
                        return;
                    m_requests << m_pending[s].left(m_pending[s].indexOf("\r\n"));
                    const bool sw = m_pending[s].startsWith("GET /switcher.html ");
                    if (sw)
                        ++m_switchRequests;
                    const QByteArray body = sw ? m_switcher : QByteArray("<html>help</html>");
                    s->write(
                        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n"
                        "Content-Length: " +
                        QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    s->disconnectFromHost();
                });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    QString Address() const {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
    }
    int SwitchRequests() const { return m_switchRequests; }
    // The request lines received.
    QList<QByteArray> Requests() const { return m_requests; }

private:
    QByteArray m_switcher;
    QTcpServer m_server;
    std::map<QTcpSocket*, QByteArray> m_pending;
    int m_switchRequests = 0;
    QList<QByteArray> m_requests;
};

}  // namespace

class OutsideLinksTest : public QObject {
    Q_OBJECT

private slots:
    void TheAuthorisedPhoneSchedulesAndCancelsThePowerOff() {
        AppSim sim;
        Orvanta w;
        Settle(w);
        VelWfssClientConnect* link = w.PhoneLink();
        QVERIFY(link->Port() >= VelWfssClientConnect::kPort);
        FromEngineThread(
            [&w] { w.Signals()->ClientJoin(Client(L"A4-45-19-00-00-07", L"127.0.0.7")); });
        QTRY_COMPARE(link->IdentityCount(), std::size_t(1));
        w.SetAuthorisedId("A4-45-19-00-00-07");

        PhoneClient phone;
        QVERIFY(phone.Connect(link->Port(), "127.0.0.7"));
        // "0" seconds is acknowledged and does nothing; a command without
        // "command" is answered with all ones.
        QCOMPARE(Ask(phone, R"({"command":"shutdown","data":"0"})"), 0);
        QCOMPARE(Ask(phone, R"({"data":"60"})"), std::int64_t(0xFFFFFFFF));
        QCOMPARE(Ask(phone, R"({"command":"reboot","data":"60"})"), 0);
        QCoreApplication::processEvents();
        QVERIFY(Dialog(w) == nullptr);

        std::size_t sleepers = sim.Pc().clock.Sleepers();
        QCOMPARE(Ask(phone, R"({"command":"shutdown","data":"3725"})"), 0);
        QTRY_VERIFY(Dialog(w) != nullptr && Dialog(w)->isVisible());
        PoweroffWidget* dialog = Dialog(w);
        QVERIFY(!dialog->IsStopped());
        QVERIFY(sim.Pc().clock.WaitForSleepers(sleepers + 1));
        QCOMPARE(dialog->Remaining(), 3725);
        sim.Pc().clock.Advance(seconds(25));
        QTRY_COMPARE(dialog->Remaining(), 3700);
        // Asked again while shown, the dialog steps aside and the count goes
        // on; asked once more, it comes back with the same count.
        QCOMPARE(Ask(phone, R"({"command":"shutdown","data":"10"})"), 0);
        QTRY_VERIFY(!dialog->isVisible());
        QCOMPARE(Ask(phone, R"({"command":"shutdown","data":"10"})"), 0);
        QTRY_VERIFY(dialog->isVisible());
        QCOMPARE(dialog->Remaining(), 3700);

        // Another device of the hotspot is refused whatever it sends.
        FromEngineThread(
            [&w] { w.Signals()->ClientJoin(Client(L"A4-45-19-00-00-08", L"127.0.0.8")); });
        QTRY_COMPARE(link->IdentityCount(), std::size_t(2));
        PhoneClient other;
        QVERIFY(other.Connect(link->Port(), "127.0.0.8"));
        QCOMPARE(other.Send(PhoneClient::Command(R"({"command":"cancel"})")), true);
        std::uint32_t type = 0;
        std::uint32_t status = 0;
        QVERIFY(other.ReadReply(&type, &status));
        QCOMPARE(type, 32u);
        QCOMPARE(status, 1u);
        QCoreApplication::processEvents();
        QVERIFY(!dialog->IsStopped());

        QCOMPARE(Ask(phone, R"({"command":"cancel","data":""})"), 0);
        QTRY_VERIFY(dialog->IsStopped());
        QVERIFY(!dialog->isVisible());
        QVERIFY(!dialog->Timer()->isActive());
        sim.Pc().clock.Advance(seconds(3700));
        QCoreApplication::processEvents();
        QCOMPARE(sim.Pc().session.Shutdowns(), 0);

        // Hidden and stopped, the next phone countdown starts and runs out.
        sleepers = sim.Pc().clock.Sleepers();
        QCOMPARE(Ask(phone, R"({"command":"shutdown","data":"2"})"), 0);
        QTRY_VERIFY(dialog->isVisible() && !dialog->IsStopped());
        QVERIFY(sim.Pc().clock.WaitForSleepers(sleepers + 1));
        QCOMPARE(w.findChildren<PoweroffWidget*>().size(), 1);
        sim.Pc().clock.Advance(seconds(2));
        QTRY_COMPARE(sim.Pc().session.Shutdowns(), 1);
    }

    void AfterTheHotspotStopsNoDeviceInheritsThePhonesAddress() {
        AppSim sim;
        Orvanta w;
        Settle(w);
        VelWfssClientConnect* link = w.PhoneLink();
        FromEngineThread([&w] { w.Signals()->NetworkStarted(0); });
        QTRY_VERIFY(w.IsRunning());
        FromEngineThread(
            [&w] { w.Signals()->ClientJoin(Client(L"A4-45-19-00-00-07", L"127.0.0.7")); });
        QTRY_COMPARE(link->IdentityCount(), std::size_t(1));
        w.SetAuthorisedId("A4-45-19-00-00-07");
        PhoneClient phone;
        QVERIFY(phone.Connect(link->Port(), "127.0.0.7"));
        QCOMPARE(Ask(phone, R"({"command":"reboot"})"), 0);

        // The engine reports no leaves when the hotspot stops: the next run
        // may give the phone's address to another device (one on the black
        // list is never registered), which must not be obeyed as the phone.
        FromEngineThread([&w] { w.Signals()->NetworkStopped(0); });
        QTRY_VERIFY(!w.IsRunning());
        QCOMPARE(link->IdentityCount(), std::size_t(0));
        FromEngineThread([&w] { w.Signals()->NetworkStarted(0); });
        QTRY_VERIFY(w.IsRunning());
        ClientInfo banned = Client(L"A4-45-19-00-00-0B", L"127.0.0.7");
        banned.isBan = 1;
        FromEngineThread([&w, &banned] { w.Signals()->ClientJoin(banned); });
        QTRY_COMPARE(w.BlackList()->Count(), 1);
        PhoneClient other;
        QVERIFY(other.Connect(link->Port(), "127.0.0.7"));
        QCOMPARE(Ask(other, R"({"command":"shutdown","data":"60"})"), 1);
        QCOMPARE(w.AuthorisedId(), QByteArray("A4-45-19-00-00-07"));
        // The phone's own join gives it its rights back.
        FromEngineThread(
            [&w] { w.Signals()->ClientJoin(Client(L"A4-45-19-00-00-07", L"127.0.0.9")); });
        QTRY_COMPARE(link->IdentityCount(), std::size_t(1));
        PhoneClient back;
        QVERIFY(back.Connect(link->Port(), "127.0.0.9"));
        QCOMPARE(Ask(back, R"({"command":"reboot"})"), 0);

        // The engine reports the phone at a new address: it is obeyed there,
        // and its former address no longer passes for it.
        FromEngineThread(
            [&w] { w.Signals()->ClientUpdate(Client(L"A4-45-19-00-00-07", L"127.0.0.10")); });
        PhoneClient moved;
        QVERIFY(moved.Connect(link->Port(), "127.0.0.10"));
        QTRY_COMPARE(Ask(moved, R"({"command":"reboot"})"), 0);
        QCOMPARE(Ask(back, R"({"command":"reboot"})"), 1);
    }

    void ACountTooLargeOrNotANumberStartsNothing() {
        AppSim sim;
        Orvanta w;
        Settle(w);
        for (const char* data : {"", "abc", "-5", "12x", "99999999999999999999999"})
            w.OnSockCommand(QStringLiteral("shutdown"), QString::fromLatin1(data));
        QVERIFY(Dialog(w) == nullptr);
        // A long count is held to what the hour box can show.
        w.OnSockCommand(QStringLiteral("shutdown"), QStringLiteral("99999999999"));
        QVERIFY(Dialog(w) != nullptr);
        QCOMPARE(Dialog(w)->Remaining(),
                 std::int64_t(PoweroffWidget::kMaxHours) * 3600 + 59 * 60 + 59);
        // "cancel" without a dialog is nothing.
        PoweroffWidget* dialog = Dialog(w);
        w.OnSockCommand(QStringLiteral("cancel"), QString());
        QVERIFY(dialog->IsStopped());
    }

    void AFailedStartShowsTheHelpPageOnlyWhenTheSiteSaysSo() {
        AppSim sim;
        Site on("<html>show_cscenter</html>");
        Orvanta w;
        Settle(w);
        w.Config().SetServiceSite(PageAddressCipher::Encipher(on.Address()));
        FromEngineThread([&w] { w.Signals()->NetworkStarted(1500); });
        QTRY_VERIFY_WITH_TIMEOUT(w.ServicePage() != nullptr && !w.ServicePage()->isHidden(), 10000);
        // The page view asks the site for the help page of the code.
        QTRY_VERIFY_WITH_TIMEOUT(on.Requests().contains("GET /index.html?error_code=1500 HTTP/1.1"),
                                 20000);
        QCOMPARE(w.ServicePage()->geometry(), QRect(14, 294, 318, 238));
        QCOMPARE(on.SwitchRequests(), 1);
        QTRY_COMPARE(w.ServiceChecks(), 0);
        // The next press of the open button hides it again.
        w.findChild<QPushButton*>("btnopenwifi")->click();
        QVERIFY(w.ServicePage()->isHidden());
    }

    void ASiteThatSaysNothingShowsNoPage() {
        AppSim sim;
        Site off("<html>nothing today</html>");
        Orvanta w;
        Settle(w);
        // No site in the settings: nobody is asked.
        FromEngineThread([&w] { w.Signals()->NetworkStarted(1500); });
        QTRY_COMPARE(w.LastStartCode(), 1500);
        QCOMPARE(w.ServiceChecks(), 0);
        w.Config().SetServiceSite(PageAddressCipher::Encipher(off.Address()));
        FromEngineThread([&w] { w.Signals()->NetworkStarted(1500); });
        QTRY_COMPARE(off.SwitchRequests(), 1);
        QTRY_COMPARE(w.ServiceChecks(), 0);
        QCoreApplication::processEvents();
        QVERIFY(w.ServicePage() == nullptr);
        // Nobody listening: no page either.
        w.Config().SetServiceSite(
            PageAddressCipher::Encipher(QStringLiteral("http://127.0.0.1:9")));
        FromEngineThread([&w] { w.Signals()->NetworkStarted(1500); });
        QTRY_COMPARE(w.ServiceChecks(), 0);
        QVERIFY(w.ServicePage() == nullptr);
    }

    void ReportsCarryTheEventAndItsValue() {
        AppSim sim;
        QCOMPARE(UsageReport::Query(UsageReport::kStart, 1500), QStringLiteral("a=START&s=5dc"));
        QCOMPARE(UsageReport::Query(UsageReport::kStop, 0), QStringLiteral("a=STOP&s=0"));
        QCOMPARE(UsageReport::Query(UsageReport::kStop, -1), QStringLiteral("a=STOP&s=N/A"));
        QCOMPARE(UsageReport::Query(UsageReport::kStart, -2),
                 QStringLiteral("a=START&s=fffffffffffffffe"));
        QCOMPARE(UsageReport::Query(UsageReport::kOnline, QStringLiteral("A4-45-19-00-00-01")),
                 QStringLiteral("a=ONL&c=A4-45-19-00-00-01"));
        QCOMPARE(UsageReport::Query(UsageReport::kOffline, QString()),
                 QStringLiteral("a=OFFL&c=N/A"));
        QCOMPARE(UsageReport::Query(UsageReport::kExit, -1), QStringLiteral("a=EXIT&s=N/A"));
        QCOMPARE(UsageReport::Query(42, -1), QStringLiteral("a=UNDEF&s=N/A"));
        QCOMPARE(UsageReport::Query(UsageReport::kRun, -1), QStringLiteral("a=RUN&s=N/A"));
        sim.Pc().processes.SetParentRuns(false);
        QCOMPARE(UsageReport::Query(UsageReport::kRun, -1), QStringLiteral("a=AUTORUN&s=N/A"));

        // The tool runs for real and is handed its four arguments.
        const std::string args = sim.Dir().File("args");
        qputenv("LUMARI_ARGS_FILE", QByteArray::fromStdString(args));
        sim.Pc().processes.MapToHost(UsageReport::kTool, LUMARI_ARG_RECORDER);
        UsageReport report;
        report.Report(UsageReport::kOnline, QStringLiteral("A4-45-19-00-00-01"));
        const QByteArray expected =
            QByteArray("--url\n") + UsageReport::kAddress + "\n-p\na=ONL&c=A4-45-19-00-00-01\n\n";
        auto recorded = [&args] {
            QFile file(QString::fromStdString(args));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QTRY_COMPARE(recorded(), expected);

        // A missing tool loses the report and nothing else.
        sim.Pc().processes.MapToHost(UsageReport::kTool, sim.Dir().File("missing"));
        report.Report(UsageReport::kExit, -1);
        qunsetenv("LUMARI_ARGS_FILE");
    }

    void ClosingWhileTheHotspotRunsReportsExitAndThenStop() {
        AppSim sim;
        auto position = [&sim](const std::string& query) {
            const auto lines = sim.Pc().processes.History();
            const std::string prefix =
                std::string("rpt_routine.exe --url ") + UsageReport::kAddress + " -p " + query;
            for (std::size_t i = 0; i < lines.size(); ++i)
                if (lines[i].rfind(prefix, 0) == 0)
                    return static_cast<long>(i);
            return -1L;
        };
        auto count = [&sim](const std::string& query) {
            const auto lines = sim.Pc().processes.History();
            return std::count_if(lines.begin(), lines.end(), [&query](const std::string& l) {
                return l.find(" -p " + query) != std::string::npos;
            });
        };
        {
            Orvanta w;
            w.show();
            Settle(w);
            FromEngineThread([&w] { w.Signals()->NetworkStarted(0); });
            QTRY_VERIFY(w.IsRunning());
            QCOMPARE(count("a=STOP&"), 0);
            w.close();
            QTRY_VERIFY(!w.IsRunning());
            QCOMPARE(count("a=EXIT&s=N/A"), 1);
            QCOMPARE(count("a=STOP&"), 1);
            QVERIFY(position("a=EXIT&s=N/A") < position("a=STOP&"));
        }
        // Closed while stopped: one EXIT and no further STOP.
        AppSim again;
        auto lines = [&again](const char* query) {
            const auto all = again.Pc().processes.History();
            return std::count_if(all.begin(), all.end(), [query](const std::string& l) {
                return l.find(std::string(" -p ") + query) != std::string::npos;
            });
        };
        Orvanta w;
        w.show();
        Settle(w);
        w.OnBtnCloseWiFiClicked();
        QTRY_VERIFY(!w.IsRunning());
        const auto stops = lines("a=STOP&");
        w.close();
        QCOMPARE(lines("a=EXIT&s=N/A"), 1);
        QCOMPARE(lines("a=STOP&"), stops);
    }

    void TheWindowReportsItsEvents() {
        AppSim sim;
        {
            Orvanta w;
            Settle(w);
            FromEngineThread([&w] { w.Signals()->NetworkStarted(0x2a); });
            QTRY_COMPARE(w.LastStartCode(), 0x2a);
            FromEngineThread(
                [&w] { w.Signals()->ClientJoin(Client(L"A4-45-19-00-00-09", L"192.168.23.9")); });
            QTRY_COMPARE(w.ClientCount(), 1u);
        }
        const auto lines = sim.Pc().processes.History();
        auto reported = [&lines](const std::string& query) {
            return std::count(lines.begin(), lines.end(),
                              std::string("rpt_routine.exe --url ") + UsageReport::kAddress +
                                  " -p " + query) > 0;
        };
        QVERIFY(reported("a=RUN&s=N/A"));
        QVERIFY(reported("a=START&s=2a"));
        QVERIFY(reported("a=ONL&c=A4-45-19-00-00-09"));
    }
};

APP_TEST(OutsideLinksTest);
#include "OutsideLinksTest.moc"

// The window's links to the outside on the simulated PC: commands of the
// authorised phone over a real loopback socket reaching the power-off
// dialog, the customer-service check asked of a local HTTP server and the
// page's rules, and the usage report started as a real process.
#include <QDeadlineTimer>
#include <QDir>
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
#include "CustomerServicePage.h"
#include "CustomerServiceWorker.h"
#include "ListWidget.h"
#include "Orvanta.h"
#include "PageAddressCipher.h"
#include "PhoneClient.h"
#include "PhoneRemote.h"
#include "PoweroffWidget.h"
#include "ServiceSite.h"
#include "UsageReport.h"
#include "VelWfssClientConnect.h"
#include "WhiteListItem.h"
#include "WiFiSignals.h"
#include "platform/sim/SimCodePage.h"
#include "platform/text/Ipv4Text.h"
#include "platform/text/MacText.h"

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

// The hotspot's adapter of the simulated PC carries 127.0.0.1, and the
// window's phone link is opened there as at a start of the hotspot; the
// neighbour table gives each client's address its MAC.
class HotspotLink {
public:
    HotspotLink(AppSim& sim, Orvanta& w) : m_sim(sim), m_window(w) {
        plat::AdapterInfo ap;
        ap.name = "ap0";
        ap.guid.Data1 = 0xAB;
        ap.ipv4.push_back({"127.0.0.1", "255.0.0.0"});
        m_ap = sim.Pc().network.AddAdapter(ap);
        Open();
    }
    void Open() { QVERIFY(m_window.Phone()->HotspotStarted(QStringLiteral("127.0.0.1"))); }
    void Neighbour(const char* ip, const char* mac) {
        plat::MacAddress bytes{};
        std::uint32_t address = 0;
        QVERIFY(plat::MacText::Parse(mac, &bytes));
        QVERIFY(plat::Ipv4Text::Parse(ip, &address));
        m_sim.Pc().network.AddNeighbour({m_ap, address, {bytes.begin(), bytes.end()}});
    }

private:
    AppSim& m_sim;
    Orvanta& m_window;
    plat::DWORD m_ap = 0;
};

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
        HotspotLink bed(sim, w);
        QVERIFY(link->Port() >= VelWfssClientConnect::kPort);
        bed.Neighbour("127.0.0.7", "A4-45-19-00-00-07");
        bed.Neighbour("127.0.0.8", "A4-45-19-00-00-08");
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
        // Asked again, the running count goes on, and the dialog stays in
        // sight: the phone cannot hide a shutdown from the person at the PC.
        QCOMPARE(Ask(phone, R"({"command":"shutdown","data":"10"})"), 0);
        QCOMPARE(Ask(phone, R"({"command":"cancel","data":"x"})"), 0);
        QTRY_VERIFY(dialog->IsStopped());
        QCOMPARE(Ask(phone, R"({"command":"shutdown","data":"7200"})"), 0);
        QTRY_VERIFY(!dialog->IsStopped());
        QCOMPARE(Ask(phone, R"({"command":"shutdown","data":"10"})"), 0);
        QCOMPARE(Ask(phone, R"({"command":"reboot"})"), 0);  // all before it handled
        QCoreApplication::processEvents();
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->Remaining(), 7200);

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
        sim.Pc().clock.Advance(seconds(7200));
        QCoreApplication::processEvents();
        QCOMPARE(sim.Pc().session.Shutdowns(), 0);

        // A phone asking for a shutdown in a second gets one in a minute,
        // in sight, and the person at the PC cancels it.
        sleepers = sim.Pc().clock.Sleepers();
        QCOMPARE(Ask(phone, R"({"command":"shutdown","data":"1"})"), 0);
        QTRY_VERIFY(dialog->isVisible() && !dialog->IsStopped());
        QCOMPARE(dialog->Remaining(), std::int64_t(PhoneRemote::kMinShutdownSeconds));
        QVERIFY(sim.Pc().clock.WaitForSleepers(sleepers + 1));
        sim.Pc().clock.Advance(seconds(30));
        QTRY_COMPARE(dialog->Remaining(), 30);
        auto* cancel = dialog->findChild<QPushButton*>("btnPoweroffCancel");
        QVERIFY(cancel != nullptr && cancel->isVisible());
        cancel->click();
        QVERIFY(dialog->IsStopped());
        QVERIFY(dialog->isVisible());
        sim.Pc().clock.Advance(seconds(60));
        QCoreApplication::processEvents();
        QCOMPARE(sim.Pc().session.Shutdowns(), 0);

        // Left alone, it runs out after the minute.
        sleepers = sim.Pc().clock.Sleepers();
        QCOMPARE(Ask(phone, R"({"command":"shutdown","data":"2"})"), 0);
        QTRY_VERIFY(dialog->isVisible() && !dialog->IsStopped());
        QVERIFY(sim.Pc().clock.WaitForSleepers(sleepers + 1));
        QCOMPARE(w.findChildren<PoweroffWidget*>().size(), 1);
        sim.Pc().clock.Advance(seconds(59));
        QTRY_COMPARE(dialog->Remaining(), 1);
        QCOMPARE(sim.Pc().session.Shutdowns(), 0);
        QVERIFY(sim.Pc().clock.WaitForSleepers(sleepers + 1));
        sim.Pc().clock.Advance(seconds(1));
        QTRY_COMPARE(sim.Pc().session.Shutdowns(), 1);
    }

    void ABannedPhoneIsObeyedNoMoreAndItsConnectionCloses() {
        AppSim sim;
        Orvanta w;
        Settle(w);
        HotspotLink bed(sim, w);
        VelWfssClientConnect* link = w.PhoneLink();
        bed.Neighbour("127.0.0.7", "A4-45-19-00-00-0A");
        FromEngineThread(
            [&w] { w.Signals()->ClientJoin(Client(L"A4-45-19-00-00-0A", L"127.0.0.7")); });
        QTRY_COMPARE(w.ClientList()->Count(), 1);
        // Kept in lower case in the settings: still that phone, for its row
        // and for the link alike.
        w.SetAuthorisedId("a4-45-19-00-00-0a");
        auto* row = qobject_cast<WhiteListItem*>(w.ClientList()->Find("A4-45-19-00-00-0A"));
        QVERIFY(row != nullptr && row->IsMarked());
        PhoneClient phone;
        QVERIFY(phone.Connect(link->Port(), "127.0.0.7"));
        QCOMPARE(Ask(phone, R"({"command":"reboot"})"), 0);

        w.MoveToBlackList(row);
        QCOMPARE(w.BlackList()->Count(), 1);
        QVERIFY(phone.ClosedByLink());
        PhoneClient again;
        QVERIFY(again.Connect(link->Port(), "127.0.0.7"));
        QCOMPARE(Ask(again, R"({"command":"shutdown","data":"60"})"), 1);
        QCoreApplication::processEvents();
        QVERIFY(Dialog(w) == nullptr);
    }

    void AfterTheHotspotStopsNoDeviceInheritsThePhonesAddress() {
        AppSim sim;
        Orvanta w;
        Settle(w);
        VelWfssClientConnect* link = w.PhoneLink();
        FromEngineThread([&w] { w.Signals()->NetworkStarted(0); });
        QTRY_COMPARE(w.LastStartCode(), 0);
        HotspotLink bed(sim, w);
        bed.Neighbour("127.0.0.7", "A4-45-19-00-00-07");
        bed.Neighbour("127.0.0.9", "A4-45-19-00-00-07");
        bed.Neighbour("127.0.0.10", "A4-45-19-00-00-07");
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
        // The link is closed with the hotspot.
        QVERIFY(!link->IsListening());
        QVERIFY(phone.ClosedByLink());
        FromEngineThread([&w] { w.Signals()->NetworkStarted(0); });
        QTRY_VERIFY(w.IsRunning());
        bed.Open();
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

    void TheHelpPageComesOnlyFromTheSecureSiteAndStaysOnIt() {
        AppSim sim;
        Site plain("<html>show_cscenter</html>");
        Orvanta w;
        Settle(w);
        // A site reached without TLS, whose answer and page anyone on the
        // way could change, is not asked at all.
        w.Config().SetServiceSite(PageAddressCipher::Encipher(plain.Address()));
        FromEngineThread([&w] { w.Signals()->NetworkStarted(1500); });
        QTRY_COMPARE(w.LastStartCode(), 1500);
        QCOMPARE(w.ServiceChecks(), 0);
        QCOMPARE(plain.SwitchRequests(), 0);

        // Pages load only from https addresses of the configured site.
        const QString site = QStringLiteral("https://127.0.0.1:9");
        w.Config().SetServiceSite(PageAddressCipher::Encipher(site));
        for (const QString& elsewhere :
             {plain.Address() + "/index.html?error_code=1500",
              QStringLiteral("https://127.0.0.2:9/index.html?error_code=1500"),
              QStringLiteral("https://127.0.0.1:10/index.html"),
              QStringLiteral("file:///etc/passwd")})
            w.LoadPage(elsewhere);
        QVERIFY(w.ServicePage() == nullptr);
        w.LoadPage(site + "/index.html?error_code=1500");
        if (!ServiceSite::CanShowInside()) {
            // As root the web engine would need its sandbox off: no page.
            QVERIFY(w.ServicePage() == nullptr);
        } else {
            QVERIFY(w.ServicePage() != nullptr && !w.ServicePage()->isHidden());
            QCOMPARE(w.ServicePage()->geometry(), QRect(14, 294, 318, 238));
            auto* page = qobject_cast<CustomerServicePage*>(
                qobject_cast<QWebEngineView*>(w.ServicePage())->page());
            QVERIFY(page != nullptr);
            QVERIFY(page->Accepts(QUrl(site + "/faq.html#wifi")));
            QVERIFY(!page->Accepts(QUrl("http://127.0.0.1:9/faq.html")));
            QVERIFY(!page->Accepts(QUrl("https://127.0.0.1.evil.example:9/")));
            // The next press of the open button hides it again.
            w.findChild<QPushButton*>("btnopenwifi")->click();
            QVERIFY(w.ServicePage()->isHidden());
        }
        // What counts as a site of its own.
        QVERIFY(ServiceSite::IsSecureSite(QUrl("https://help.example.com")));
        QVERIFY(!ServiceSite::IsSecureSite(QUrl("https://user:pw@help.example.com")));
        QVERIFY(!ServiceSite::IsSecureSite(QUrl("https:///nohost")));
        QVERIFY(ServiceSite::IsOnSite(QUrl("https://HELP.example.com:443/a"),
                                      QUrl("https://help.example.com")));
    }

    void TheSiteCheckAsksForTheCodesPageOnlyWhenSwitchedOn() {
        AppSim sim;
        Site on("<html>show_cscenter</html>");
        Site off("<html>nothing today</html>");
        auto check = [](const QString& site) {
            CustomerServiceWorker worker(site, 1500);
            QSignalSpy page(&worker, &CustomerServiceWorker::loadPage);
            QSignalSpy done(&worker, &CustomerServiceWorker::finished);
            worker.start();
            QDeadlineTimer deadline(20000);
            while (done.isEmpty() && !deadline.hasExpired())
                QTest::qWait(10);
            if (done.isEmpty())
                return QStringLiteral("no answer");
            return page.isEmpty() ? QString() : page.first().first().toString();
        };
        QCOMPARE(check(on.Address()), on.Address() + "/index.html?error_code=1500");
        QCOMPARE(on.SwitchRequests(), 1);
        QCOMPARE(check(off.Address()), QString());
        QCOMPARE(off.SwitchRequests(), 1);
        // Nobody listening: no page either.
        QCOMPARE(check(QStringLiteral("http://127.0.0.1:9")), QString());
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

        // Started by its full path beside the program, never by a bare name
        // that the current folder or the search path could answer.
        const auto history = sim.Pc().processes.History();
        QVERIFY(!history.empty());
        QCOMPARE(QString::fromStdString(history.back()), UsageReport::ToolPath() + " --url " +
                                                             UsageReport::kAddress +
                                                             " -p a=ONL&c=A4-45-19-00-00-01");
        QCOMPARE(UsageReport::ToolPath(),
                 QString::fromStdString(sim.Dir().File(UsageReport::kTool)));

        // A missing tool loses the report: nothing is started at all.
        QVERIFY(QFile::remove(UsageReport::ToolPath()));
        report.Report(UsageReport::kExit, -1);
        QCOMPARE(sim.Pc().processes.History().size(), history.size());
        qunsetenv("LUMARI_ARGS_FILE");
    }

    void TheReportToolInAChineseFolderIsStartedThere() {
        AppSim sim;
        // The program's folder has Chinese characters and comes in GBK.
        const QString folder = QString::fromStdString(sim.Dir().File("热点程序"));
        QVERIFY(QDir().mkpath(folder));
        QFile tool(folder + "/" + UsageReport::kTool);
        QVERIFY(tool.open(QIODevice::WriteOnly));
        tool.close();
        std::string gbk;
        QVERIFY(plat::SimCodePage::WideToChinese((folder + "/Zentavo").toStdWString(), &gbk));
        sim.Pc().os.SetCodePage(plat::SimCodePage::kChinese);
        sim.Pc().os.SetModuleFileName(gbk);
        QCOMPARE(UsageReport::ToolPath(), folder + "/" + UsageReport::kTool);
        UsageReport().Report(UsageReport::kExit, -1);
        QVERIFY(sim.Pc().processes.Refused().empty());
        const auto history = sim.Pc().processes.History();
        QVERIFY(!history.empty());
        QCOMPARE(QString::fromUtf8(history.back()), folder + "/" + UsageReport::kTool + " --url " +
                                                        UsageReport::kAddress + " -p a=EXIT&s=N/A");
    }

    void ClosingWhileTheHotspotRunsReportsExitAndThenStop() {
        AppSim sim;
        auto position = [&sim](const std::string& query) {
            const auto lines = sim.Pc().processes.History();
            const std::string prefix = UsageReport::ToolPath().toStdString() + " --url " +
                                       UsageReport::kAddress + " -p " + query;
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
        const std::string tool = UsageReport::ToolPath().toStdString();
        auto reported = [&lines, &tool](const std::string& query) {
            return std::count(lines.begin(), lines.end(),
                              tool + " --url " + UsageReport::kAddress + " -p " + query) > 0;
        };
        QVERIFY(reported("a=RUN&s=N/A"));
        QVERIFY(reported("a=START&s=2a"));
        QVERIFY(reported("a=ONL&c=A4-45-19-00-00-09"));
    }
};

APP_TEST(OutsideLinksTest);
#include "OutsideLinksTest.moc"

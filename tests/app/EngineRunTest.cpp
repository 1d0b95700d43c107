// The window with the engine running on a simulated PC that can host a
// hotspot: clients joining through the engine's client monitor, the row
// actions reaching the engine, and what survives a restart of the program.
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest/QtTest>
#include <chrono>

#include "AppSim.h"
#include "AppTestRegistry.h"
#include "AuthWidget.h"
#include "BlackListItem.h"
#include "Common/LumariCore.h"
#include "EngineBed.h"
#include "ListWidget.h"
#include "Orvanta.h"
#include "PhoneRemote.h"
#include "StartFailure.h"
#include "VelWfssClientConnect.h"
#include "WhiteListItem.h"
#include "WiFiConfig.h"
#include "WiFiSignals.h"
#include "pellion/DhcpPacket.h"
#include "pellion/DhcpServer.h"

using namespace std::chrono_literals;

namespace {

const std::wstring kMac = L"A4-45-19-00-00-01";

QString State(const Orvanta& w) {
    return w.findChild<QLabel*>("lblstate")->text();
}

// One second of the PC's clock: the engine's client poll and the window's
// statistics both run once.
void Second(AppSim& sim) {
    QVERIFY(sim.Pc().clock.WaitForSleepers(1));
    sim.Pc().clock.Advance(1s);
}

void WaitRunning(Orvanta& w) {
    QTRY_VERIFY_WITH_TIMEOUT(!w.IsBusy(), 10000);
    QCOMPARE(State(w), QStringLiteral("WiFi开启成功"));
}

// Seconds of the PC's clock, each once `sleepers` threads wait on it, until
// the window lists a client; then its row of kMac.
WhiteListItem* JoinedRow(AppSim& sim, Orvanta& w, int sleepers) {
    for (int i = 0; i < 4 && w.ClientList()->Count() == 0; ++i) {
        if (!sim.Pc().clock.WaitForSleepers(sleepers))
            break;
        sim.Pc().clock.Advance(1s);
        QTest::qWait(20);
    }
    for (int i = 0; i < 250 && w.ClientList()->Count() == 0; ++i)
        QTest::qWait(20);
    return qobject_cast<WhiteListItem*>(w.ClientList()->Find(QString::fromStdWString(kMac)));
}

ClientInfo Stored(Orvanta& w) {
    ClientInfo c;
    w.Core()->GetClient(kMac, c);
    return c;
}

}  // namespace

class EngineRunTest : public QObject {
    Q_OBJECT

private slots:
    void RowActionsReachTheEngineAndSurviveARestart() {
        AppSim sim;
        enginebed::Prepare(sim.Pc());
        const QString nick = QStringLiteral("客厅的📱\u202eRTL\tx");
        {
            Orvanta w;
            w.show();
            WaitRunning(w);
            sim.Pc().nat.Engine().AddPeer("A4-45-19-00-00-01", "192.168.23.2");
            for (int i = 0; i < 3 && w.ClientList()->Count() == 0; ++i) {
                Second(sim);
                QTest::qWait(20);
            }
            QTRY_COMPARE(w.ClientList()->Count(), 1);
            QCOMPARE(w.ClientCount(), 1u);
            auto* row = qobject_cast<WhiteListItem*>(w.ClientList()->Find("A4-45-19-00-00-01"));
            QVERIFY(row != nullptr);

            // Traffic reaches the statistics on the next second.
            sim.Pc().nat.Engine().Traffic("A4-45-19-00-00-01", 1024 * 1024, 2048 * 1024);
            Second(sim);
            QTRY_VERIFY(w.TotalKB() >= 3072);
            QVERIFY(w.findChild<QLabel*>("lblallflow")->text().endsWith("M"));

            // Rename: the engine keeps the text exactly as typed.
            row->StartRename();
            row->NameField()->setText(nick);
            emit row->NameField()->editingFinished();
            QCOMPARE(QString::fromStdWString(Stored(w).nickName), nick);

            // Speed: half the slider is 512 KB/s both ways.
            row->OnActionLimitSpeed();
            row->Slider()->setValue(50);
            emit row->MouseLeave();
            QCOMPARE(Stored(w).speedLimitedDown, 512);
            QCOMPARE(Stored(w).speedLimitedUp, 512);

            // Black list: the row moves and the engine bans the client.
            row->OnActionBlack();
            QCOMPARE(w.ClientList()->Count(), 0);
            QCOMPARE(w.BlackList()->Count(), 1);
            QCOMPARE(w.ClientCount(), 0u);
            QCOMPARE(Stored(w).isBan, 1);
        }
        // The program starts again: the banned client rejoins into the black
        // list under its nickname.
        Orvanta again;
        again.show();
        WaitRunning(again);
        sim.Pc().nat.Engine().AddPeer("A4-45-19-00-00-01", "192.168.23.2");
        for (int i = 0; i < 3 && again.BlackList()->Count() == 0; ++i) {
            Second(sim);
            QTest::qWait(20);
        }
        QTRY_COMPARE(again.BlackList()->Count(), 1);
        QCOMPARE(again.ClientList()->Count(), 0);
        ListWidgetItem* black = again.BlackList()->Find("A4-45-19-00-00-01");
        QCOMPARE(black->FullName(), nick);
        // Off the black list: back in the client list with its stored limit.
        qobject_cast<BlackListItem*>(black)->RemoveButton()->click();
        QCOMPARE(again.BlackList()->Count(), 0);
        QCOMPARE(again.ClientList()->Count(), 1);
        QCOMPARE(Stored(again).isBan, 0);
        auto* row = qobject_cast<WhiteListItem*>(again.ClientList()->Find("A4-45-19-00-00-01"));
        QCOMPARE(row->Slider()->value(), 50);
        QCOMPARE(row->SpeedLabel()->text(), QStringLiteral("限速: 512 KB/S"));
        QCOMPARE(row->FullName(), nick);
    }

    void MarkingThePhoneAuthorisesItUntilUnmarked() {
        AppSim sim;
        enginebed::Prepare(sim.Pc());
        {
            Orvanta w;
            w.show();
            WaitRunning(w);
            sim.Pc().nat.Engine().AddPeer("A4-45-19-00-00-01", "192.168.23.2");
            for (int i = 0; i < 3 && w.ClientList()->Count() == 0; ++i) {
                Second(sim);
                QTest::qWait(20);
            }
            QTRY_COMPARE(w.ClientList()->Count(), 1);
            auto* row = qobject_cast<WhiteListItem*>(w.ClientList()->Find("A4-45-19-00-00-01"));
            QVERIFY(!row->IsMarked());
            // The first mark authorises the phone and shows the dialog once.
            row->OnActionMark(true);
            QCOMPARE(w.AuthorisedId(), QByteArray("A4-45-19-00-00-01"));
            QVERIFY(row->IsMarked());
            QPointer<AuthWidget> auth = w.findChild<AuthWidget*>();
            QVERIFY(auth && auth->isVisible());
            QCOMPARE(auth->findChild<QLabel*>("lbl_auth_name")->text(),
                     QStringLiteral("A4-45-19-00-00-01"));
            QVERIFY(!w.Config().ShowAuthHint());
            // Unmarking revokes the phone, and the open dialog says so.
            row->OnActionMark(false);
            QVERIFY(w.AuthorisedId().isEmpty());
            QVERIFY(!row->IsMarked());
            QCOMPARE(auth->findChild<QLabel*>("lbl_auth_dev")->text(),
                     QStringLiteral("当前无授权设备"));
            auth->close();
            QTRY_VERIFY(auth.isNull());
            w.SaveSettings();
            WiFiConfig saved;
            QVERIFY(saved.Load(QString::fromStdString(sim.SettingsFile())));
            QVERIFY(saved.PhoneId().isEmpty());
            // Marked again: no second dialog.
            row->OnActionMark(true);
            QVERIFY(w.findChild<AuthWidget*>() == nullptr);
            w.SaveSettings();
        }
        // The next start authorises the stored phone, and its row shows it.
        Orvanta again;
        again.show();
        WaitRunning(again);
        QCOMPARE(again.AuthorisedId(), QByteArray("A4-45-19-00-00-01"));
        sim.Pc().nat.Engine().AddPeer("A4-45-19-00-00-01", "192.168.23.2");
        for (int i = 0; i < 3 && again.ClientList()->Count() == 0; ++i) {
            Second(sim);
            QTest::qWait(20);
        }
        QTRY_COMPARE(again.ClientList()->Count(), 1);
        QVERIFY(qobject_cast<WhiteListItem*>(again.ClientList()->Find("A4-45-19-00-00-01"))
                    ->IsMarked());
        QCOMPARE(again.PhoneLink()->IdentityCount(), std::size_t(1));
        // The link was opened on the hotspot's own address, and closes
        // with the hotspot.
        QVERIFY(!again.Phone()->HotspotAddress().isEmpty());
        QCOMPARE(again.Phone()->HotspotAddress(),
                 QString::fromStdWString(again.Core()->GetHostIp()));
        again.OnBtnCloseWiFiClicked();
        QTRY_VERIFY_WITH_TIMEOUT(!again.IsRunning(), 10000);
        QVERIFY(again.Phone()->HotspotAddress().isEmpty());
        QVERIFY(!again.PhoneLink()->IsListening());
    }

    void SavingWhileRunningCountsTheRunOnce() {
        AppSim sim;
        enginebed::Prepare(sim.Pc());
        Orvanta w;
        WaitRunning(w);
        sim.Pc().nat.Engine().AddPeer("A4-45-19-00-00-01", "192.168.23.2");
        Second(sim);
        sim.Pc().nat.Engine().Traffic("A4-45-19-00-00-01", 1024 * 1024, 1024 * 1024);
        Second(sim);
        QTRY_COMPARE(w.TotalKB(), std::int64_t(2048));
        w.SaveSettings();
        w.SaveSettings();
        Second(sim);
        QTest::qWait(50);
        QCOMPARE(w.TotalKB(), std::int64_t(2048));
        WiFiConfig saved;
        QVERIFY(saved.Load(QString::fromStdString(sim.SettingsFile())));
        QCOMPARE(saved.Traffic(), std::int64_t(2048));
    }

    // The total shown and saved only grows and counts every kilobyte once:
    // through a driver that counts a rejoining client from zero, and through
    // a stop and start after which a client that left is not counted again.
    void TotalsSurviveARejoinAndAStopAndStart() {
        AppSim sim;
        enginebed::Prepare(sim.Pc());
        auto& peers = sim.Pc().nat.Engine();
        Orvanta w;
        WaitRunning(w);
        auto speed = [&] { return w.findChild<QLabel*>("lblcurrentspeed")->text(); };
        auto saved = [&] {
            w.SaveSettings();
            WiFiConfig file;
            return file.Load(QString::fromStdString(sim.SettingsFile())) ? file.Traffic() : -1;
        };
        peers.AddPeer("A4-45-19-00-00-01", "192.168.23.2");
        peers.AddPeer("A4-45-19-00-00-02", "192.168.23.3");
        Second(sim);  // both join
        peers.Traffic("A4-45-19-00-00-01", 1024 * 1024, 1024 * 1024);
        peers.Traffic("A4-45-19-00-00-02", 0, 1024 * 1024);
        Second(sim);
        QTRY_COMPARE(w.TotalKB(), std::int64_t(3072));

        // The driver drops the first client, which comes straight back.
        QCOMPARE(peers.Forget({0xA4, 0x45, 0x19, 0, 0, 1}), plat::DWORD{0});
        peers.AddPeer("A4-45-19-00-00-01", "192.168.23.2");
        peers.Traffic("A4-45-19-00-00-01", 0, 512 * 1024);
        Second(sim);
        QTRY_COMPARE(w.TotalKB(), std::int64_t(3584));
        QCOMPARE(speed(), QStringLiteral("512K/s"));
        QCOMPARE(saved(), std::int64_t(3584));

        // The second client leaves; then a stop and a start.
        peers.RemovePeer("A4-45-19-00-00-02");
        w.OnBtnCloseWiFiClicked();
        QTRY_VERIFY_WITH_TIMEOUT(!w.IsRunning() && !w.IsBusy(), 10000);
        QCOMPARE(saved(), std::int64_t(3584));
        w.OnBtnOpenWiFiClicked();
        WaitRunning(w);
        Second(sim);  // the first client joins the new run
        QTest::qWait(50);
        QCOMPARE(w.TotalKB(), std::int64_t(3584));
        QVERIFY2(!speed().startsWith('-'), qPrintable(speed()));
        peers.Traffic("A4-45-19-00-00-01", 0, 1024 * 1024);
        Second(sim);
        QTRY_COMPARE(w.TotalKB(), std::int64_t(4608));
        QCOMPARE(saved(), std::int64_t(4608));
        QCOMPARE(w.findChild<QLabel*>("lblallflow")->text(), QStringLiteral("4.50M"));
    }

    // The system's own mobile hotspot (Windows 10 with a Wi-Fi driver that has
    // no hosted network) limits and bans nobody: the window says so, and the
    // row shows what really holds.
    void InTheSystemsHotspotARefusedLimitOrBanIsSaidAndTheRowStays() {
        AppSim sim;
        enginebed::Prepare(sim.Pc());
        sim.Pc().os.SetWindows(plat::SimWindows::Ten);
        plat::SimWlanInterface card;
        QVERIFY(sim.Pc().wlan.Network().GetInterface(enginebed::GuidOf("Wi-Fi"), &card));
        card.hostedNetworkCapable = 0;
        QVERIFY(sim.Pc().wlan.Network().UpdateInterface(card.guid, card));
        Orvanta w;
        w.show();
        WaitRunning(w);
        QCOMPARE(w.Core()->ClientControl(), 1011);
        QVERIFY(sim.Pc().hotspot.AddClient(L"a4:45:19:00:00:01", {L"192.168.137.20"}));
        WhiteListItem* row = JoinedRow(sim, w, 2);
        QVERIFY(row != nullptr);

        row->OnActionLimitSpeed();
        row->Slider()->setValue(50);
        QCOMPARE(row->SpeedLabel()->text(), QStringLiteral("限速: 512 KB/S"));
        emit row->MouseLeave();
        QCOMPARE(State(w), QStringLiteral("当前热点方式无法限速"));
        QCOMPARE(row->Slider()->value(), 100);
        QCOMPARE(row->SpeedLabel()->text(), QStringLiteral("不限速"));
        QCOMPARE(Stored(w).speedLimitedDown, 0);

        row->OnActionBlack();
        QCOMPARE(State(w), QStringLiteral("当前热点方式无法拉黑设备"));
        QCOMPARE(w.ClientList()->Find(QString::fromStdWString(kMac)), row);
        QCOMPARE(w.BlackList()->Count(), 0);
        QCOMPARE(w.ClientCount(), 1u);
        QCOMPARE(Stored(w).isBan, 0);
    }

    // Sharing through ICS cannot cut a device that has its address: the ban
    // is kept (the device gets no address any more), the row moves, and the
    // window says the device was not cut.
    void AnIcsBanIsKeptAndSaysTheDeviceWasNotCut() {
        AppSim sim;
        enginebed::Prepare(sim.Pc(), false);
        Orvanta w;
        w.show();
        WaitRunning(w);
        auto& server = pellion::DhcpServer::Instance();
        const dhcptest::Mac mac = {0xA4, 0x45, 0x19, 0, 0, 1};
        const auto discover = dhcptest::Packet(1, mac).Bytes();
        const auto offer = dhcptest::Parse(server.Process(discover.data(), discover.size()));
        QVERIFY(offer && offer->yiaddr != 0);
        const auto request = dhcptest::Packet(3, mac).Requested(offer->yiaddr).Bytes();
        QVERIFY(dhcptest::Parse(server.Process(request.data(), request.size())));
        WhiteListItem* row = JoinedRow(sim, w, 1);
        QVERIFY(row != nullptr);

        row->OnActionBlack();
        QCOMPARE(State(w), QStringLiteral("已拉黑，但当前共享方式无法立即断开该设备"));
        QCOMPARE(w.findChild<QLabel*>("lblstate")->toolTip(),
                 QStringLiteral("该设备已不能再获取地址，但在它重新连接之前仍可上网。"));
        QCOMPARE(w.ClientList()->Count(), 0);
        QCOMPARE(w.BlackList()->Count(), 1);
        QCOMPARE(Stored(w).isBan, 1);
        const auto again = dhcptest::Packet(1, mac).Bytes();
        const auto refused = dhcptest::Parse(server.Process(again.data(), again.size()));
        QVERIFY(!refused || refused->yiaddr == 0);
    }

    void AFailedStartOfTheEngineShowsItsCode() {
        AppSim sim;  // no Wi-Fi card: the start fails
        Orvanta w;
        w.show();
        QTRY_VERIFY_WITH_TIMEOUT(!w.IsBusy(), 10000);
        const int code = w.LastStartCode();
        QVERIFY(code > 0);
        QCOMPARE(State(w), StartFailure::StatusText(code));
        QVERIFY(w.FailureCause()->isVisible());
        QCOMPARE(w.FailureCause()->text(), StartFailure::Cause(code));
    }
};

APP_TEST(EngineRunTest);
#include "EngineRunTest.moc"

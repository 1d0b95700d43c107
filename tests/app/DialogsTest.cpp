// The small windows over the main window on the simulated PC: the options
// panel and its price rule, the close prompt, the scheduled power-off
// countdown on the manual clock, the driver installation offer and the
// device-authorisation dialog.
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest/QtTest>
#include <algorithm>
#include <chrono>
#include <thread>

#include "AppSim.h"
#include "AppTestRegistry.h"
#include "AuthWidget.h"
#include "ClockTimer.h"
#include "CloseNotifyWidget.h"
#include "DrvInstWidget.h"
#include "OptionWidget.h"
#include "Orvanta.h"
#include "PageAddressCipher.h"
#include "PoweroffWidget.h"
#include "SystemTray.h"
#include "WiFiConfig.h"
#include "WiFiSignals.h"
#include "platform/sim/SimCodePage.h"
#include "platform/text/CommandLine.h"

using std::chrono::seconds;

namespace {

template <class T>
T* Child(const QObject& w, const char* name) {
    T* child = w.findChild<T*>(name);
    if (child == nullptr)
        qFatal("no child %s", name);
    return child;
}

void Settle(Orvanta& w) {
    QTRY_VERIFY_WITH_TIMEOUT(!w.IsBusy(), 5000);
}

WiFiConfig Saved(const AppSim& sim) {
    WiFiConfig c;
    if (!c.Load(QString::fromStdString(sim.SettingsFile())))
        qFatal("no settings file");
    return c;
}

bool Ran(AppSim& sim, const std::string& needle) {
    const auto lines = sim.Pc().processes.History();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(needle) != std::string::npos; });
}

QString Tip(const PoweroffWidget& d) {
    return Child<QLabel>(d, "lblTip")->text();
}

QString Boxes(const PoweroffWidget& d) {
    return QStringLiteral("%1:%2:%3")
        .arg(Child<QSpinBox>(d, "spbxHour")->value())
        .arg(Child<QSpinBox>(d, "spbxMin")->value())
        .arg(Child<QSpinBox>(d, "spbxSec")->value());
}

// The program's directory in the back-slash form of the tools' command lines.
std::string ProgramDir(const AppSim& sim) {
    std::string dir = sim.Dir().File("");
    while (!dir.empty() && (dir.back() == '/' || dir.back() == '\\'))
        dir.pop_back();
    std::replace(dir.begin(), dir.end(), '/', '\\');
    return dir;
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void PriceIsCheckedWhileEditingAndAgainOnClose() {
        AppSim sim;
        Orvanta w;
        Settle(w);
        OptionWidget* options = w.OptionPanel();
        auto* price = Child<QLineEdit>(*options, "txtmoneyperm");
        auto* error = Child<QLabel>(*options, "lblmoneyerror");
        QCOMPARE(price->text(), QStringLiteral("0.3"));

        price->setText("1.5");
        emit price->editingFinished();
        QCOMPARE(price->text(), QStringLiteral("1.5"));
        QVERIFY(error->isHidden());
        for (const char* refused : {"2", "0", "abc", "-1", "1,5", ""}) {
            price->setText(refused);
            emit price->editingFinished();
            QCOMPARE(price->text(), QStringLiteral("0.3"));
            QCOMPARE(price->selectedText(), QStringLiteral("0.3"));
            QVERIFY2(!error->isHidden(), refused);
            QCOMPARE(error->text(), QStringLiteral("输入的数据必须大于0小于2"));
        }
        price->setText("1.5");
        emit price->editingFinished();
        QVERIFY(error->isHidden());
        Child<QPushButton>(*options, "btnclose")->click();
        QCOMPARE(w.Config().Price(), 1.5);
        QCOMPARE(Saved(sim).Price(), 1.5);

        // A stored 2 is not edited and survives the close; text that is no
        // number becomes the default there.
        w.Config().SetPrice(2);
        options->LoadFromConfig();
        QCOMPARE(price->text(), QStringLiteral("2.0"));
        options->OnBtnCloseClicked();
        QCOMPARE(Saved(sim).Price(), 2.0);
        price->setText("x");
        options->OnBtnCloseClicked();
        QCOMPARE(Saved(sim).Price(), 0.3);
    }

    void OptionBoxesReachTheRecordAndTheSystem() {
        AppSim sim;
        {
            Orvanta w;
            Settle(w);
            OptionWidget* options = w.OptionPanel();
            auto* logon = Child<QCheckBox>(*options, "ckrunonstart");
            auto* sleep = Child<QCheckBox>(*options, "ckforbidsleep");
            auto* ask = Child<QCheckBox>(*options, "cknotifyonclose");
            // A first start: the boxes show the system as it is.
            QVERIFY(!logon->isChecked());
            QVERIFY(!sleep->isChecked());
            QVERIFY(ask->isChecked());

            logon->click();
            QVERIFY(sim.Pc().session.IsRunAtLogon("Zentavo"));
            QVERIFY(w.Config().RunAtLogon());
            sleep->click();
            QVERIFY(sim.Pc().session.Awake());
            QVERIFY(w.Config().ForbidSleep());
            ask->click();
            QVERIFY(!w.Config().AskOnClose());
            Child<QPushButton>(*options, "btnclose")->click();
            const WiFiConfig saved = Saved(sim);
            QVERIFY(saved.RunAtLogon() && saved.ForbidSleep() && !saved.AskOnClose());

            sleep->click();
            QVERIFY(!sim.Pc().session.Awake());
            logon->click();
            QVERIFY(!sim.Pc().session.IsRunAtLogon("Zentavo"));

            // The next start shows the stored choices.
            w.Config().SetForbidSleep(true);
            w.SaveSettings();
        }
        Orvanta again;
        Settle(again);
        QVERIFY(Child<QCheckBox>(*again.OptionPanel(), "ckforbidsleep")->isChecked());
        QVERIFY(!Child<QCheckBox>(*again.OptionPanel(), "cknotifyonclose")->isChecked());
    }

    // A device that joins for the first time is named with its maker in a
    // tray message, a random address as such; the box turns the message off
    // and the choice is kept.
    void NewDeviceMessageNamesTheDeviceAndFollowsItsBox() {
        AppSim sim;
        Orvanta w;
        Settle(w);
        auto* box = Child<QCheckBox>(*w.OptionPanel(), "cknewdevice");
        QVERIFY(box->isChecked());
        ClientInfo fresh;
        fresh.mac = L"00-1A-2B-3C-4D-5F";
        fresh.name = L"laptop";
        fresh.manufactory = L"Maker Inc";
        fresh.isNew = 1;
        w.Signals()->ClientJoin(fresh);
        QTRY_VERIFY(!w.Tray()->LastMessage().isEmpty());
        QCOMPARE(w.Tray()->LastMessage(),
                 QStringLiteral("laptop（Maker Inc，00-1A-2B-3C-4D-5F）第一次连接到热点"));
        ClientInfo known = fresh;
        known.isNew = 0;
        QVERIFY(!w.Tray()->AlertNewDevice(known));

        ClientInfo random;
        random.mac = L"DA-A1-19-00-00-01";
        random.manufactory = L"Maker Inc";  // a random address names no maker, whatever matched
        random.isNew = 1;
        box->click();
        QVERIFY(!w.Config().NewDeviceAlerts());
        QVERIFY(!w.Tray()->AlertNewDevice(random));
        Child<QPushButton>(*w.OptionPanel(), "btnclose")->click();
        QVERIFY(!Saved(sim).NewDeviceAlerts());
        box->click();
        QVERIFY(w.Tray()->AlertNewDevice(random));
        QCOMPARE(w.Tray()->LastMessage(),
                 QStringLiteral("DA-A1-19-00-00-01（随机MAC地址，不指明厂商，DA-A1-19-00-00-01）"
                                "第一次连接到热点"));
    }

    // Without administrator rights the Run key refuses the entry: the box
    // and the record stay off instead of showing an entry nobody wrote. With
    // rights the entry names the program in quotes, so that a folder with a
    // blank does not start another program.
    void ARefusedRunEntryIsNotShownAsDone() {
        AppSim sim;
        const std::string folder = sim.Dir().File("Program Files");
        sim.Pc().os.SetModuleFileName(folder + "/Zentavo.exe");
        Orvanta w;
        Settle(w);
        auto* logon = Child<QCheckBox>(*w.OptionPanel(), "ckrunonstart");
        QVERIFY(!logon->isChecked());
        sim.Pc().os.SetElevated(false);
        logon->click();
        QVERIFY(!sim.Pc().session.IsRunAtLogon("Zentavo"));
        QVERIFY(!logon->isChecked());
        QVERIFY(!w.Config().RunAtLogon());

        sim.Pc().os.SetElevated(true);
        logon->click();
        QVERIFY(logon->isChecked());
        QVERIFY(w.Config().RunAtLogon());
        plat::RegValue value;
        QCOMPARE(sim.Pc().registry.QueryValue(plat::RegRoot::LocalMachine,
                                              plat::SimSession::kRunKey, "Zentavo", &value),
                 0);
        const std::string data(value.data.begin(), value.data.end());
        const auto words = plat::CommandLine::Split(data.c_str());
        QCOMPARE(words.size(), std::size_t{1});
        QCOMPARE(words[0], folder + "/Zentavo.exe");
    }

    void HidingWithoutAskingAgainIsRememberedForLaterCloses() {
        AppSim sim;
        Orvanta w;
        w.show();
        Settle(w);
        auto* prompt = qobject_cast<CloseNotifyWidget*>(w.ClosePrompt());
        QVERIFY(prompt != nullptr);
        auto* close = Child<QPushButton>(w, "btnclose");
        close->click();
        QVERIFY(prompt->isVisible());
        QVERIFY(w.isVisible());
        QCOMPARE(Child<QLabel>(*prompt, "lblNotify")->text(),
                 QStringLiteral("您点击了关闭按钮 , 是想 :"));

        // Cancel keeps everything as it was.
        Child<QPushButton>(*prompt, "btnCancel")->click();
        QVERIFY(!prompt->isVisible());
        QVERIFY(w.Config().AskOnClose());

        close->click();
        Child<QRadioButton>(*prompt, "rbtnhide")->click();
        Child<QCheckBox>(*prompt, "ckclosenotifywgt")->setChecked(true);
        Child<QPushButton>(*prompt, "btnOk")->click();
        QVERIFY(!prompt->isVisible());
        QVERIFY(!w.isVisible() || w.isMinimized());
        QVERIFY(!w.IsQuitting());
        QCOMPARE(w.Config().CloseAction(), 1);
        QVERIFY(!w.Config().AskOnClose());
        QVERIFY(!Saved(sim).AskOnClose());
        // The prompt's run-at-logon box was ticked: the system runs the
        // program at logon, and the options panel says so.
        QVERIFY(sim.Pc().session.IsRunAtLogon("Zentavo"));
        QVERIFY(Child<QCheckBox>(*w.OptionPanel(), "ckrunonstart")->isChecked());
        QVERIFY(!Child<QCheckBox>(*w.OptionPanel(), "cknotifyonclose")->isChecked());

        w.showNormal();
        QVERIFY(w.isVisible());
        close->click();
        QVERIFY(!prompt->isVisible());
        QVERIFY(!w.isVisible() || w.isMinimized());
        QVERIFY(!w.IsQuitting());
    }

    void ThirtyMinutesWarnAMinuteBeforeAndThenPowerOff() {
        AppSim sim;
        PoweroffWidget dialog;
        QSignalSpy poweroff(&dialog, &PoweroffWidget::Poweroff);
        QCOMPARE(dialog.objectName(), QStringLiteral("PoweroffWidget"));
        dialog.SetSeconds(30 * 60);
        QCOMPARE(Boxes(dialog), QStringLiteral("0:30:0"));
        QVERIFY(dialog.IsStopped());
        Child<QPushButton>(dialog, "btnPoweroffOk")->click();
        QVERIFY(!dialog.IsStopped());
        QVERIFY(Child<QPushButton>(dialog, "btnPoweroffOk")->isHidden());
        QVERIFY(!Child<QPushButton>(dialog, "btnPoweroffCancel")->isHidden());
        QVERIFY(!Child<QSpinBox>(dialog, "spbxMin")->isEnabled());
        const QString moment = Tip(dialog);
        Child<QPushButton>(dialog, "btnClose")->click();  // hides; the count goes on
        QVERIFY(!dialog.isVisible());

        QVERIFY(sim.Pc().clock.WaitForSleepers(1));
        sim.Pc().clock.Advance(seconds(29 * 60 - 1));
        QTRY_COMPARE(dialog.Remaining(), 61);
        QCOMPARE(Boxes(dialog), QStringLiteral("0:1:1"));
        QCOMPARE(Tip(dialog), moment);  // the moment stays while counting
        QVERIFY(!dialog.isVisible());
        sim.Pc().clock.Advance(seconds(1));
        QTRY_VERIFY(dialog.isVisible());
        QCOMPARE(dialog.Remaining(), 60);
        sim.Pc().clock.Advance(seconds(59));
        QTRY_COMPARE(dialog.Remaining(), 1);
        QCOMPARE(poweroff.count(), 0);
        sim.Pc().clock.Advance(seconds(1));
        QTRY_COMPARE(poweroff.count(), 1);
        QCOMPARE(Boxes(dialog), QStringLiteral("0:0:0"));
        QVERIFY(!dialog.Timer()->isActive());
        QVERIFY(dialog.IsStopped());  // ready for another try
    }

    void TheMomentIsTodayOrTomorrowAndStopLetsTheBoxesBeEdited() {
        AppSim sim;
        const QDateTime lateEvening(QDate(2026, 12, 8), QTime(23, 59, 30));
        sim.Pc().clock.SetWall(
            std::chrono::system_clock::from_time_t(lateEvening.toSecsSinceEpoch()));
        PoweroffWidget dialog;
        dialog.SetSeconds(20);
        QCOMPARE(Tip(dialog), QStringLiteral("今天 23:59:50"));
        dialog.SetSeconds(60 + 35);
        QCOMPARE(Tip(dialog), QStringLiteral("明天 0:01:05"));
        Child<QSpinBox>(dialog, "spbxHour")->setValue(2);
        QCOMPARE(Tip(dialog), QStringLiteral("明天 2:01:05"));

        dialog.on_btnPoweroffOk_clicked();
        QVERIFY(sim.Pc().clock.WaitForSleepers(1));
        sim.Pc().clock.Advance(seconds(5));
        QTRY_COMPARE(dialog.Remaining(), 2 * 3600 + 60 + 30);
        Child<QPushButton>(dialog, "btnPoweroffCancel")->click();
        QVERIFY(dialog.IsStopped());
        QVERIFY(!dialog.Timer()->isActive());
        QVERIFY(Child<QSpinBox>(dialog, "spbxSec")->isEnabled());
        QVERIFY(!Child<QPushButton>(dialog, "btnPoweroffOk")->isHidden());
        sim.Pc().clock.Advance(seconds(5));
        QCoreApplication::processEvents();
        QCOMPARE(dialog.Remaining(), 2 * 3600 + 60 + 30);
        // Stopped, the boxes set the moment again from the time now.
        Child<QSpinBox>(dialog, "spbxHour")->setValue(0);
        QCOMPARE(Tip(dialog), QStringLiteral("明天 0:01:10"));
    }

    void TheTrayEntryShowsAndHidesOneDialog() {
        AppSim sim;
        Orvanta w;
        Settle(w);
        QVERIFY(w.findChild<PoweroffWidget*>("PoweroffWidget") == nullptr);
        w.OnActionPoweroff();
        auto* dialog = w.findChild<PoweroffWidget*>("PoweroffWidget");
        QVERIFY(dialog != nullptr);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Poweroff"));
        QCOMPARE(Child<QLabel>(*dialog, "lblTitle")->text(), QStringLiteral("Orvanta - 定时关机"));
        w.OnActionPoweroff();
        QVERIFY(!dialog->isVisible());
        // Shown again, it tells the moment from the time it is shown.
        const QDateTime noon(QDate(2026, 12, 8), QTime(12, 0, 0));
        sim.Pc().clock.SetWall(std::chrono::system_clock::from_time_t(noon.toSecsSinceEpoch()));
        dialog->SetSeconds(600);
        QCOMPARE(Tip(*dialog), QStringLiteral("今天 12:10:00"));
        sim.Pc().clock.SetWall(
            std::chrono::system_clock::from_time_t(noon.addSecs(3 * 3600).toSecsSinceEpoch()));
        w.OnActionPoweroff();
        QVERIFY(dialog->isVisible());
        QCOMPARE(Tip(*dialog), QStringLiteral("今天 15:10:00"));
        QCOMPARE(w.findChildren<PoweroffWidget*>().size(), 1);

        // Its end asks the system for the power-off, with the settings saved
        // first: a forced shutdown sends the program no end-of-session message.
        Child<QLineEdit>(w, "txtwifiname")->setText(QStringLiteral("Before-Poweroff"));
        dialog->SetSeconds(3);
        const std::size_t sleepers = sim.Pc().clock.Sleepers();
        dialog->on_btnPoweroffOk_clicked();
        QVERIFY(sim.Pc().clock.WaitForSleepers(sleepers + 1));
        sim.Pc().clock.Advance(seconds(3));
        QTRY_COMPARE(sim.Pc().session.Shutdowns(), 1);
        QVERIFY(QFile::exists(QString::fromStdString(sim.SettingsFile())));
        QCOMPARE(Saved(sim).Name(), QStringLiteral("Before-Poweroff"));
    }

    void TheDriverIsInstalledAfterFiveSecondsUnlessCancelled() {
        AppSim sim;
        sim.Pc().os.SetNativeArchitecture(9);
        sim.Pc().os.SetAppDataFolder("C:\\Users\\Ann\\AppData\\Roaming");
        // Built by appending: GCC 12 warns wrongly about "..." + std::string&&.
        std::string wfp64 = "\"";
        wfp64 += ProgramDir(sim);
        wfp64 +=
            "\\snetcfg64.exe\" -m -f solvanewfp -k "
            "\"C:\\Users\\Ann\\AppData\\Roaming\\VelWiFiDriver\\solvanewfp64.sys\"";
        {
            DrvInstWidget dialog;
            QCOMPARE(dialog.windowTitle(), QStringLiteral("安装驱动"));
            QCOMPARE(DrvInstWidget::CommandLines(), std::vector<std::string>{wfp64});
            auto* ok = Child<QPushButton>(dialog, "drv_btn_ok");
            dialog.show();
            QCOMPARE(ok->text(), QStringLiteral("确定(5)"));
            QVERIFY(sim.Pc().clock.WaitForSleepers(1));
            sim.Pc().clock.Advance(seconds(1));
            QTRY_COMPARE(ok->text(), QStringLiteral("确定(4)"));
            QVERIFY(!Ran(sim, "snetcfg"));
            sim.Pc().clock.Advance(seconds(4));
            QTRY_COMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(ok->text(), QStringLiteral("确定"));
            QVERIFY(!dialog.isVisible());
            QVERIFY(Ran(sim, wfp64));
        }
        {
            AppSim again;
            again.Pc().os.SetNativeArchitecture(9);
            DrvInstWidget dialog;
            dialog.show();
            QVERIFY(again.Pc().clock.WaitForSleepers(1));
            again.Pc().clock.Advance(seconds(3));
            QTRY_COMPARE(Child<QPushButton>(dialog, "drv_btn_ok")->text(),
                         QStringLiteral("确定(2)"));
            Child<QPushButton>(dialog, "drv_btn_cancel")->click();
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            again.Pc().clock.Advance(seconds(10));
            QCoreApplication::processEvents();
            QVERIFY(!Ran(again, "snetcfg"));
        }
    }

    void AChineseProgramFolderReachesTheToolAndTheCrashReporterWhole() {
        AppSim sim;
        // The program's folder has Chinese characters; the system hands its
        // path over in GBK, and the user's folder in UTF-8.
        const std::string folder = sim.Dir().File("热点程序");
        QVERIFY(QDir().mkpath(QString::fromStdString(folder)));
        std::string gbk;
        QVERIFY(plat::SimCodePage::WideToChinese(
            QString::fromStdString(folder + "/Zentavo").toStdWString(), &gbk));
        sim.Pc().os.SetCodePage(plat::SimCodePage::kChinese);
        sim.Pc().os.SetModuleFileName(gbk);
        sim.Pc().os.SetNativeArchitecture(9);
        sim.Pc().os.SetAppDataFolder("C:\\Users\\张三\\AppData\\Roaming");
        std::string dir = folder;
        std::replace(dir.begin(), dir.end(), '/', '\\');
        const std::string line =
            "\"" + dir +
            "\\snetcfg64.exe\" -m -f solvanewfp -k "
            "\"C:\\Users\\张三\\AppData\\Roaming\\VelWiFiDriver\\solvanewfp64.sys\"";
        QCOMPARE(DrvInstWidget::CommandLines(), std::vector<std::string>{line});
        {
            DrvInstWidget dialog;
            dialog.accept();
        }
        // The launcher took the line as it is, and ran it.
        QVERIFY(sim.Pc().processes.Refused().empty());
        QVERIFY(Ran(sim, line));

        // The crash reporter is asked for by its full path in that folder.
        const std::wstring reporter = QString::fromStdString(folder + "/Tallis.dll").toStdWString();
        sim.Pc().modules.Add(reporter, {});
        Orvanta w;
        QCOMPARE(sim.Pc().modules.LoadCount(reporter), 1);
    }

    void TheToolsFollowTheSystem() {
        AppSim sim;
        sim.Pc().os.SetAppDataFolder("C:\\AppData");
        const std::string dir = ProgramDir(sim);
        sim.Pc().os.SetNativeArchitecture(0);
        QCOMPARE(DrvInstWidget::ServiceName(), std::string("solvanewfp"));
        QCOMPARE(DrvInstWidget::CommandLines(),
                 std::vector<std::string>{"\"" + dir +
                                          "\\snetcfg.exe\" -m -f solvanewfp -k "
                                          "\"C:\\AppData\\VelWiFiDriver\\solvanewfp.sys\""});
        sim.Pc().os.SetVersion({5, 1, 3, 2600, 1}, false, 0);
        QCOMPARE(DrvInstWidget::ServiceName(), std::string("solvane"));
        const std::vector<std::string> xp = {
            "\"" + dir +
                "\\snetcfg64.exe\" -v -l \"C:\\AppData\\VelWiFiDriver\\solvane_xp_m.inf\" -c s -i "
                "solvanemp",
            "\"" + dir +
                "\\snetcfg.exe\" -v -l \"C:\\AppData\\VelWiFiDriver\\solvane_xp.inf\" -c s -i "
                "solvane"};
        QCOMPARE(DrvInstWidget::CommandLines(), xp);
        QVERIFY(!DrvInstWidget::IsDriverInstalled());  // "solvane" is not there
        sim.Pc().os.SetVersion({5, 0, 4, 2195, 1}, false, 0);
        QVERIFY(DrvInstWidget::CommandLines().empty());
        QVERIFY(!DrvInstWidget::IsDriverInstalled());
    }

    void AStartWithoutTheDriverOffersItFirst() {
        AppSim sim;
        plat::SimService missing;
        missing.state = 0;
        sim.Pc().services.Set("solvanewfp", missing);
        QVERIFY(!DrvInstWidget::IsDriverInstalled());
        // The offer waits for the clock while the window's start waits for it.
        // Time moves on only once something sleeps on the clock, however long
        // the window takes to get there (up to ten seconds of real time).
        std::thread user([&sim] {
            const auto ran = [&sim] { return Ran(sim, "snetcfg"); };
            for (int i = 0; i < 500 && !ran(); ++i) {
                if (sim.Pc().clock.Sleepers() > 0)
                    sim.Pc().clock.Advance(seconds(1));
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        Orvanta w;
        user.join();
        QVERIFY(Ran(sim, "snetcfg64.exe\" -m -f solvanewfp") ||
                Ran(sim, "snetcfg.exe\" -m -f solvanewfp"));
        Settle(w);
    }

    void TheAuthorisationDialogShowsThePhoneAndTheAppsAddress() {
        AppSim sim;
        AuthWidget none{QString(), QByteArray()};
        QCOMPARE(none.objectName(), QStringLiteral("AuthWidget"));
        QCOMPARE(none.windowTitle(), QStringLiteral("Orvanta - 设备授权"));
        QCOMPARE(Child<QLabel>(none, "lbl_auth_dev")->text(), QStringLiteral("当前无授权设备"));
        QCOMPARE(Child<QLabel>(none, "lbl_auth_name")->text(), QString());
        QCOMPARE(none.Payload(), QString::fromLatin1(AuthWidget::kDefaultDownloadPage));
        const QPixmap qr = Child<QLabel>(none, "lbl_auth_qr")->pixmap();
        QCOMPARE(qr.size(), QSize(AuthWidget::kQrSide, AuthWidget::kQrSide));
        // The code shown reads back as the app's address.
        bool zbar = false;
        const QString read = AppSim::DecodeQr(qr.toImage(), &zbar);
        if (!zbar)
            QSKIP("zbarimg (zbar-tools) is not installed");
        QCOMPARE(read, QString::fromLatin1(AuthWidget::kDefaultDownloadPage));

        AuthWidget marked(QStringLiteral("http://get.example/app"), "A4-45-19-00-00-01");
        QCOMPARE(marked.Payload(), QStringLiteral("http://get.example/app"));
        QCOMPARE(Child<QLabel>(marked, "lbl_auth_dev")->text(), QStringLiteral("当前已授权设备："));
        QCOMPARE(Child<QLabel>(marked, "lbl_auth_name")->text(),
                 QStringLiteral("A4-45-19-00-00-01"));
        marked.Update(QByteArray());
        QCOMPARE(Child<QLabel>(marked, "lbl_auth_dev")->text(), QStringLiteral("当前无授权设备"));
        QCOMPARE(Child<QLabel>(marked, "lbl_auth_name")->text(), QString());
        marked.Update("A4-45-19-00-00-02");
        QCOMPARE(Child<QLabel>(marked, "lbl_auth_name")->text(),
                 QStringLiteral("A4-45-19-00-00-02"));
        marked.show();
        Child<QPushButton>(marked, "btn_auth_close")->click();
        QVERIFY(!marked.isVisible());

        // The window's dialog carries the stored download address and the
        // phone authorised now; a second request raises the same dialog.
        Orvanta w;
        Settle(w);
        w.Config().SetDownloadUrl(
            PageAddressCipher::Encipher(QStringLiteral("http://dl.example/a")));
        w.SetAuthorisedId("A4-45-19-00-00-03");
        w.ShowAuthWidget();
        w.ShowAuthWidget();
        QCOMPARE(w.findChildren<AuthWidget*>().size(), 1);
        auto* shown = w.findChild<AuthWidget*>();
        QVERIFY(shown->isVisible());
        QCOMPARE(shown->Payload(), QStringLiteral("http://dl.example/a"));
        QCOMPARE(Child<QLabel>(*shown, "lbl_auth_name")->text(),
                 QStringLiteral("A4-45-19-00-00-03"));
    }
};

APP_TEST(DialogsTest);
#include "DialogsTest.moc"

// Writes screenshots of the main window in its typical states into the folder
// given as the argument: stopped, running with three clients (one of them
// black-listed) and the black list, the dialogs over the window, and after a
// failed start; in Chinese into the folder and in English into its "en"
// subfolder. The engine runs on a simulated PC that can host a hotspot;
// its clients join through the engine's client monitor. Run it under Xvfb
// (scripts/screenshots.sh) so the windows are drawn by a real X server.
#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <cstdio>

#include "AppSim.h"
#include "AuthWidget.h"
#include "DrvInstWidget.h"
#include "EngineBed.h"
#include "ListWidget.h"
#include "OptionWidget.h"
#include "Orvanta.h"
#include "PoweroffWidget.h"
#include "WhiteListItem.h"
#include "Zentavo.h"
#include "platform/text/Ipv4Text.h"

namespace {

bool Save(QWidget& window, const QString& folder, const char* file) {
    QTest::qWait(1800);  // the status line's and the rows' animations end
    const QString path = QDir(folder).filePath(file);
    const bool ok = window.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// Lets the PC's clock run `seconds`, one second at a time.
void Run(AppSim& sim, int seconds) {
    for (int i = 0; i < seconds; ++i) {
        if (sim.Pc().clock.WaitForSleepers(1))
            sim.Pc().clock.Advance(std::chrono::seconds(1));
        QTest::qWait(30);
    }
}

// Waits until the window's start or stop has been answered.
void WaitIdle(const Orvanta& w) {
    for (int i = 0; i < 500 && w.IsBusy(); ++i)
        QTest::qWait(20);
}

// Gives the client at `ip` a host name, as its DHCP request or the reverse
// lookup would.
void Name(AppSim& sim, const char* ip, const char* name) {
    std::uint32_t address = 0;
    plat::Ipv4Text::Parse(ip, &address);
    sim.Pc().network.SetReverseName(address, name);
}

QPushButton* Button(QWidget& w, const char* name) {
    return w.findChild<QPushButton*>(name);
}

}  // namespace

// Every picture of the window and its dialogs, in the installed language.
static bool Shoot(const QString& folder) {
    QDir().mkpath(folder);
    bool ok = true;
    {
        AppSim sim;
        enginebed::Prepare(sim.Pc());
        sim.Pc().os.SetComputerName("STUDY-PC");
        Orvanta window;
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            std::fprintf(stderr, "the window was not shown\n");
        // The launch starts the hotspot; stop it for the first picture.
        WaitIdle(window);
        Button(window, "btnclosewifi")->click();
        WaitIdle(window);
        ok &= Save(window, folder, "stopped.png");

        Button(window, "btnopenwifi")->click();
        WaitIdle(window);
        Name(sim, "192.168.23.10", "Lenas-iphone");
        Name(sim, "192.168.23.11", "android-5f1c2e");
        Name(sim, "192.168.23.12", "DESKTOP-7Q2");
        plat::SimPacketEngine& peers = sim.Pc().nat.Engine();
        peers.AddPeer("3C-A6-2F-11-22-01", "192.168.23.10");
        peers.AddPeer("A4-50-46-11-22-02", "192.168.23.11");
        peers.AddPeer("00-1E-65-11-22-03", "192.168.23.12");
        Run(sim, 2);
        peers.Traffic("3C-A6-2F-11-22-01", 300 * 1024, 2600 * 1024);
        peers.Traffic("A4-50-46-11-22-02", 80 * 1024, 900 * 1024);
        Run(sim, 1);
        // The user black-lists the third client from its row menu.
        if (auto* row =
                qobject_cast<WhiteListItem*>(window.ClientList()->Find("00-1E-65-11-22-03")))
            row->OnActionBlack();
        ok &= Save(window, folder, "running.png");
        Button(window, "btnblacklist")->click();
        QTest::qWait(1000);
        ok &= Save(window, folder, "running-blacklist.png");
        Button(window, "btnwhitelist")->click();
        QTest::qWait(1000);

        // The dialogs over the window. Marking the first phone opens the
        // authorisation dialog once.
        if (auto* row =
                qobject_cast<WhiteListItem*>(window.ClientList()->Find("3C-A6-2F-11-22-01")))
            row->OnActionMark(true);
        if (auto* auth = window.findChild<AuthWidget*>())
            ok &= Save(*auth, folder, "dialog-authorisation.png");
        else
            ok = false;
        Button(window, "btnoption")->click();
        ok &= Save(*window.OptionPanel(), folder, "dialog-options.png");
        window.OptionPanel()->hide();
        Button(window, "btnclose")->click();
        ok &= Save(*window.ClosePrompt(), folder, "dialog-close.png");
        window.ClosePrompt()->hide();
        window.OnActionPoweroff();
        if (auto* poweroff = window.findChild<PoweroffWidget*>("PoweroffWidget")) {
            ok &= Save(*poweroff, folder, "dialog-poweroff.png");
            poweroff->SetSeconds(30 * 60);
            poweroff->on_btnPoweroffOk_clicked();
            Run(sim, 2);
            ok &= Save(*poweroff, folder, "dialog-poweroff-counting.png");
            poweroff->on_btnPoweroffCancel_clicked();
            poweroff->hide();
        } else {
            ok = false;
        }
        DrvInstWidget driver(&window);
        driver.show();
        Run(sim, 1);
        ok &= Save(driver, folder, "dialog-driver.png");
        driver.reject();
    }
    {
        AppSim sim;  // a PC without a Wi-Fi card: the start fails
        sim.Pc().os.SetComputerName("STUDY-PC");
        Orvanta window;
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            std::fprintf(stderr, "the window was not shown\n");
        WaitIdle(window);
        ok &= Save(window, folder, "failed.png");
    }
    return ok;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s output-folder\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QApplication app(argc, argv);
    Zentavo::SetUpApplication();
    // The program's own texts, then the window as a non-Chinese system shows it.
    bool ok = Zentavo::InstallTranslation(QLocale(QLocale::Chinese, QLocale::China));
    ok &= Shoot(folder);
    ok &= Zentavo::InstallTranslation(QLocale(QLocale::English, QLocale::UnitedStates));
    ok &= Shoot(QDir(folder).filePath("en"));
    return ok ? 0 : 1;
}

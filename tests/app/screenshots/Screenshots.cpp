// Writes screenshots of the main window in its three typical states into the
// folder given as the argument: stopped, running with three clients (one of
// them black-listed), and after a failed start. Run it under Xvfb (see
// scripts/screenshots.sh) so the window is drawn by a real X server.
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTest>
#include <cstdio>

#include "AppSim.h"
#include "Orvanta.h"
#include "WiFiSignals.h"
#include "Zentavo.h"

namespace {

ClientInfo Client(const wchar_t* mac, const wchar_t* name, const wchar_t* maker, const wchar_t* ip,
                  std::uint32_t rate, int ban = 0) {
    ClientInfo c;
    c.mac = mac;
    c.name = name;
    c.manufactory = maker;
    c.ip = ip;
    c.downRate = rate;
    c.isBan = ban;
    return c;
}

bool Save(QWidget& window, const QString& folder, const char* file) {
    QTest::qWait(1800);  // the status line's animation ends
    const QString path = QDir(folder).filePath(file);
    const bool ok = window.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s output-folder\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    QApplication app(argc, argv);
    Zentavo::SetUpApplication();
    bool ok = true;
    {
        AppSim sim;
        Orvanta window;
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            std::fprintf(stderr, "the window was not shown\n");
        // The launch starts the hotspot; stop it for the first picture.
        QTest::qWait(300);
        if (window.IsRunning())
            window.findChild<QPushButton*>("btnclosewifi")->click();
        QTest::qWait(300);
        ok &= Save(window, folder, "stopped.png");

        window.findChild<QPushButton*>("btnopenwifi")->click();
        QTest::qWait(300);
        WiFiSignals& engine = *window.Signals();
        engine.ClientJoin(Client(L"3C-A6-2F-11-22-01", L"iPhone", L"苹果", L"192.168.23.10", 312));
        engine.ClientJoin(
            Client(L"A4-50-46-11-22-02", L"android-5f1c2e", L"", L"192.168.23.11", 2650));
        engine.ClientJoin(
            Client(L"00-1E-65-11-22-03", L"DESKTOP-7Q2", L"联想", L"192.168.23.12", 0, 1));
        QTest::qWait(600);
        ok &= Save(window, folder, "running.png");
        window.findChild<QPushButton*>("btnblacklist")->click();
        QTest::qWait(1000);
        ok &= Save(window, folder, "running-blacklist.png");
        window.findChild<QPushButton*>("btnwhitelist")->click();
        window.findChild<QPushButton*>("btnclosewifi")->click();
        QTest::qWait(300);

        engine.NetworkStarted(1203);
        QTest::qWait(300);
        ok &= Save(window, folder, "failed.png");
    }
    return ok ? 0 : 1;
}

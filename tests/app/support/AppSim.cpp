#include "AppSim.h"

#include <QCoreApplication>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <fstream>

#include "platform/Platform.h"
#include "platform/winapi/DebugOutput.h"

AppSim::AppSim() {
    plat::Platform::ResetAll();
    m_pc = &plat::SimPc::Install();
    m_dir = std::make_unique<TempDir>();
    m_pc->os.SetModuleFileName(m_dir->File("Zentavo"));
    // The report tool beside the program (a simulated one: its starts are
    // recorded, nothing runs).
    std::ofstream(m_dir->File("rpt_routine.exe")).put('\n');
    // The NAT driver is installed: its installation dialog would wait for
    // the clock at every window's start.
    plat::SimService driver;
    driver.state = 1;
    m_pc->services.Set("solvanewfp", driver);
    plat::DebugOutput::Instance().Clear();
    plat::DebugOutput::Instance().StartCapture();
}

AppSim::~AppSim() {
    // A window that ended the program while no loop ran (its quit from the
    // tray ends the loop once at the close and once more when the hotspot has
    // stopped) leaves Qt's mark to end the next loop at once, which would end
    // the next test's dialogs before they are seen. A loop of its own that
    // runs what is queued clears the mark.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    plat::Platform::ResetAll();
    plat::DebugOutput::Instance().StopCapture();
    plat::DebugOutput::Instance().Clear();
    plat::Platform::Uninstall();
    m_pc = nullptr;
    m_dir.reset();
}

bool AppSim::DebugHas(const std::string& text) const {
    return plat::DebugOutput::Instance().Contains(text);
}

QString AppSim::DecodeQr(const QImage& image, bool* found) {
    const QString zbarimg = QStandardPaths::findExecutable(QStringLiteral("zbarimg"));
    *found = !zbarimg.isEmpty();
    QTemporaryDir dir;
    if (!*found || !dir.isValid() || image.isNull())
        return {};
    // Enlarged without smoothing, on a white margin, as a camera would see
    // it on the screen.
    const QImage big = image.convertToFormat(QImage::Format_RGB32)
                           .scaled(image.size() * 4, Qt::KeepAspectRatio, Qt::FastTransformation);
    QImage page(big.size() + QSize(80, 80), QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter(&page).drawImage(40, 40, big);
    const QString file = dir.filePath(QStringLiteral("code.png"));
    if (!page.save(file))
        return {};
    QProcess zbar;
    zbar.start(zbarimg, {QStringLiteral("--quiet"), QStringLiteral("--raw"), file});
    if (!zbar.waitForFinished(30000) || zbar.exitCode() != 0)
        return {};
    QString text = QString::fromUtf8(zbar.readAllStandardOutput());
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

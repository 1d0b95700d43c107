#include "Zentavo.h"

#include <QApplication>
#include <QFile>
#include <QTranslator>
#include <memory>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "Common/LumariLog.h"
#include "Orvanta.h"
#include "platform/Backend.h"
#include "platform/Platform.h"

bool Zentavo::EnsureSingleInstance() {
    plat::SessionControl& session = plat::Platform::Current().Session();
    if (session.AcquireInstanceLock(kInstanceLock))
        return true;
    session.SignalInstance(Orvanta::kHandOverMessage);
    return false;
}

void Zentavo::SetUpApplication() {
    QCoreApplication::addLibraryPath(QCoreApplication::applicationDirPath() + "/plugins");
    QFile style(":/stylesheets/style.qss");
    if (style.open(QIODevice::ReadOnly))
        qApp->setStyleSheet(QString::fromUtf8(style.readAll()));
    auto* translator = new QTranslator(qApp);
    if (translator->load(":/language/qt_zh_CN.qm"))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

void Zentavo::PrepareWebEngine() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#if !defined(_WIN32)
    // The program runs as root (it configures the network), and the web
    // engine's sandbox refuses to start for root.
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif
}

int Zentavo::Main(int argc, char** argv) {
    if (!EnsureSingleInstance())
        return -1;
    PrepareWebEngine();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("Zentavo");
    QCoreApplication::setApplicationVersion("1.0");
    InitLog();
    SetUpApplication();
    int result = 0;
    {
        Orvanta window;
        window.show();
        result = app.exec();
    }
    return result;
}

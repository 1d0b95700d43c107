#include "Zentavo.h"

#include <QApplication>
#include <QFile>
#include <QTranslator>
#include <memory>

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

int Zentavo::Main(int argc, char** argv) {
    if (!EnsureSingleInstance())
        return -1;
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

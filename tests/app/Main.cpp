// Runs every Qt Test class of the desktop program under Qt's offscreen
// platform; each class registers itself with AppTestRegistry.
#include <QApplication>
#include <QLocale>
#include <QtTest/QtTest>

#include "AppTestRegistry.h"
#include "Zentavo.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Zentavo::PrepareWebEngine();
    QApplication app(argc, argv);
    // The tests read the program's own (Chinese) texts whatever the
    // machine's language; the translation test switches languages itself.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    Zentavo::SetUpApplication();
    int failed = 0;
    for (const auto& make : AppTestRegistry::Classes()) {
        std::unique_ptr<QObject> test = make();
        failed += QTest::qExec(test.get(), argc, argv);
    }
    return failed == 0 ? 0 : 1;
}

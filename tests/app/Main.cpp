// Runs every Qt Test class of the desktop program under Qt's offscreen
// platform; each class registers itself with AppTestRegistry.
//
// With LUMARI_APP_TEST_REPORTS set to a folder, each class also writes its
// plain-text report there (<class>.txt), and classes.txt lists every class
// before the first runs: a reader can then tell a class that failed or never
// finished (a crash) from one that passed, without trusting the exit code.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QtTest/QtTest>
#include <algorithm>
#include <cstring>

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
    std::vector<std::unique_ptr<QObject>> tests;
    for (const auto& make : AppTestRegistry::Classes())
        tests.push_back(make());
    // The same order on every system, whatever order the linker gave.
    std::sort(tests.begin(), tests.end(), [](const auto& a, const auto& b) {
        return std::strcmp(a->metaObject()->className(), b->metaObject()->className()) < 0;
    });
    const QString reports = qEnvironmentVariable("LUMARI_APP_TEST_REPORTS");
    if (!reports.isEmpty()) {
        QFile list(QDir(reports).filePath("classes.txt"));
        if (!list.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 2;
        for (const auto& test : tests)
            list.write(QByteArray(test->metaObject()->className()) + '\n');
    }
    int failed = 0;
    for (const auto& test : tests) {
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        if (!reports.isEmpty()) {
            const QString name = QString::fromLatin1(test->metaObject()->className());
            arguments << "-o" << QDir(reports).filePath(name + ".txt") + ",txt"
                      << "-o"
                      << "-,txt";
        }
        failed += QTest::qExec(test.get(), arguments);
    }
    return failed == 0 ? 0 : 1;
}

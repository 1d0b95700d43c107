// The main window under Qt's offscreen platform.
#include <QApplication>
#include <QtTest/QtTest>

#include "Orvanta.h"

class OrvantaTest : public QObject {
    Q_OBJECT

private slots:
    void ShowsTheProductWindowCentred() {
        Orvanta window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QString("Orvanta"));
        QCOMPARE(window.size(), QSize(346, 546));
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(window.geometry().x(), (area.width() - 346) / 2);
        QCOMPARE(window.geometry().y(), (area.height() - 546) / 2);
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    OrvantaTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "OrvantaTest.moc"

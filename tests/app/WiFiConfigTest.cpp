// The settings record: its byte layout, its file, and the texts it holds.
#include <QFile>
#include <QtEndian>
#include <QtTest/QtTest>

#include "AppSim.h"
#include "AppTestRegistry.h"
#include "PageAddressCipher.h"
#include "TempDir.h"
#include "WiFiConfig.h"
#include "platform/sim/SimPc.h"
#include "platform/text/Gb18030.h"

class WiFiConfigTest : public QObject {
    Q_OBJECT

private slots:
    void ReadsBackWhatItWroteAtTheDocumentedOffsets() {
        TempDir dir;
        const QString path = QString::fromStdString(dir.File("wifi.cfg"));
        WiFiConfig c;
        c.SetMagic();
        c.SetTraffic(-2);  // signed: survives as written
        c.SetRunAtLogon(true);
        c.SetForbidSleep(true);
        c.SetPrice(1.5);
        c.SetCloseAction(1);
        c.SetAskOnClose(false);
        QVERIFY(c.SetName(QStringLiteral("热点_Home-1")));
        QVERIFY(c.SetPassword("abcdEFGH1234"));
        QVERIFY(c.SetPhoneId("00-11-22-33-44-55"));
        c.SetShowAuthHint(true);
        QVERIFY(c.Save(path));

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.size(), 2320);
        const char* b = bytes.constData();
        QCOMPARE(qFromLittleEndian<quint32>(b), 0xFFFFFFFFu);
        QCOMPARE(qFromLittleEndian<qint64>(b + 8), qint64(-2));
        QCOMPARE(qFromLittleEndian<quint32>(b + 16), 1u);
        QCOMPARE(qFromLittleEndian<quint32>(b + 20), 1u);
        double price = 0;
        const quint64 bits = qFromLittleEndian<quint64>(b + 24);
        std::memcpy(&price, &bits, 8);
        QCOMPARE(price, 1.5);
        QCOMPARE(qFromLittleEndian<quint32>(b + 32), 1u);
        QCOMPARE(qFromLittleEndian<quint32>(b + 36), 0u);
        // The name is GB18030: 热 is C8 C8, 点 is B5 E3.
        QCOMPARE(QByteArray(b + 40, 4), QByteArray("\xC8\xC8\xB5\xE3"));
        QCOMPARE(QByteArray(b + 44), QByteArray("_Home-1"));
        QCOMPARE(QByteArray(b + 168), QByteArray("abcdEFGH1234"));
        QCOMPARE(QByteArray(b + 1256), QByteArray("00-11-22-33-44-55"));
        QCOMPARE(b[2312], char(1));

        WiFiConfig back;
        QVERIFY(back.Load(path));
        QCOMPARE(back.ToBytes(), c.ToBytes());
        QCOMPARE(back.Name(), QStringLiteral("热点_Home-1"));
        QCOMPARE(back.Password(), QStringLiteral("abcdEFGH1234"));
        QCOMPARE(back.Price(), 1.5);
    }

    // A save that stops half way (a crash, a full disk) answers false and
    // leaves the last record whole, byte for byte; the next save replaces it.
    void ASaveThatStopsHalfWayLeavesTheLastRecordWhole() {
        AppSim sim;
        const QString path = QString::fromStdString(sim.SettingsFile());
        WiFiConfig first;
        first.SetMagic();
        first.SetTraffic(123456);
        QVERIFY(first.SetName(QStringLiteral("热点_Home")));
        QVERIFY(first.SetPassword("abcdEFGH1234"));
        QVERIFY(first.SetPhoneId("00-11-22-33-44-55"));
        QVERIFY(first.Save(path));

        WiFiConfig second = first;
        second.SetTraffic(999999);
        QVERIFY(second.SetName(QStringLiteral("Other")));
        sim.Pc().files.FailWrite("wifi.cfg", 1000, 112);
        QVERIFY(!second.Save(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), first.ToBytes());
        file.close();
        WiFiConfig loaded;
        QVERIFY(loaded.Load(path));
        QCOMPARE(loaded.Traffic(), qint64(123456));
        QCOMPARE(loaded.Name(), QStringLiteral("热点_Home"));

        QVERIFY(second.Save(path));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), second.ToBytes());
        QVERIFY(!QFile::exists(path + ".tmp"));
    }

    void RefusesFilesThatAreNoRecord() {
        TempDir dir;
        const QString path = QString::fromStdString(dir.File("wifi.cfg"));
        WiFiConfig valid;
        valid.SetMagic();
        const QByteArray good = valid.ToBytes();
        WiFiConfig c;
        c.SetPrice(0.7);
        const QByteArray before = c.ToBytes();
        for (const QByteArray& bad : {QByteArray(), good.left(2319), good + 'x',
                                      QByteArray(2320, '\0'), QByteArray(2320, '\x7F')}) {
            dir.Write("wifi.cfg", bad.toStdString());
            QVERIFY(!c.Load(path));
            QCOMPARE(c.ToBytes(), before);
        }
        QVERIFY(!c.Load(path + ".missing"));
    }

    void TextsThatDoNotFitAreRefusedWhole() {
        WiFiConfig c;
        QVERIFY(c.SetName(QString(63, QChar(0x4E2D))));   // 126 bytes + NUL
        QVERIFY(!c.SetName(QString(64, QChar(0x4E2D))));  // 128 bytes: no room for the NUL
        QCOMPARE(c.Name(), QString(63, QChar(0x4E2D)));
        QVERIFY(!c.SetPassword(QStringLiteral("pässword")));  // ASCII only
        QVERIFY(!c.SetPassword(QString(64, 'a')));
        QVERIFY(!c.SetPhoneId(QByteArray("a\0b", 3)));
        // A field filled to the brim without a NUL reads up to its end only.
        QByteArray raw = [] {
            WiFiConfig v;
            v.SetMagic();
            return v.ToBytes();
        }();
        raw.replace(168, 64, QByteArray(64, 'z'));
        QVERIFY(c.FromBytes(raw));
        QCOMPARE(c.Password(), QString(64, 'z'));
    }

    void TheNameIsGb18030OrRefusedWhole() {
        WiFiConfig c;
        QVERIFY(c.SetName(QStringLiteral("热点")));
        // Text that is not Unicode at all is refused, and the name stays.
        QVERIFY(!c.SetName(QString(QChar(0xD800)) + "x"));
        QCOMPARE(c.Name(), QStringLiteral("热点"));
        // A stored byte that is no character costs that character only.
        const QString read =
            WiFiConfig::FromGb18030(QByteArray("a\xFF"
                                               "b"));
        QVERIFY2(read.size() == 3 && read.startsWith('a') && read.endsWith('b'), qPrintable(read));
        // Beyond GBK: four bytes for a character outside the BMP, A2 E3 for
        // the euro sign (GBK's 0x80 is no GB18030). A system that has only
        // GBK refuses them rather than writing another encoding.
        const QString beyondGbk = QString::fromUtf8("\xF0\x9F\x98\x80\xE2\x82\xAC");
        if (!plat::Gb18030::Complete()) {
            QVERIFY(!c.SetName(beyondGbk));
            QVERIFY(!c.SetName(QString::fromUtf8("\xE2\x82\xAC")));
            QCOMPARE(c.Name(), QStringLiteral("热点"));
            return;
        }
        QVERIFY(c.SetName(beyondGbk));
        QCOMPARE(c.ToBytes().mid(40, 7), QByteArray("\x94\x39\xFC\x36\xA2\xE3\0", 7));
        QCOMPARE(c.Name(), beyondGbk);
    }

    void StoredAddressesDecipherToTheAddress() {
        const QString address = QStringLiteral("https://example.org/热点/help?x=1&y=2");
        const QByteArray stored = PageAddressCipher::Encipher(address);
        QVERIFY(!stored.contains("example"));
        QCOMPARE(PageAddressCipher::Decipher(stored), address);
        QCOMPARE(PageAddressCipher::Decipher(stored.toLower()), address);
        QVERIFY(PageAddressCipher::Decipher("").isEmpty());
        QVERIFY(PageAddressCipher::Decipher("ABC").isEmpty());
        QVERIFY(PageAddressCipher::Decipher("https://plain.example").isEmpty());
    }
};

APP_TEST(WiFiConfigTest);
#include "WiFiConfigTest.moc"

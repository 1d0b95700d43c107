// Icons and names of clients, the failure texts, and the QR code.
#include <QtTest/QtTest>

#include "AppTestRegistry.h"
#include "ClientLook.h"
#include "StartFailure.h"
#include "WiFiQrCode.h"

namespace {
ClientInfo Record(const wchar_t* maker, const wchar_t* host = L"", const wchar_t* type = L"",
                  const wchar_t* nick = L"") {
    ClientInfo c;
    c.manufactory = maker;
    c.name = host;
    c.type = type;
    c.nickName = nick;
    return c;
}
const QString kImg = QStringLiteral(":/images/AppWindow/");
}  // namespace

class ClientLookTest : public QObject {
    Q_OBJECT

private slots:
    void ChoosesIconAndName_data() {
        QTest::addColumn<ClientInfo>("client");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<QString>("name");
        QTest::newRow("iPhone in any case") << Record(L"Apple IPHONE") << "iconApple.png"
                                            << "Apple IPHONE";
        QTest::newRow("苹果") << Record(L"苹果公司") << "iconApple.png"
                              << "苹果公司";
        QTest::newRow("Apple Inc. is no Apple rule") << Record(L"Apple Inc.") << "iconPhone.png"
                                                     << "Apple Inc.";
        QTest::newRow("maker name replaced") << Record(L"华为技术有限公司") << "iconHuaWei.png"
                                             << "华为";
        QTest::newRow("lg in any case") << Record(L"Lg Electronics") << "iconLG.png"
                                        << "LG";
        QTest::newRow("first match wins") << Record(L"联想三星") << "iconSamSung.png"
                                          << "三星";
        QTest::newRow("other maker") << Record(L"Murata") << "iconPhone.png"
                                     << "Murata";
        QTest::newRow("android host") << Record(L"", L"ANDROID-1f2e") << "iconAndriod.png"
                                      << "ANDROID-1f2e";
        QTest::newRow("iphone host, case matters") << Record(L"", L"Toms-iphone") << "iconApple.png"
                                                   << "Toms-iphone";
        QTest::newRow("iPhone host") << Record(L"", L"Toms-iPhone") << "iconPhone.png"
                                     << "Toms-iPhone";
        QTest::newRow("nothing known") << Record(L"") << "iconPhone.png"
                                       << "手机";
        QTest::newRow("a pc type") << Record(L"", L"", L"Desktop PC") << "iconComputer.png"
                                   << "Desktop PC";
        QTest::newRow("a pad type") << Record(L"", L"", L"iPad") << "iconComputer.png"
                                    << "iPad";
        QTest::newRow("other type") << Record(L"", L"", L"Watch") << "iconPhone.png"
                                    << "Watch";
        QTest::newRow("nickname wins")
            << Record(L"小米", L"x", L"", L"\u202eevil\u202c 名") << "iconMi.png"
            << QString::fromStdWString(L"\u202eevil\u202c 名");
    }
    void ChoosesIconAndName() {
        QFETCH(ClientInfo, client);
        QFETCH(QString, icon);
        QFETCH(QString, name);
        const ClientLook look = ClientLook::For(client);
        QCOMPARE(look.icon, kImg + icon);
        QCOMPARE(look.name, name);
        QVERIFY2(!QImage(look.icon).isNull(), qPrintable(look.icon));
    }

    void FailureTextsAndCauses() {
        QCOMPARE(StartFailure::StatusText(1102), QStringLiteral("设备驱动未安装好"));
        QCOMPARE(StartFailure::StatusText(1500), QStringLiteral("WiFi开启失败(1500)"));
        QCOMPARE(StartFailure::StatusText(1002), QStringLiteral("没有找到支持的无线网卡"));
        QCOMPARE(StartFailure::StatusText(1004), QStringLiteral("请先开启无线网卡"));
        QCOMPARE(StartFailure::StatusText(-1), QStringLiteral("WiFi开启失败(-1)"));
        // Every cause names a remedy; an unknown code still gives its number.
        for (int code : {1000, 1001, 1003, 1007, 1009, 1010, 1201, 1203, 1401, 1500, 1502, 1700,
                         5023, 5, 424242})
            QVERIFY2(StartFailure::Cause(code).contains(QStringLiteral("请")),
                     qPrintable(QString::number(code)));
        QVERIFY(StartFailure::Cause(424242).contains("424242"));
        QVERIFY(StartFailure::Cause(1401) != StartFailure::Cause(1203));
    }

    void QrPayloadEscapesTheReservedCharacters() {
        QCOMPARE(WiFiQrCode::Payload("Home", "12345678"),
                 QStringLiteral("WIFI:T:WPA;S:Home;P:12345678;;"));
        QCOMPARE(WiFiQrCode::Payload(QStringLiteral("a;b,c:d\\e\"f"), "p;w", true),
                 QStringLiteral("WIFI:T:WPA;S:a\\;b\\,c\\:d\\\\e\\\"f;P:p\\;w;;"));
        QCOMPARE(WiFiQrCode::Payload("Net", "5820417396", false),
                 QStringLiteral("WIFI:T:WEP;S:Net;P:5820417396;;"));
        QCOMPARE(WiFiQrCode::TypedPayload("Net;3", "secret12", "SAE"),
                 QStringLiteral("WIFI:T:SAE;S:Net\\;3;P:secret12;;"));
    }

    void QrSymbolHasTheSizeOfItsVersion() {
        // 14 bytes fit version 1 (21 modules) at level M; 15 need version 2 (25).
        const QImage v1 = WiFiQrCode::Encode(QString(14, 'a'));
        QCOMPARE(v1.width(), 21 + 8);
        QCOMPARE(WiFiQrCode::Encode(QString(15, 'a')).width(), 25 + 8);
        // The finder pattern's corner is dark, the quiet zone light.
        QCOMPARE(v1.pixelIndex(4, 4), 1);
        QCOMPARE(v1.pixelIndex(0, 0), 0);
        const QImage big =
            WiFiQrCode::Render(WiFiQrCode::Payload(QStringLiteral("热点"), "12345678"), 140);
        QVERIFY(!big.isNull());
        QVERIFY(big.width() <= 140 && big.width() >= 70);
        QVERIFY(WiFiQrCode::Encode(QString(5000, 'x')).isNull());  // beyond version 40
    }
};

APP_TEST(ClientLookTest);
#include "ClientLookTest.moc"

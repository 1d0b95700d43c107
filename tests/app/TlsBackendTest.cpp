// The window's one https request (whether the customer-service site is open)
// needs a TLS backend, which Qt loads as a plugin from beside the program
// (tls/). Under Wine this is the Schannel backend the Windows package ships.
#include <QSslSocket>
#include <QtTest/QtTest>

#include "AppTestRegistry.h"

class TlsBackendTest : public QObject {
    Q_OBJECT

private slots:
    void HttpsHasABackend() {
        QVERIFY2(QSslSocket::supportsSsl(),
                 qPrintable(QStringLiteral("TLS backends: ") +
                            QSslSocket::availableBackends().join(QStringLiteral(", "))));
    }
};

APP_TEST(TlsBackendTest);
#include "TlsBackendTest.moc"

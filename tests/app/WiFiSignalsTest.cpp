// The bridge from the engine's threads to the GUI thread.
#include <QSignalSpy>
#include <QtTest/QtTest>
#include <memory>
#include <thread>

#include "AppTestRegistry.h"
#include "WiFiSignals.h"

namespace {

// A receiver in the GUI thread that keeps what arrives, in order.
class Receiver : public QObject {
    Q_OBJECT
public:
    QList<QString> events;
    QList<ClientInfo> clients;
    QList<Qt::HANDLE> threads;
public slots:
    void Started(int code) { Note("started " + QString::number(code)); }
    void Stopped(int code) { Note("stopped " + QString::number(code)); }
    void Error(int code) { Note("error " + QString::number(code)); }
    void Join(QVariant v) { Client("join", v); }
    void Leave(QVariant v) { Client("leave", v); }
    void Update(QVariant v) { Client("update", v); }

private:
    void Note(const QString& e) {
        events << e;
        threads << QThread::currentThreadId();
    }
    void Client(const char* what, const QVariant& v) {
        Note(what);
        clients << v.value<ClientInfo>();
    }
};

void Connect(WiFiSignals& s, Receiver& r) {
    QObject::connect(&s, &WiFiSignals::NetworkStarted, &r, &Receiver::Started);
    QObject::connect(&s, &WiFiSignals::NetworkStopped, &r, &Receiver::Stopped);
    QObject::connect(&s, &WiFiSignals::NetworkError, &r, &Receiver::Error);
    QObject::connect(&s, qOverload<QVariant>(&WiFiSignals::ClientJoin), &r, &Receiver::Join);
    QObject::connect(&s, qOverload<QVariant>(&WiFiSignals::ClientLeave), &r, &Receiver::Leave);
    QObject::connect(&s, qOverload<QVariant>(&WiFiSignals::ClientUpdate), &r, &Receiver::Update);
}

}  // namespace

class WiFiSignalsTest : public QObject {
    Q_OBJECT

private slots:
    void RegistersTheClientRecordByName() {
        WiFiSignals s;
        QCOMPARE(QMetaType::fromName("ClientInfo").id(), qMetaTypeId<ClientInfo>());
        QCOMPARE(WiFiSignals::RegisterClientInfo(), qMetaTypeId<ClientInfo>());
    }

    // Codes cross unchanged, in order, onto the GUI thread; a client record
    // the engine frees as soon as the call returns arrives intact.
    void EngineThreadCallsArriveQueuedInOrderWithCopies() {
        WiFiSignals s;
        Receiver r;
        Connect(s, r);
        CLumariNotify& engine = s;
        std::thread worker([&engine] {
            engine.NetworkStarted(0);
            engine.NetworkStarted(424242);  // a code the window has no text for
            auto record = std::make_unique<ClientInfo>();
            record->mac = L"00-11-22-33-44-55";
            record->name = std::wstring(300, L'x') + L"\u05d0\U0001F600";
            record->isBan = 1;
            record->periodDown = 123456789012ull;
            engine.ClientJoin(*record);
            record->name = L"overwritten";
            record.reset();  // the engine's temporary is gone
            ClientInfo update;
            update.mac = L"00-11-22-33-44-55";
            engine.ClientUpdate(update);
            engine.ClientLeave(update);
            engine.InternetStateChanged(1);  // not bridged
            engine.NetworkError(-5);
            engine.NetworkStopped(1);
        });
        worker.join();
        QVERIFY(r.events.isEmpty());  // nothing runs before the GUI loop does
        QTRY_COMPARE(r.events.size(), 7);
        QCOMPARE(r.events, (QList<QString>{"started 0", "started 424242", "join", "update", "leave",
                                           "error -5", "stopped 1"}));
        for (Qt::HANDLE t : r.threads)
            QCOMPARE(t, QThread::currentThreadId());
        QCOMPARE(r.clients[0].name, std::wstring(300, L'x') + L"\u05d0\U0001F600");
        QCOMPARE(r.clients[0].isBan, 1);
        QCOMPARE(r.clients[0].periodDown, 123456789012ull);
    }

    void ManyEngineThreadsAtOnce() {
        WiFiSignals s;
        Receiver r;
        Connect(s, r);
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&s, t] {
                for (int i = 0; i < 250; ++i) {
                    ClientInfo c;
                    c.uid = t * 1000 + i;
                    s.ClientUpdate(c);
                }
            });
        for (auto& t : threads)
            t.join();
        QTRY_COMPARE(r.clients.size(), 1000);
        QSet<int> uids;
        for (const ClientInfo& c : r.clients)
            uids.insert(c.uid);
        QCOMPARE(uids.size(), 1000);
    }
};

APP_TEST(WiFiSignalsTest);
#include "WiFiSignalsTest.moc"

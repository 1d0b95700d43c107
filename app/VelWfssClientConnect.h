// The phone link: a TCP server on port 8089 (or the next free one above it)
// through which the authorised phone sends commands, such as a shutdown of
// the PC after some seconds. It listens on one address only, the hotspot's
// own, so that nobody on the PC's other networks reaches it. Exactly one
// phone is authorised at a time; the window tells the link which address
// each hotspot client has, and messages count only from an address whose
// client is the authorised phone and whose hardware address, in the system's
// neighbour table, is that phone's MAC (MAC texts compare in either case).
//
// The link's thread waits on every connection at once and reads what has
// arrived without blocking, so a slow or silent peer holds nothing up; each
// connection's bytes go through its own WfssFrameParser. At most kMaxPeers
// connections are kept: a newcomer beyond that replaces the longest-quiet
// connection, one that is not the authorised phone's while there is one.
// Commands reach the window only through the queued OnJsonReceived signal.
#pragma once

#include <QByteArray>
#include <QMutex>
#include <QThread>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "AppID.h"
#include "platform/socket/SocketPoller.h"
#include "platform/socket/TcpSocket.h"

class VelWfssClientConnect : public QThread {
    Q_OBJECT

public:
    static constexpr std::uint16_t kPort = 8089;
    static constexpr std::size_t kMaxPeers = 64;
    // Connections the system may hold before the thread takes them.
    static constexpr int kBacklog = 64;

    explicit VelWfssClientConnect(QObject* parent = nullptr);
    ~VelWfssClientConnect() override;

    // Listens on the local `address` (network byte order; the wildcard is
    // refused) at `port`, or the next port up while a port is taken by
    // another program (0: a port the system chooses), and starts the
    // thread. False when the link could not listen.
    bool Listen(std::uint32_t address, std::uint16_t port);
    // Stops listening and ends every connection; Listen may follow again.
    void Close();
    bool IsListening() const { return isRunning(); }
    // The port and address listened on; 0 when not listening.
    std::uint16_t Port() const { return m_port; }
    std::uint32_t Address() const { return m_address; }

    // The hotspot client at `ip` (network byte order) is `identity` (its MAC
    // text). Another address the same client had before no longer counts as
    // it. Ignored when either is empty.
    void RegisterIdentity(std::uint32_t ip, const QByteArray& identity);
    // The client `identity` left: its address no longer counts as it.
    void ForgetIdentity(std::uint32_t ip, const QByteArray& identity);
    // The hotspot stopped: no address counts as any client until the
    // clients' joins are reported again.
    void ForgetIdentities();
    // The client `identity` may no longer command the PC (it was put on the
    // black list): none of its addresses counts as it any more, and the
    // link's connections from them are closed.
    void Disown(const QByteArray& identity);
    // Makes `id` the authorised phone; an empty one is ignored.
    void SetAuthorisedId(const QByteArray& id);
    // No phone is authorised any more.
    void RevokeAuthorisation();
    QByteArray AuthorisedId() const;

    // For tests and diagnostics.
    std::size_t PeerCount() const { return m_peerCount.load(); }
    // Connections taken since listening started.
    std::uint64_t Accepted() const { return m_accepted.load(); }
    std::size_t IdentityCount() const;

signals:
    // A phone said hello with a valid check.
    void OnAppConnect(AppID& id);
    // A command for the window.
    void OnJsonReceived(QString qsCmd, QString qsData);

protected:
    void run() override;

private:
    struct Peer;
    class PeerHandler;

    void AcceptWaiting();
    // Reads what `peer` sent; false when the connection is to end.
    bool Serve(Peer& peer);
    // Whether `ip` is the authorised phone: by the window's client table and
    // at the link layer. `identity` gets the client table's identity of `ip`,
    // `why` what refused it beyond that (empty when nothing did).
    bool IsAuthorised(std::uint32_t ip, QByteArray* identity, std::string* why = nullptr) const;
    // Drops the connections from addresses the window disowned.
    void CloseDisowned();
    // Makes room for one more connection; false when none may go.
    bool MakeRoom();
    static bool SendAll(Peer& peer, const void* data, std::size_t size);

    mutable QMutex m_lock;  // guards m_identities, m_authorisedId and m_disowned
    std::map<std::uint32_t, QByteArray> m_identities;
    QByteArray m_authorisedId;
    std::vector<std::uint32_t> m_disowned;  // addresses whose connections are to close

    // Carried in every hello reply; the program never sets them.
    std::uint32_t m_replyValue = 0;
    QByteArray m_replyText;

    plat::TcpSocket m_listenSocket;
    plat::SocketPoller m_poller;
    bool m_pollerOpen = false;
    std::atomic<std::uint16_t> m_port{0};
    std::atomic<std::uint32_t> m_address{0};
    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_peerCount{0};
    std::atomic<std::uint64_t> m_accepted{0};
    // The link thread's own: the connections and the order of their activity.
    std::vector<std::unique_ptr<Peer>> m_peers;
    std::uint64_t m_activity = 0;
};

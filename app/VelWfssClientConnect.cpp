#include "VelWfssClientConnect.h"

#include <QMutexLocker>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>

#include "NeighbourCheck.h"
#include "WfssCommand.h"
#include "WfssFrameParser.h"
#include "platform/winapi/DebugOutput.h"

namespace {

void Debug(const std::string& text) {
    plat::DebugOutput::Instance().Write(text);
}

void PutLe32(char* p, std::uint32_t v) {
    p[0] = static_cast<char>(v & 0xFF);
    p[1] = static_cast<char>((v >> 8) & 0xFF);
    p[2] = static_cast<char>((v >> 16) & 0xFF);
    p[3] = static_cast<char>((v >> 24) & 0xFF);
}

// How much one connection may have read in one round, so that a busy peer
// does not keep the others waiting.
constexpr std::size_t kReadChunk = 4096;
constexpr int kReadsPerRound = 4;
// Connections taken from the system in one round.
constexpr int kAcceptsPerRound = 64;

}  // namespace

struct VelWfssClientConnect::Peer {
    plat::TcpSocket socket;
    std::uint32_t ip = 0;
    WfssFrameParser parser;
    std::uint64_t lastActive = 0;
    bool failed = false;  // a reply could not be sent
};

// Answers one connection's messages as its parser completes them.
class VelWfssClientConnect::PeerHandler : public WfssFrameParser::Handler {
public:
    PeerHandler(VelWfssClientConnect& link, Peer& peer) : m_link(link), m_peer(peer) {}

    bool Admit(std::uint32_t type) override {
        QByteArray identity;
        std::string why;
        if (m_link.IsAuthorised(m_peer.ip, &identity, &why))
            return true;
        Debug("Unauthorized client: " + identity.toStdString() + why);
        char reply[8];
        PutLe32(reply, type);
        PutLe32(reply + 4, 1);
        if (!SendAll(m_peer, reply, sizeof reply))
            m_peer.failed = true;
        return false;
    }

    bool OnHello(const char* body) override {
        AppID id;
        if (!AppID::FromHello(body, m_peer.ip, &id))
            return false;
        Debug(QStringLiteral("[Zentavo] Mobile Connect ip:%1").arg(id.ip).toStdString());
        emit m_link.OnAppConnect(id);
        std::array<char, 104> reply{};
        PutLe32(reply.data(), 1);
        PutLe32(reply.data() + 4, m_link.m_replyValue);
        std::memcpy(reply.data() + 8, m_link.m_replyText.constData(),
                    std::min<std::size_t>(96, m_link.m_replyText.size()));
        return SendAll(m_peer, reply.data(), reply.size());
    }

    bool OnCommand(const char* body, std::size_t length) override {
        Debug(std::string(body, strnlen(body, length)));
        const WfssCommand command = WfssCommand::Decode(body, length);
        if (!command.parsed)
            return true;  // malformed JSON: no answer, the connection stays
        // The authorised phone may have been replaced while the body came
        // in: then the command is refused like any other of a stranger.
        char reply[8];
        PutLe32(reply, WfssFrameParser::kCommand);
        if (m_link.IsAuthorised(m_peer.ip, nullptr)) {
            if (command.passOn)
                emit m_link.OnJsonReceived(command.command, command.data);
            PutLe32(reply + 4, command.status);
        } else {
            PutLe32(reply + 4, 1);
        }
        return SendAll(m_peer, reply, sizeof reply);
    }

private:
    VelWfssClientConnect& m_link;
    Peer& m_peer;
};

VelWfssClientConnect::VelWfssClientConnect(QObject* parent) : QThread(parent) {
    qRegisterMetaType<AppID>("AppID");
}

VelWfssClientConnect::~VelWfssClientConnect() {
    Close();
}

bool VelWfssClientConnect::Listen(std::uint32_t address, std::uint16_t port) {
    // Every address would open the link to the PC's other networks too.
    if (address == 0 || isRunning() || m_listenSocket.IsOpen())
        return false;
    if (const int e = m_listenSocket.Startup())
        std::printf("WSAStartup return %d, error %d\n", e, plat::LastSocketError());
    m_stop = false;
    if (m_listenSocket.Open() != 0)
        return false;
    int e = m_listenSocket.Bind(address, port);
    while (e == plat::kWsaEAddrInUse && port != 0 && port < 0xFFFF) {
        ++port;
        e = m_listenSocket.Bind(address, port);
    }
    if (!m_pollerOpen && e == 0)
        m_pollerOpen = m_poller.Open() == 0;
    if (e != 0 || m_listenSocket.Listen(kBacklog) != 0 || !m_pollerOpen) {
        m_listenSocket.Close();
        return false;
    }
    m_port = m_listenSocket.LocalPort();
    m_address = address;
    {
        // Nothing disowned before concerns the connections to come.
        QMutexLocker g(&m_lock);
        m_disowned.clear();
    }
    start(QThread::InheritPriority);
    return true;
}

void VelWfssClientConnect::Close() {
    m_stop = true;
    m_poller.Wake();
    wait();
    // The thread closed the sockets on its way out; a link that never
    // started holds none.
    m_listenSocket.Close();
    m_port = 0;
    m_address = 0;
}

void VelWfssClientConnect::RegisterIdentity(std::uint32_t ip, const QByteArray& identity) {
    if (ip == 0 || identity.isEmpty())
        return;
    QMutexLocker g(&m_lock);
    // A client that moved to another address leaves none behind that a
    // later client could inherit its rights with.
    for (auto it = m_identities.begin(); it != m_identities.end();)
        it = it->first != ip && it->second == identity ? m_identities.erase(it) : std::next(it);
    m_identities[ip] = identity;
}

void VelWfssClientConnect::ForgetIdentity(std::uint32_t ip, const QByteArray& identity) {
    QMutexLocker g(&m_lock);
    auto it = m_identities.find(ip);
    if (it != m_identities.end() && it->second == identity)
        m_identities.erase(it);
}

void VelWfssClientConnect::ForgetIdentities() {
    QMutexLocker g(&m_lock);
    m_identities.clear();
}

void VelWfssClientConnect::Disown(const QByteArray& identity) {
    if (identity.isEmpty())
        return;
    {
        QMutexLocker g(&m_lock);
        for (auto it = m_identities.begin(); it != m_identities.end();) {
            if (it->second.compare(identity, Qt::CaseInsensitive) == 0) {
                m_disowned.push_back(it->first);
                it = m_identities.erase(it);
            } else {
                ++it;
            }
        }
    }
    m_poller.Wake();
}

void VelWfssClientConnect::SetAuthorisedId(const QByteArray& id) {
    QMutexLocker g(&m_lock);
    if (!id.isEmpty() && id != m_authorisedId)
        m_authorisedId = id;
}

void VelWfssClientConnect::RevokeAuthorisation() {
    QMutexLocker g(&m_lock);
    m_authorisedId.clear();
}

QByteArray VelWfssClientConnect::AuthorisedId() const {
    QMutexLocker g(&m_lock);
    return m_authorisedId;
}

std::size_t VelWfssClientConnect::IdentityCount() const {
    QMutexLocker g(&m_lock);
    return m_identities.size();
}

bool VelWfssClientConnect::IsAuthorised(std::uint32_t ip, QByteArray* identity,
                                        std::string* why) const {
    QByteArray found;
    QByteArray authorised;
    {
        QMutexLocker g(&m_lock);
        const auto it = m_identities.find(ip);
        if (it != m_identities.end())
            found = it->second;
        authorised = m_authorisedId;
    }
    if (identity != nullptr)
        *identity = found;
    // The settings file may hold the phone's MAC in either case, as the
    // client rows read it.
    if (authorised.isEmpty() || found.compare(authorised, Qt::CaseInsensitive) != 0)
        return false;
    // Whoever took the phone's address is still not the phone: the link
    // layer must say that the phone itself is there.
    QByteArray seen;
    if (NeighbourCheck::Matches(m_address, ip, authorised, &seen))
        return true;
    if (why != nullptr)
        *why = " (hardware address " +
               (seen.isEmpty() ? std::string("unknown") : seen.toStdString()) + ")";
    return false;
}

void VelWfssClientConnect::CloseDisowned() {
    std::vector<std::uint32_t> disowned;
    {
        QMutexLocker g(&m_lock);
        disowned.swap(m_disowned);
    }
    if (disowned.empty())
        return;
    std::erase_if(m_peers, [&disowned](const std::unique_ptr<Peer>& peer) {
        return std::find(disowned.begin(), disowned.end(), peer->ip) != disowned.end();
    });
    m_peerCount = m_peers.size();
}

bool VelWfssClientConnect::SendAll(Peer& peer, const void* data, std::size_t size) {
    // A reply either goes whole or the connection ends: a peer that does not
    // read its replies gets no queue here, and a part of a reply would leave
    // the stream out of step.
    std::size_t sent = 0;
    return peer.socket.Send(data, size, &sent) == 0 && sent == size;
}

void VelWfssClientConnect::run() {
    std::vector<const plat::TcpSocket*> sockets;
    std::vector<bool> readable;
    while (!m_stop) {
        sockets.clear();
        sockets.push_back(&m_listenSocket);
        for (const auto& peer : m_peers)
            sockets.push_back(&peer->socket);
        const plat::SocketPoller::Result r = m_poller.Wait(sockets, &readable, -1);
        if (r == plat::SocketPoller::Result::Failed)
            break;
        if (r != plat::SocketPoller::Result::Ready) {
            CloseDisowned();
            continue;
        }
        // Serve the connections that were waited on before taking new ones,
        // whose indices the result does not cover.
        std::vector<bool> done(m_peers.size(), false);
        for (std::size_t i = 0; i < m_peers.size(); ++i)
            done[i] = readable[i + 1] && !Serve(*m_peers[i]);
        std::size_t kept = 0;
        for (std::size_t i = 0; i < m_peers.size(); ++i)
            if (!done[i])
                m_peers[kept++] = std::move(m_peers[i]);
        m_peers.resize(kept);
        if (readable[0])
            AcceptWaiting();
        m_peerCount = m_peers.size();
    }
    m_peers.clear();
    m_peerCount = 0;
    m_listenSocket.Close();
    QMutexLocker g(&m_lock);
    m_disowned.clear();
}

bool VelWfssClientConnect::Serve(Peer& peer) {
    char buffer[kReadChunk];
    for (int round = 0; round < kReadsPerRound; ++round) {
        std::size_t received = 0;
        const int e = peer.socket.Receive(buffer, sizeof buffer, &received);
        if (e == plat::kWsaEWouldBlock)
            return true;
        if (e != 0 || received == 0)
            return false;
        peer.lastActive = ++m_activity;
        PeerHandler handler(*this, peer);
        const bool more = peer.parser.Feed(buffer, received, handler);
        if (peer.failed)
            return false;
        if (!more) {
            switch (peer.parser.Failure()) {
                case WfssFrameParser::Reason::UnknownType:
                    if (peer.parser.Admitted())
                        Debug("Unknown message");
                    break;
                case WfssFrameParser::Reason::BadLength:
                    Debug("Command length " + std::to_string(peer.parser.CommandLength()) +
                          " refused");
                    break;
                default:
                    break;
            }
            return false;
        }
        if (received < sizeof buffer)
            return true;
    }
    return true;
}

bool VelWfssClientConnect::MakeRoom() {
    if (m_peers.size() < kMaxPeers)
        return true;
    // The longest-quiet connection goes, one that is not the authorised
    // phone's while there is one.
    auto victim = m_peers.end();
    bool victimAuthorised = true;
    for (auto it = m_peers.begin(); it != m_peers.end(); ++it) {
        const bool authorised = IsAuthorised((*it)->ip, nullptr);
        if (victim == m_peers.end() || (victimAuthorised && !authorised) ||
            (authorised == victimAuthorised && (*it)->lastActive < (*victim)->lastActive)) {
            victim = it;
            victimAuthorised = authorised;
        }
    }
    if (victim == m_peers.end())
        return false;
    m_peers.erase(victim);
    return true;
}

void VelWfssClientConnect::AcceptWaiting() {
    for (int i = 0; i < kAcceptsPerRound; ++i) {
        auto peer = std::make_unique<Peer>();
        if (m_listenSocket.Accept(&peer->socket, &peer->ip) != 0)
            return;
        ++m_accepted;
        if (!MakeRoom())
            continue;
        peer->lastActive = ++m_activity;
        m_peers.push_back(std::move(peer));
    }
}

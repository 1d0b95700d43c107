// Whether a peer on the hotspot is, at the link layer, the device whose MAC
// it is taken for. Anyone on the network can take another device's IP
// address, so an address alone proves nothing: the system's neighbour (ARP)
// table must map the peer's address to the expected hardware address, on the
// adapter that carries the local address the peer reached.
#pragma once

#include <QByteArray>
#include <cstdint>

class NeighbourCheck {
public:
    // True when the neighbour table, on the adapter holding `local`, maps
    // `peer` (both network byte order) to the MAC of `macText` (either case).
    // `seen` gets the MAC text the table holds for the peer there (empty when
    // it holds none or cannot be read).
    static bool Matches(std::uint32_t local, std::uint32_t peer, const QByteArray& macText,
                        QByteArray* seen = nullptr);
};

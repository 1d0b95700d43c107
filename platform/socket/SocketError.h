// Socket errors as Winsock codes on every system (10035 would block, 10048
// address in use, ...), so the code above the sockets reads the same on
// Windows and on Linux.
#pragma once

namespace plat {

constexpr int kWsaEWouldBlock = 10035;
constexpr int kWsaEAddrInUse = 10048;
constexpr int kWsaEAddrNotAvail = 10049;
constexpr int kWsaEConnReset = 10054;
constexpr int kWsaENotConn = 10057;
constexpr int kWsaNotInitialised = 10093;

// The Winsock code of the calling thread's last socket error.
int LastSocketError();

#if !defined(_WIN32)
// The Winsock code of a BSD socket error number.
int WinsockCode(int error);
#endif

}  // namespace plat

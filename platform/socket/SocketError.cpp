#include "SocketError.h"

#if defined(_WIN32)
#include <winsock2.h>
#else
#include <cerrno>
#endif

namespace plat {

#if defined(_WIN32)

int LastSocketError() {
    return WSAGetLastError();
}

#else

int WinsockCode(int e) {
    switch (e) {
        case EAGAIN:
            return kWsaEWouldBlock;
        case EINPROGRESS:
            return 10036;
        case EADDRINUSE:
            return kWsaEAddrInUse;
        case EADDRNOTAVAIL:
            return kWsaEAddrNotAvail;
        case EACCES:
            return 10013;
        case EFAULT:
            return 10014;
        case EINVAL:
            return 10022;
        case EMFILE:
        case ENFILE:
            return 10024;
        case EMSGSIZE:
            return 10040;
        case EAFNOSUPPORT:
            return 10047;
        case ENETDOWN:
            return 10050;
        case ENETUNREACH:
            return 10051;
        case ECONNABORTED:
            return 10053;
        case ECONNRESET:
        case EPIPE:
            return kWsaEConnReset;
        case ENOBUFS:
            return 10055;
        case ENOTCONN:
            return kWsaENotConn;
        case ETIMEDOUT:
            return 10060;
        case ECONNREFUSED:
            return 10061;
        case EHOSTUNREACH:
            return 10065;
        case EBADF:
        case ENOTSOCK:
            return 10038;
        default:
            return e;
    }
}

int LastSocketError() {
    return WinsockCode(errno);
}

#endif

}  // namespace plat

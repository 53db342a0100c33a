#pragma once
#include <string>

namespace vollum {

// WinSock code -> fixed English text; unknown codes: "Not a WinSock error".
std::string WinSockErrorText(int code);
// errno (or a resolver error) -> the WinSock code users know.
int WinSockCodeFromErrno(int err);

constexpr int WSAEINTR = 10004;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAHOST_NOT_FOUND = 11001;

}  // namespace vollum

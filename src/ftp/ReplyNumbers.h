#pragma once
// The numbers the client reads out of server replies: the data port of a
// 229 (EPSV) or 227 (PASV) reply and the size a 150 reply announces. Pure
// functions of untrusted text: any byte string gives an answer, never more
// than the text says.
#include <optional>
#include <string>

namespace vollum {

// The port of "229 ... (|||port|)" (any printable non-digit delimiter),
// 1-65535; -1 when the reply names none.
int EpsvPort(const std::string& reply);

// The port of the first group of six comma-separated numbers in a 227 reply
// ("227 Entering Passive Mode for IPv4 (h1,h2,h3,h4,p1,p2)"), text around
// it allowed; -1 when there is no such group, a number in it is above 255 or
// the port is 0. The address in the group is not read.
int PasvPort(const std::string& reply);

// The size "(N bytes)" announces in a 150 reply: only a group that ends the
// reply text (a "." after it allowed) and lies after the requested name where
// the reply echoes it, as a file name may hold a group of its own. None when
// the reply announces no size or one beyond 2^62.
std::optional<long long> AnnouncedSize(const std::string& reply, const std::string& requestedName = "");

// The directory of a 257 reply: the text between the first quote and the
// next single one, a doubled quote standing for one. False without it.
bool PathFromPwdReply(const std::string& reply, std::string& path);

}  // namespace vollum

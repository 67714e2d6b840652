#pragma once
// Fixed English texts for the socket error numbers the ping component meets.

#include <string>

namespace corvasse {

// The text for a Winsock-style error number ("Access denied" for 10013), or
// "(no description available)" for a number without one.
std::string PingSocketErrorText(int code);

}  // namespace corvasse

#pragma once
// The program's version, as the About box and the command lines show it.

namespace corvasse {

inline constexpr const char* kVersion = "2.00";

}  // namespace corvasse

#pragma once
// The system's text for an errno value ("No such file or directory"), safe to
// call from any thread.

#include <string>

namespace corvasse {

std::string ErrnoText(int error);

}  // namespace corvasse

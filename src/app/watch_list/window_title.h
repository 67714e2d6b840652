#pragma once
// The main window's title names the watch it shows.

#include <string>
#include <string_view>

namespace corvasse {

// "Corvasse - watches a web page or a host" for the watch of Corvasse.conf
// (named "Corvasse"), "Corvasse - shop" for the watch "shop".
std::string MainWindowTitle(std::string_view watchName);

}  // namespace corvasse

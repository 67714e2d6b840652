#pragma once
// An X display of its own (Xvfb) with a system tray (trayer, an XEmbed tray)
// for tests of the tray icon. Both stop when the object goes away.
//
//     test::VirtualDesktop desktop;          // sets DISPLAY for this process
//     QApplication app(...);                 // with QT_QPA_PLATFORM=xcb
//
// Throws std::runtime_error when Xvfb or trayer cannot be started.

#include <string>

#include "support/server_process.h"

namespace corvasse::test {

class VirtualDesktop {
public:
    VirtualDesktop();
    ~VirtualDesktop();
    VirtualDesktop(const VirtualDesktop&) = delete;
    VirtualDesktop& operator=(const VirtualDesktop&) = delete;

    // ":<number>".
    const std::string& Display() const { return display_; }

private:
    std::string display_;
    ServerProcess xvfb_;
    ServerProcess tray_;
};

}  // namespace corvasse::test

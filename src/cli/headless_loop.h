#pragma once
// `corvasse --headless`: the service on Qt Core's event loop, with no
// display and no widget. SIGTERM and SIGINT end it within a second, also in
// the middle of a fetch, a ping or a mail dialogue; SIGHUP has the settings
// file read again before the next tick. With --all, every watch of the
// settings folder runs in the one service. With a metrics address, the
// watches' metrics are served there for as long as the service runs.

#include <optional>

namespace corvasse {

struct ListenAddress;
struct MonitorFiles;

// Exit statuses of the service.
inline constexpr int kServiceEnded = 0;
inline constexpr int kServiceCouldNotStart = 2;

// Runs the service until a signal ends it. An address that cannot be
// listened on is said on standard error, and the service does not start.
int RunHeadless(int& argc, char** argv, const MonitorFiles& files, const std::optional<ListenAddress>& metrics);

// Runs every watch of the folder of files.settings in one service until a
// signal ends it; SIGHUP has the folder read again at once.
int RunHeadlessAll(int& argc, char** argv, const MonitorFiles& files, const std::optional<ListenAddress>& metrics);

}  // namespace corvasse

#pragma once
// A real server program that a test fixture starts on a loopback port, waits
// for and stops again.

#include <string>
#include <vector>

namespace corvasse::test {

// True when host:port accepts a TCP connection now.
bool Accepts(const std::string& host, int port);

// Binds a TCP socket to host:port (0: any port) and closes it again; returns
// the port, or 0 when the bind fails.
int TryBind(const std::string& host, int port);

class ServerProcess {
public:
    enum class Readiness { Accepting, Exited, TimedOut };

    ServerProcess() = default;
    ~ServerProcess() { Stop(); }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts the program args[0] with the arguments that follow; its standard
    // output and error go to outputPath when one is given.
    void Start(std::vector<std::string> args, const std::string& outputPath = "");

    // Waits until host:port accepts a connection on a socket the program
    // holds, or until the program ended (most likely because the port was
    // taken meanwhile: a server another test started there is not taken for
    // it). A program that does neither within timeoutMs is stopped.
    Readiness WaitUntilAccepting(const std::string& host, int port, int timeoutMs);

    // Asks the program to end (SIGTERM), kills it when it has not after a few
    // seconds, and reaps it. Nothing happens when it is not running.
    void Stop();

private:
    int pid_ = -1;
};

}  // namespace corvasse::test

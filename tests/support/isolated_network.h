#pragma once
// Network namespaces for tests that must not reach any real network: a fresh
// namespace has only its own loopback interface, so nothing sent inside it
// leaves the machine.

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>

#include "common/errno_text.h"
#include "common/file_descriptor.h"
#include "common/posix_io.h"
#include "support/loopback.h"

namespace corvasse::test {

inline void SetSysctl(const std::string& name, const std::string& value) {
    std::ofstream file("/proc/sys/" + name);
    file << value;
    file.close();
    if (!file) {
        throw std::runtime_error("cannot set " + name);
    }
}

inline void BringLoopbackUp() {
    const FileDescriptor socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const int fd = socket.Get();
    ifreq request{};
    std::strcpy(request.ifr_name, "lo");
    const bool ok = socket.Valid() && ioctl(fd, SIOCGIFFLAGS, &request) == 0 &&
                    (request.ifr_flags |= IFF_UP, ioctl(fd, SIOCSIFFLAGS, &request) == 0);
    if (!ok) {
        throw std::runtime_error("cannot bring the loopback interface up");
    }
}

// Moves the calling thread into a fresh network namespace with loopback up,
// and back into the original one when destroyed. Needs CAP_SYS_ADMIN.
class ScopedNetNamespace {
public:
    ScopedNetNamespace() : original_(open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC)) {
        if (!original_.Valid() || unshare(CLONE_NEWNET) != 0) {
            throw std::runtime_error(std::string("cannot create a network namespace: ") + ErrnoText(errno));
        }
        BringLoopbackUp();
    }
    ~ScopedNetNamespace() { setns(original_.Get(), CLONE_NEWNET); }
    ScopedNetNamespace(const ScopedNetNamespace&) = delete;
    ScopedNetNamespace& operator=(const ScopedNetNamespace&) = delete;

private:
    FileDescriptor original_;
};

// Runs body in a forked child and returns the text it produced; a child that
// dies or throws gives "child failed: ...". For steps that cannot be undone
// (dropping privileges, private mounts).
inline std::string RunInChild(const std::function<std::string()>& body) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    FileDescriptor reading(pipeFds[0]);
    FileDescriptor writing(pipeFds[1]);
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        reading.Close();
        std::string result;
        try {
            result = body();
        } catch (const std::exception& error) {
            result = std::string("child failed: ") + error.what();
        }
        WriteAll(writing.Get(), result);
        _exit(0);
    }
    writing.Close();
    std::string result;
    ReadToEnd(reading.Get(), result);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status)) {
        return "child failed: died";
    }
    return result;
}

// For a forked child only: gives it its own network namespace, with loopback
// up, and its own mount namespace, whose mounts no other process sees.
inline void EnterPrivateNetworkAndMounts() {
    if (unshare(CLONE_NEWNET | CLONE_NEWNS) != 0) {
        throw std::runtime_error(std::string("cannot create namespaces: ") + ErrnoText(errno));
    }
    BringLoopbackUp();
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        throw std::runtime_error("cannot make mounts private");
    }
}

// Within EnterPrivateNetworkAndMounts: puts a file holding text over the file
// at path.
inline void MountTextOver(const char* path, const std::string& text) {
    char textPath[] = "/tmp/corvasse-mount-XXXXXX";
    FileDescriptor textFile(mkstemp(textPath));
    if (!textFile.Valid() || !WriteAll(textFile.Get(), text)) {
        throw std::runtime_error(std::string("cannot write the file for ") + path);
    }
    textFile.Close();
    const bool mounted = mount(textPath, path, nullptr, MS_BIND, nullptr) == 0;
    unlink(textPath);
    if (!mounted) {
        throw std::runtime_error(std::string("cannot mount over ") + path);
    }
}

// For a forked child only: a private network in which /etc/hosts holds the
// lines given ("::1 v6only.test\n") and nothing else, so that names resolve
// as the test says, without a look at any other resolver.
inline void EnterNetworkWithHosts(const std::string& hostsLines) {
    EnterPrivateNetworkAndMounts();
    MountTextOver("/etc/hosts", hostsLines);
}

// For a forked child only: gives it its own network and mount namespaces in
// which /etc/resolv.conf names 127.0.0.1, where a small DNS server answers
// every query with "no such name". Lookups of names outside /etc/hosts then
// fail as they do for a name that does not exist.
inline void EnterNxDomainNetwork() {
    EnterPrivateNetworkAndMounts();
    MountTextOver("/etc/resolv.conf", "nameserver 127.0.0.1\noptions attempts:1 timeout:1\n");

    // The thread below owns it to the end of the child.
    const int server = BindLoopback(SOCK_DGRAM, "127.0.0.1", 53).Release();
    // The child ends with _exit, which also ends this thread.
    std::thread([server] {
        unsigned char query[512];
        for (;;) {
            sockaddr_storage from{};
            socklen_t fromLength = sizeof from;
            const ssize_t got =
                recvfrom(server, query, sizeof query, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (got < 12) {
                continue;
            }
            // Keep the header and the question; answer "no such name".
            size_t end = 12;
            while (end < static_cast<size_t>(got) && query[end] != 0) {
                end += query[end] + 1u;
            }
            end += 5;  // root label, type and class
            if (end > static_cast<size_t>(got)) {
                continue;
            }
            query[2] = static_cast<unsigned char>(0x80 | (query[2] & 0x79));  // response, same opcode and RD
            query[3] = 0x83;                                                  // RA, NXDOMAIN
            std::memset(query + 6, 0, 6);                                     // no answer, authority, extra
            sendto(server, query, end, 0, reinterpret_cast<sockaddr*>(&from), fromLength);
        }
    }).detach();
}

// Makes the current network namespace swallow every TCP packet sent to
// address:port (an IPv4 or IPv6 address), as a firewall that drops a
// listener's packets does: a connect there neither succeeds nor fails until
// its time runs out. Needs nft (Debian's nftables) and CAP_NET_ADMIN.
inline void DropTcpTo(const std::string& address, int port) {
    char rulesPath[] = "/tmp/corvasse-nft-XXXXXX";
    FileDescriptor rulesFile(mkstemp(rulesPath));
    const std::string rules =
        "table inet corvasse_test {\n  chain input {\n"
        "    type filter hook input priority 0; policy accept;\n    " +
        std::string(address.find(':') == std::string::npos ? "ip" : "ip6") + " daddr " + address + " tcp dport " +
        std::to_string(port) + " drop\n  }\n}\n";
    const bool written = rulesFile.Valid() && WriteAll(rulesFile.Get(), rules);
    rulesFile.Close();
    const int status = written ? std::system(("/usr/sbin/nft -f " + std::string(rulesPath)).c_str()) : -1;
    unlink(rulesPath);
    if (status != 0) {
        throw std::runtime_error("nft could not set up the drop rule for " + address);
    }
}

}  // namespace corvasse::test

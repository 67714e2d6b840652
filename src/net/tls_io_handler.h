#pragma once
// The TLS implementation of IOHandler (OpenSSL). Until StartTls it is the
// plain socket handler it derives from, byte for byte, so one handler serves
// http and https, and the mail clients' plain, STARTTLS and implicit-TLS
// dialogues. After StartTls everything sent and received is encrypted.
//
// The handshake runs inside the waits for data: StartTls only prepares it,
// Send keeps what is written until the handshake is done, and the next
// Readable drives it within the time that wait was given. So the
// connection's read time-out and read deadline bound a handshake exactly as
// they bound a plain exchange, and a silent, garbling or vanishing peer ends
// in bounded time. Recv and Send keep the IOHandler contract (a count, 0 when
// the peer closed, -1 with the socket error in errno).

#include <cstddef>
#include <optional>
#include <string>

#include "core/peer_certificate.h"
#include "net/socket_io_handler.h"

struct ssl_st;

namespace corvasse {

class TlsIOHandler : public SocketIOHandler {
public:
    TlsIOHandler() = default;
    ~TlsIOHandler() override;
    TlsIOHandler(const TlsIOHandler&) = delete;
    TlsIOHandler& operator=(const TlsIOHandler&) = delete;

    // Starts TLS on the open connection. peerName is the host as the user
    // gave it: a name must match the certificate and goes out as SNI; an IPv4
    // or IPv6 literal (this one also in brackets) must be among the
    // certificate's addresses and is not sent. The
    // chain must lead to a CA of OpenSSL's default trust store. Nothing
    // happens when TLS is already on. Throws ClosedSocketError without a
    // socket, TlsError when OpenSSL cannot set up the session. Failures of
    // the handshake itself come from the next Readable.
    void StartTls(const std::string& peerName);
    // The handshake is done.
    bool TlsEstablished() const { return established_; }
    // The protocol agreed ("TLSv1.3"); empty before the handshake is done.
    std::string TlsVersion() const;
    // The certificate the server showed and the handshake verified; none
    // before the handshake is done and after TLS ended.
    std::optional<PeerCertificate> ServerCertificate() const;
    // The peer ended the session with a bare close, without close_notify:
    // data framed by that close may have been cut short on the way. Still
    // answers after the connection closed, until the next StartTls or Open.
    bool ClosedWithoutNotify() const { return closedWithoutNotify_; }

    // Ends TLS (sending close_notify when the session is sound), then as
    // SocketIOHandler.
    void Open() override;
    void Close() override;
    // With TLS on: true once decrypted data, the peer's close or a socket
    // error is there to be taken by Recv. Completes the handshake and sends
    // what waited for it first. Throws TlsError "TLS handshake failed: ..."
    // (a certificate that does not verify: "certificate verify failed
    // (<reason>)", "certificate is for <names>, not <peer>" or, for an
    // address the certificate names only as a host name, "certificate has
    // no IP address entry for <peer>"; a peer that does not speak TLS; a
    // close during the handshake) or "TLS connection failed: ..." for a
    // broken record later on.
    bool Readable(Wait wait) override;
    // With TLS on: true at once while bytes are kept for the handshake, else
    // when the socket is ready for what the last Send waited on.
    bool Writable(Wait wait) override;
    long Recv(char* buffer, size_t length) override;
    // With TLS on, before the handshake is done: keeps the bytes and returns
    // their count. After it: encrypts and sends what the socket takes, or
    // fails with EWOULDBLOCK as a plain Send does.
    long Send(const char* buffer, size_t length) override;

private:
    enum class Want { Nothing, Read, Write };
    enum class Phase { Handshake, Data };

    void EndTls();
    // One round without waiting: the handshake, then the kept bytes, then a
    // look for data. Nothing when there is data, a close or an error to report.
    Want Progress();
    // Sorts the result of an OpenSSL call: what to wait for, or Nothing after
    // recording a close or a socket error. Throws TlsError for the rest.
    Want Interpret(int result, Phase phase);
    // Waits for the socket.
    bool WaitFor(Want want, Wait wait);
    [[noreturn]] void FailHandshake(const std::string& reason);

    ssl_st* ssl_ = nullptr;
    std::string peerName_;
    bool established_ = false;
    std::string unsent_;  // written before the handshake was done
    bool peerClosed_ = false;
    bool closedWithoutNotify_ = false;
    Want sendWants_ = Want::Write;  // what the last Send that found no room waits for
    int socketErrno_ = 0;           // the errno of a failed socket call under TLS
    bool broken_ = false;           // a TLS failure: nothing more goes over the session
};

// The handler as a TlsIOHandler; throws IOHandlerPropInvalidError "IOHandler
// value is not valid" when it is none (or null).
TlsIOHandler& RequireTls(IOHandler* handler);

}  // namespace corvasse

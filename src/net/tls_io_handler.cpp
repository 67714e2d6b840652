#include "net/tls_io_handler.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

#include <arpa/inet.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "common/errno_text.h"
#include "common/socket_address.h"
#include "net/net_error.h"
#include "net/socket_stack.h"
#include "net/tls_context.h"
#include "net/tls_error.h"

namespace corvasse {

namespace {

int ClampToInt(size_t length) { return static_cast<int>(std::min<size_t>(length, INT_MAX)); }

// What an IPADD entry of a certificate holds, as text.
std::string AddressText(const ASN1_OCTET_STRING* address) {
    char text[INET6_ADDRSTRLEN] = {};
    const int length = ASN1_STRING_length(address);
    const int family = length == 4 ? AF_INET : length == 16 ? AF_INET6 : 0;
    if (family == 0 || inet_ntop(family, ASN1_STRING_get0_data(address), text, sizeof text) == nullptr) return "?";
    return text;
}

std::string Utf8Text(const ASN1_STRING* text) {
    return std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(text)),
                       static_cast<size_t>(ASN1_STRING_length(text)));
}

// The names a certificate is for: its subject alternative names, or the
// subject's common name when it has none.
std::vector<std::string> CertificateNames(X509* certificate) {
    std::vector<std::string> names;
    if (certificate == nullptr) return names;
    auto* alternatives =
        static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr));
    for (int i = 0; i < sk_GENERAL_NAME_num(alternatives); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(alternatives, i);
        if (name->type == GEN_DNS) names.push_back(Utf8Text(name->d.dNSName));
        if (name->type == GEN_IPADD) names.push_back(AddressText(name->d.iPAddress));
    }
    GENERAL_NAMES_free(alternatives);
    if (names.empty()) {
        const X509_NAME* subject = X509_get_subject_name(certificate);
        const int at = X509_NAME_get_index_by_NID(subject, NID_commonName, -1);
        if (at >= 0) names.push_back(Utf8Text(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, at))));
    }
    return names;
}

// Why a certificate does not match the peer, in the terms of what it holds.
std::string MismatchReason(X509* certificate, const std::string& peer, long verifyResult) {
    const std::vector<std::string> names = CertificateNames(certificate);
    // An address written as a host name (or only in the common name) does
    // not count for an address: saying it is for that address would read as
    // a contradiction.
    if (verifyResult == X509_V_ERR_IP_ADDRESS_MISMATCH && std::find(names.begin(), names.end(), peer) != names.end()) {
        return "certificate has no IP address entry for " + peer;
    }
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : ", ") + name;
    if (joined.empty()) joined = certificate == nullptr ? "another host" : "no host name";
    return "certificate is for " + joined + ", not " + peer;
}

// The peer's own certificate, also when verifying it failed (the chain is
// kept, the verified certificate is not).
X509* PeerLeafCertificate(SSL* ssl) {
    STACK_OF(X509)* chain = SSL_get_peer_cert_chain(ssl);
    return sk_X509_num(chain) > 0 ? sk_X509_value(chain, 0) : nullptr;
}

// A certificate time as a point in time; the epoch when it cannot be read.
std::chrono::system_clock::time_point TimePoint(const ASN1_TIME* time) {
    std::tm parts{};
    if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1) return {};
    return std::chrono::system_clock::from_time_t(timegm(&parts));
}

std::string NameText(const X509_NAME* name) {
    const std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
    if (bio == nullptr || X509_NAME_print_ex(bio.get(), name, 0, XN_FLAG_RFC2253) < 0) return {};
    char* text = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &text);
    return length > 0 ? std::string(text, static_cast<size_t>(length)) : std::string();
}

std::string SerialText(const ASN1_INTEGER* serial) {
    const std::unique_ptr<BIGNUM, decltype(&BN_free)> number(ASN1_INTEGER_to_BN(serial, nullptr), BN_free);
    if (number == nullptr) return {};
    const std::unique_ptr<char, void (*)(char*)> hex(BN_bn2hex(number.get()), [](char* p) { OPENSSL_free(p); });
    return hex ? std::string(hex.get()) : std::string();
}

}  // namespace

TlsIOHandler::~TlsIOHandler() { EndTls(); }

TlsIOHandler& RequireTls(IOHandler* handler) {
    auto* tls = dynamic_cast<TlsIOHandler*>(handler);
    if (tls == nullptr) throw IOHandlerPropInvalidError();
    return *tls;
}

void TlsIOHandler::StartTls(const std::string& peerName) {
    if (!Binding().HandleAllocated()) throw ClosedSocketError();
    if (ssl_ != nullptr) return;
    closedWithoutNotify_ = false;
    SSL_CTX* context = SharedTlsContext();
    ERR_clear_error();
    BIO* bio = NewSocketBio(Binding().Handle());
    ssl_ = SSL_new(context);
    if (ssl_ == nullptr) {
        BIO_free(bio);
        throw TlsError("TLS cannot be set up: " + LastTlsErrorReason("no session"));
    }
    SSL_set_bio(ssl_, bio, bio);
    const std::optional<std::string> ipv6 = IPv6Literal(peerName);
    peerName_ = ipv6 ? AddressForDisplay(*ipv6) : peerName;
    bool ready;
    if (SocketStack::IsIPAddress(peerName)) {
        // Certificates name an address in its dotted form; SNI never carries one.
        const std::string dotted = SocketStack::AddressToText(SocketStack::TextToAddress(peerName));
        ready = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), dotted.c_str()) == 1;
    } else if (ipv6) {
        ready = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), ipv6->c_str()) == 1;
    } else {
        SSL_set_hostflags(ssl_, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        ready = SSL_set1_host(ssl_, peerName.c_str()) == 1 && SSL_set_tlsext_host_name(ssl_, peerName.c_str()) == 1;
    }
    if (!ready) {
        const std::string reason = LastTlsErrorReason("the host name is not usable");
        EndTls();
        throw TlsError("TLS cannot be set up: " + reason);
    }
    SSL_set_connect_state(ssl_);
    // Every wait happens in poll, bounded; OpenSSL must never block on its own.
    Stack().CheckSocketResult(Stack().SetBlocking(Binding().Handle(), false));
}

std::string TlsIOHandler::TlsVersion() const { return established_ ? SSL_get_version(ssl_) : std::string(); }

std::optional<PeerCertificate> TlsIOHandler::ServerCertificate() const {
    X509* certificate = established_ ? SSL_get0_peer_certificate(ssl_) : nullptr;
    if (certificate == nullptr) return std::nullopt;
    return PeerCertificate{peerName_, TimePoint(X509_get0_notAfter(certificate)),
                           NameText(X509_get_issuer_name(certificate)),
                           SerialText(X509_get0_serialNumber(certificate))};
}

void TlsIOHandler::EndTls() {
    if (ssl_ != nullptr) {
        // A parting close_notify where the session is sound; the socket does
        // not block, so this never waits.
        if (established_ && !broken_ && !closedWithoutNotify_ && socketErrno_ == 0) SSL_shutdown(ssl_);
        SSL_free(ssl_);
        ssl_ = nullptr;
        ERR_clear_error();
    }
    peerName_.clear();
    established_ = false;
    unsent_.clear();
    peerClosed_ = false;
    sendWants_ = Want::Write;
    socketErrno_ = 0;
    broken_ = false;
}

void TlsIOHandler::Open() {
    EndTls();
    closedWithoutNotify_ = false;
    SocketIOHandler::Open();
}

void TlsIOHandler::Close() {
    EndTls();
    SocketIOHandler::Close();
}

bool TlsIOHandler::Readable(Wait wait) {
    if (ssl_ == nullptr) return SocketIOHandler::Readable(wait);
    if (!Binding().HandleAllocated()) throw ConnClosedGracefullyError();
    // Each round waits for what is left of the time it was given.
    const std::optional<Wait::Clock::time_point> end = wait.Deadline();
    for (;;) {
        const Want want = Progress();
        if (want == Want::Nothing) return true;
        if (!WaitFor(want, end ? Wait::Until(*end) : Wait::Forever())) return false;
    }
}

TlsIOHandler::Want TlsIOHandler::Progress() {
    if (peerClosed_ || socketErrno_ != 0) return Want::Nothing;
    if (broken_) throw TlsError("TLS connection failed: the session is broken");
    ERR_clear_error();
    if (!established_) {
        const int result = SSL_do_handshake(ssl_);
        if (result != 1) return Interpret(result, Phase::Handshake);
        established_ = true;
    }
    while (!unsent_.empty()) {
        const int sent = SSL_write(ssl_, unsent_.data(), ClampToInt(unsent_.size()));
        if (sent <= 0) return Interpret(sent, Phase::Data);
        unsent_.erase(0, static_cast<size_t>(sent));
    }
    char byte;
    const int peeked = SSL_peek(ssl_, &byte, 1);
    return peeked > 0 ? Want::Nothing : Interpret(peeked, Phase::Data);
}

TlsIOHandler::Want TlsIOHandler::Interpret(int result, Phase phase) {
    const int savedErrno = errno;
    const int error = SSL_get_error(ssl_, result);
    // OpenSSL reports a bare close (end of stream, no close_notify) as an
    // error; for the connection it is a close, one that may have cut data.
    const bool bareClose =
        (error == SSL_ERROR_SYSCALL && savedErrno == 0) ||
        (error == SSL_ERROR_SSL && ERR_GET_REASON(ERR_peek_last_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING);
    if (bareClose) {
        if (phase == Phase::Handshake) FailHandshake("the server closed the connection");
        peerClosed_ = true;
        closedWithoutNotify_ = true;
        return Want::Nothing;
    }
    switch (error) {
        case SSL_ERROR_WANT_READ: return Want::Read;
        case SSL_ERROR_WANT_WRITE: return Want::Write;
        case SSL_ERROR_ZERO_RETURN:
            if (phase == Phase::Handshake) FailHandshake("the server closed the connection");
            peerClosed_ = true;
            return Want::Nothing;
        case SSL_ERROR_SYSCALL:
            if (phase == Phase::Handshake) FailHandshake(ErrnoText(savedErrno));
            socketErrno_ = savedErrno;
            return Want::Nothing;
        default:
            if (phase == Phase::Handshake) FailHandshake(LastTlsErrorReason("the server closed the connection"));
            broken_ = true;
            throw TlsError("TLS connection failed: " + LastTlsErrorReason("protocol error"));
    }
}

void TlsIOHandler::FailHandshake(const std::string& reason) {
    broken_ = true;
    const long verified = SSL_get_verify_result(ssl_);
    if (verified == X509_V_ERR_HOSTNAME_MISMATCH || verified == X509_V_ERR_IP_ADDRESS_MISMATCH) {
        throw TlsError("TLS handshake failed: " + MismatchReason(PeerLeafCertificate(ssl_), peerName_, verified));
    }
    if (verified != X509_V_OK) {
        throw TlsError(std::string("TLS handshake failed: certificate verify failed (") +
                       X509_verify_cert_error_string(verified) + ")");
    }
    throw TlsError("TLS handshake failed: " + reason);
}

bool TlsIOHandler::WaitFor(Want want, Wait wait) {
    std::vector<int> socket{Binding().Handle()};
    const int ready = want == Want::Read ? Stack().SelectSockets(&socket, nullptr, nullptr, wait)
                                         : Stack().SelectSockets(nullptr, &socket, nullptr, wait);
    if (ready < 0) Stack().CheckSocketResult(-1);
    return ready == 1;
}

long TlsIOHandler::Recv(char* buffer, size_t length) {
    if (ssl_ == nullptr) return SocketIOHandler::Recv(buffer, length);
    if (!Binding().HandleAllocated()) throw ClosedSocketError();
    // One call takes every record that is already there, not just one.
    size_t done = 0;
    while (done < length && !peerClosed_ && socketErrno_ == 0) {
        ERR_clear_error();
        const int count = SSL_read(ssl_, buffer + done, ClampToInt(length - done));
        if (count <= 0) {
            if (Interpret(count, Phase::Data) != Want::Nothing) break;
            continue;
        }
        done += static_cast<size_t>(count);
    }
    if (done > 0) return static_cast<long>(done);
    if (peerClosed_) return 0;
    errno = socketErrno_ != 0 ? socketErrno_ : EWOULDBLOCK;
    return -1;
}

bool TlsIOHandler::Writable(Wait wait) {
    if (ssl_ == nullptr) return SocketIOHandler::Writable(wait);
    if (!Binding().HandleAllocated()) throw ClosedSocketError();
    // Send keeps bytes for the handshake, and reports an ended session at once.
    if (!established_ || !unsent_.empty() || peerClosed_ || socketErrno_ != 0 || broken_) return true;
    return WaitFor(sendWants_, wait);
}

long TlsIOHandler::Send(const char* buffer, size_t length) {
    if (ssl_ == nullptr) return SocketIOHandler::Send(buffer, length);
    if (!Binding().HandleAllocated()) throw ClosedSocketError();
    if (broken_) {
        // Nothing goes out in clear on a connection that was to be encrypted.
        errno = ECONNABORTED;
        return -1;
    }
    if (!established_ || !unsent_.empty()) {
        unsent_.append(buffer, length);
        return static_cast<long>(length);
    }
    // A write that found no room is repeated with the same bytes, as OpenSSL
    // requires: the caller retries from where the send stopped.
    ERR_clear_error();
    const int sent = SSL_write(ssl_, buffer, ClampToInt(length));
    if (sent > 0) return sent;
    const Want want = Interpret(sent, Phase::Data);
    if (want == Want::Nothing) {
        errno = socketErrno_ != 0 ? socketErrno_ : EPIPE;
        return -1;
    }
    sendWants_ = want;
    errno = EWOULDBLOCK;
    return -1;
}

}  // namespace corvasse

#include "net/tls_io_handler.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

#include <arpa/inet.h>

#include "common/errno_text.h"
#include "common/socket_address.h"
#include "net/net_error.h"
#include "net/openssl_library.h"
#include "net/socket_stack.h"
#include "net/tls_context.h"
#include "net/tls_error.h"

namespace corvasse {

namespace {

int ClampToInt(size_t length) { return static_cast<int>(std::min<size_t>(length, INT_MAX)); }

// OpenSSL's typed stacks (sk_X509_num, sk_GENERAL_NAME_value, ...) are
// macros over these two calls.
int StackCount(const void* stack) { return OpenSsl().OPENSSL_sk_num(static_cast<const OPENSSL_STACK*>(stack)); }

template <typename Item>
Item* StackItem(const void* stack, int index) {
    return static_cast<Item*>(OpenSsl().OPENSSL_sk_value(static_cast<const OPENSSL_STACK*>(stack), index));
}

// What an IPADD entry of a certificate holds, as text.
std::string AddressText(const ASN1_OCTET_STRING* address) {
    char text[INET6_ADDRSTRLEN] = {};
    const int length = OpenSsl().ASN1_STRING_length(address);
    const int family = length == 4 ? AF_INET : length == 16 ? AF_INET6 : 0;
    const unsigned char* bytes = OpenSsl().ASN1_STRING_get0_data(address);
    if (family == 0 || inet_ntop(family, bytes, text, sizeof text) == nullptr) return "?";
    return text;
}

std::string Utf8Text(const ASN1_STRING* text) {
    return std::string(reinterpret_cast<const char*>(OpenSsl().ASN1_STRING_get0_data(text)),
                       static_cast<size_t>(OpenSsl().ASN1_STRING_length(text)));
}

// The names a certificate is for: its subject alternative names, or the
// subject's common name when it has none.
std::vector<std::string> CertificateNames(X509* certificate) {
    std::vector<std::string> names;
    if (certificate == nullptr) return names;
    auto* alternatives =
        static_cast<GENERAL_NAMES*>(OpenSsl().X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr));
    for (int i = 0; i < StackCount(alternatives); ++i) {
        const auto* name = StackItem<const GENERAL_NAME>(alternatives, i);
        if (name->type == GEN_DNS) names.push_back(Utf8Text(name->d.dNSName));
        if (name->type == GEN_IPADD) names.push_back(AddressText(name->d.iPAddress));
    }
    OpenSsl().GENERAL_NAMES_free(alternatives);
    if (names.empty()) {
        const X509_NAME* subject = OpenSsl().X509_get_subject_name(certificate);
        const int at = OpenSsl().X509_NAME_get_index_by_NID(subject, NID_commonName, -1);
        if (at >= 0) {
            const X509_NAME_ENTRY* entry = OpenSsl().X509_NAME_get_entry(subject, at);
            names.push_back(Utf8Text(OpenSsl().X509_NAME_ENTRY_get_data(entry)));
        }
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
    STACK_OF(X509)* chain = OpenSsl().SSL_get_peer_cert_chain(ssl);
    return StackCount(chain) > 0 ? StackItem<X509>(chain, 0) : nullptr;
}

// A certificate time as a point in time; the epoch when it cannot be read.
std::chrono::system_clock::time_point TimePoint(const ASN1_TIME* time) {
    std::tm parts{};
    if (time == nullptr || OpenSsl().ASN1_TIME_to_tm(time, &parts) != 1) return {};
    return std::chrono::system_clock::from_time_t(timegm(&parts));
}

std::string NameText(const X509_NAME* name) {
    const auto freeBio = [](BIO* bio) { OpenSsl().BIO_free(bio); };
    const std::unique_ptr<BIO, decltype(freeBio)> bio(OpenSsl().BIO_new(OpenSsl().BIO_s_mem()), freeBio);
    if (bio == nullptr || OpenSsl().X509_NAME_print_ex(bio.get(), name, 0, XN_FLAG_RFC2253) < 0) return {};
    char* text = nullptr;
    const long length = OpenSsl().BIO_ctrl(bio.get(), BIO_CTRL_INFO, 0, &text);
    return length > 0 ? std::string(text, static_cast<size_t>(length)) : std::string();
}

std::string SerialText(const ASN1_INTEGER* serial) {
    const auto freeNumber = [](BIGNUM* number) { OpenSsl().BN_free(number); };
    const std::unique_ptr<BIGNUM, decltype(freeNumber)> number(OpenSsl().ASN1_INTEGER_to_BN(serial, nullptr),
                                                               freeNumber);
    if (number == nullptr) return {};
    const auto freeText = [](char* text) { OpenSsl().CRYPTO_free(text, OPENSSL_FILE, OPENSSL_LINE); };
    const std::unique_ptr<char, decltype(freeText)> hex(OpenSsl().BN_bn2hex(number.get()), freeText);
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
    OpenSsl().ERR_clear_error();
    BIO* bio = NewSocketBio(Binding().Handle());
    ssl_ = OpenSsl().SSL_new(context);
    if (ssl_ == nullptr) {
        OpenSsl().BIO_free(bio);
        throw TlsError("TLS cannot be set up: " + LastTlsErrorReason("no session"));
    }
    OpenSsl().SSL_set_bio(ssl_, bio, bio);
    const std::optional<std::string> ipv6 = IPv6Literal(peerName);
    peerName_ = ipv6 ? AddressForDisplay(*ipv6) : peerName;
    bool ready;
    if (SocketStack::IsIPAddress(peerName)) {
        // Certificates name an address in its dotted form; SNI never carries one.
        const std::string dotted = SocketStack::AddressToText(SocketStack::TextToAddress(peerName));
        ready = OpenSsl().X509_VERIFY_PARAM_set1_ip_asc(OpenSsl().SSL_get0_param(ssl_), dotted.c_str()) == 1;
    } else if (ipv6) {
        ready = OpenSsl().X509_VERIFY_PARAM_set1_ip_asc(OpenSsl().SSL_get0_param(ssl_), ipv6->c_str()) == 1;
    } else {
        OpenSsl().SSL_set_hostflags(ssl_, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        ready = OpenSsl().SSL_set1_host(ssl_, peerName.c_str()) == 1 &&
                OpenSsl().SSL_ctrl(ssl_, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                                   const_cast<char*>(peerName.c_str())) == 1;
    }
    if (!ready) {
        const std::string reason = LastTlsErrorReason("the host name is not usable");
        EndTls();
        throw TlsError("TLS cannot be set up: " + reason);
    }
    OpenSsl().SSL_set_connect_state(ssl_);
    // Every wait happens in poll, bounded; OpenSSL must never block on its own.
    Stack().CheckSocketResult(Stack().SetBlocking(Binding().Handle(), false));
}

std::string TlsIOHandler::TlsVersion() const { return established_ ? OpenSsl().SSL_get_version(ssl_) : std::string(); }

std::optional<PeerCertificate> TlsIOHandler::ServerCertificate() const {
    X509* certificate = established_ ? OpenSsl().SSL_get0_peer_certificate(ssl_) : nullptr;
    if (certificate == nullptr) return std::nullopt;
    return PeerCertificate{peerName_, TimePoint(OpenSsl().X509_get0_notAfter(certificate)),
                           NameText(OpenSsl().X509_get_issuer_name(certificate)),
                           SerialText(OpenSsl().X509_get0_serialNumber(certificate))};
}

void TlsIOHandler::EndTls() {
    if (ssl_ != nullptr) {
        // A parting close_notify where the session is sound; the socket does
        // not block, so this never waits.
        if (established_ && !broken_ && !closedWithoutNotify_ && socketErrno_ == 0) OpenSsl().SSL_shutdown(ssl_);
        OpenSsl().SSL_free(ssl_);
        ssl_ = nullptr;
        OpenSsl().ERR_clear_error();
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
    OpenSsl().ERR_clear_error();
    if (!established_) {
        const int result = OpenSsl().SSL_do_handshake(ssl_);
        if (result != 1) return Interpret(result, Phase::Handshake);
        established_ = true;
    }
    while (!unsent_.empty()) {
        const int sent = OpenSsl().SSL_write(ssl_, unsent_.data(), ClampToInt(unsent_.size()));
        if (sent <= 0) return Interpret(sent, Phase::Data);
        unsent_.erase(0, static_cast<size_t>(sent));
    }
    char byte;
    const int peeked = OpenSsl().SSL_peek(ssl_, &byte, 1);
    return peeked > 0 ? Want::Nothing : Interpret(peeked, Phase::Data);
}

TlsIOHandler::Want TlsIOHandler::Interpret(int result, Phase phase) {
    const int savedErrno = errno;
    const int error = OpenSsl().SSL_get_error(ssl_, result);
    // OpenSSL reports a bare close (end of stream, no close_notify) as an
    // error; for the connection it is a close, one that may have cut data.
    const bool bareClose = (error == SSL_ERROR_SYSCALL && savedErrno == 0) ||
                           (error == SSL_ERROR_SSL &&
                            ERR_GET_REASON(OpenSsl().ERR_peek_last_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING);
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
    const long verified = OpenSsl().SSL_get_verify_result(ssl_);
    if (verified == X509_V_ERR_HOSTNAME_MISMATCH || verified == X509_V_ERR_IP_ADDRESS_MISMATCH) {
        throw TlsError("TLS handshake failed: " + MismatchReason(PeerLeafCertificate(ssl_), peerName_, verified));
    }
    if (verified != X509_V_OK) {
        throw TlsError(std::string("TLS handshake failed: certificate verify failed (") +
                       OpenSsl().X509_verify_cert_error_string(verified) + ")");
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
        OpenSsl().ERR_clear_error();
        const int count = OpenSsl().SSL_read(ssl_, buffer + done, ClampToInt(length - done));
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
    OpenSsl().ERR_clear_error();
    const int sent = OpenSsl().SSL_write(ssl_, buffer, ClampToInt(length));
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

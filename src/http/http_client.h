#pragma once
// A blocking HTTP/1.1 client: sends a GET request head (or a POST with its
// body) over a TCP connection it opens or reuses, reads the status line and
// headers, follows a GET's redirects, and reads the body in any of the three
// framings (Content-Length, chunked, until close). Status and work events
// come from the connection.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/peer_certificate.h"
#include "http/http_request.h"
#include "http/http_response.h"
#include "http/response_limits.h"
#include "http/uri.h"
#include "net/tcp_client.h"

namespace corvasse {

class ByteSink;

// How long a redirect's body may take to be read and dropped, and an error
// response's body to be read for the error (the defaults of
// RedirectDrainTimeout and ErrorBodyTimeout).
inline constexpr std::chrono::milliseconds kRedirectDrainTimeout{4000};
inline constexpr std::chrono::milliseconds kErrorBodyTimeout{2000};
// How long one fetch, redirects included, may go on reading before it fails
// with FetchTimeoutError. Each single wait is also limited by ReadTimeout;
// this bounds a server that sends just often enough to keep every wait short.
inline constexpr std::chrono::milliseconds kDefaultFetchTimeout{600000};
inline constexpr int kDefaultHttpPort = 80;
inline constexpr int kDefaultRedirectMaximum = 15;

class HttpClient : public TcpClient {
public:
    HttpClient();

    bool HandleRedirects = false;
    // Requests per fetch: with 15, at most 14 redirects are followed.
    int RedirectMaximum = kDefaultRedirectMaximum;
    // Milliseconds a connect may take (0: a plain blocking connect).
    int ConnectTimeout = 0;
    // How long a whole fetch may spend reading (0: no limit).
    std::chrono::milliseconds FetchTimeout = kDefaultFetchTimeout;
    // The read time-out while a redirect's body is dropped, and while an
    // error response's body is read for its error.
    std::chrono::milliseconds RedirectDrainTimeout = kRedirectDrainTimeout;
    std::chrono::milliseconds ErrorBodyTimeout = kErrorBodyTimeout;
    // The most body bytes a redirect's or an error response's body may bring
    // (ResponseBodyTooLargeError); the page's body, streamed to a sink, has
    // no limit here.
    int64_t MaxResponseBodyBytes = kMaxResponseBodyBytes;
    // https:// addresses are fetched over TLS (default port 443), and a
    // relative redirect on an https page stays https. Off: an https address
    // fails with IOHandlerPropInvalidError, as there is no TLS handler.
    bool AllowHttps = false;

    HttpRequest Request;
    HttpResponse Response;
    // The URL of the current (or last) request, after merging redirects.
    // Every fetch starts with an empty one.
    Uri CurrentURI;
    // Requests made during the current fetch: every fetch counts from 0, and
    // the count is 0 again after a fetch that ended without an error.
    int RedirectCounter = 0;

    // Raised for every redirect response with the target as received, the
    // request count so far (a copy) and whether to follow it (entering as
    // HandleRedirects); the handler may change the target and the flag.
    std::function<void(std::string& dest, int numRedirect, bool& handled)> OnRedirect;

    // GETs the URL, handing the body to `body` piece by piece as it arrives
    // (each receive, at most RecvBufferSize bytes), so that nothing of it is
    // held here. Only the final response's body is handed on, never a
    // redirect's or an error's. What the sink throws ends the fetch as a read
    // error does. A URL that does not start with a scheme and "://" is taken
    // as "http://" followed by the text.
    // Throws HttpProtocolError for a status that is not 2xx and not a followed
    // redirect, NetError "Undefined situation" for a 2xx on a connection that
    // is already gone, UnknownProtocolError, IOHandlerPropInvalidError for
    // https without AllowHttps, TlsError, ConversionError for a port that
    // is not a number, InvalidChunkSizeError, and every connection error
    // (SocketError, ConnectTimeoutError, ReadTimeoutError,
    // ConnClosedGracefullyError for a body cut short, MaxLineLengthExceededError),
    // and the limits' ResponseHeadersTooLargeError, ResponseBodyTooLargeError
    // (a redirect's or an error's body) and FetchTimeoutError.
    void Get(const std::string& url, ByteSink& body);

    // POSTs body, of the type given and with the further header fields, to
    // the URL; the reply's body is read and dropped (at most
    // MaxResponseBodyBytes). A redirect is never followed: like every status
    // that is not 2xx it throws HttpProtocolError. A field's name or value
    // with a line break throws HeaderFieldError before anything is sent.
    // Throws what Get throws.
    void Post(const std::string& url, const std::string& contentType, const std::string& body,
              const std::vector<std::pair<std::string, std::string>>& fields = {});

    // The certificate of the TLS connection that brought the last response
    // of the latest fetch; none when that came in clear or no response was
    // read. Every fetch starts without.
    const std::optional<PeerCertificate>& ServerCertificate() const { return serverCertificate_; }

    // The status line of the last response this fetch read; empty until it
    // read one (every fetch starts without).
    const std::string& ResponseText() const { return Response.ResponseText; }
    // Its code; -1 when there is none.
    int32_t ResponseCode() const { return Response.ResponseCode(); }

private:
    enum class NextStep { FollowRedirect, Finish, Undecided };
    // Whether a body cut short fails the fetch (a page) or is taken as it
    // came (a redirect's or an error's body).
    enum class CutBody { Fails, Accepted };

    // Sends Request (method, body and fields set) and reads the reply: the
    // body of a 2xx goes to body.
    void Fetch(const std::string& url, ByteSink& body);
    void PrepareTarget();
    // Opens or reuses the connection and sends the request. A kept connection
    // found closed or reset before the request is written is dropped, and the
    // request goes over a new connection.
    void OpenForRequest();
    void SelectEndpoint();
    void WriteRequestHead();
    std::string ReadStatusLine();
    void ReadResponseHeaders();
    NextStep DecideNextStep();
    bool FireRedirect(std::string& dest);
    [[noreturn]] void RaiseProtocolError();
    // Reads the body into the sink; more than limit bytes fail with
    // ResponseBodyTooLargeError.
    void ReadBody(ByteSink& body, int64_t limit, CutBody cut);
    void ReadChunkedBody(ByteSink& body, int64_t limit);
    // The parsers' line limit: MaxLineLength (0 or less: none). A longer
    // line fails the fetch.
    size_t LineLimit() const;
    void DrainBody();
    // Whether the connection may serve the next request: open, and not
    // closed by the last response's Connection or Proxy-Connection. A query:
    // CheckConnection first notices a closed peer.
    bool IsKeepAlive() const;
    bool HasBody() const;
    void OfferAuthentication();

    // Bytes of status and header lines read for the current request.
    HeadByteCount headBytes_;
    // The connection to Host:Port speaks TLS.
    bool usingTls_ = false;
    // Where the body of the current fetch goes (set while Get runs).
    ByteSink* body_ = nullptr;
    std::optional<PeerCertificate> serverCertificate_;
    // The family the connection to Host:Port was restricted to.
    AddressFamily endpointFamily_ = AddressFamily::Any;
};

}  // namespace corvasse

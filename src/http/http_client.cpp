#include "http/http_client.h"

#include <algorithm>
#include <cstdint>

#include "common/byte_sink.h"
#include "common/byte_string.h"
#include "common/memory_stream.h"
#include "common/socket_error_code.h"
#include "http/chunked_decoder.h"
#include "http/header_block_parser.h"
#include "http/http_errors.h"
#include "http/status_line_parser.h"
#include "net/net_error.h"
#include "net/parser_feed.h"
#include "net/tls_error.h"
#include "net/tls_io_handler.h"
#include "net/work_bracket.h"

namespace corvasse {

namespace {

// Sets a connection's read time-out for one step and restores it afterwards,
// also when the step throws.
class ReadTimeoutOverride {
public:
    ReadTimeoutOverride(TcpClient& connection, std::chrono::milliseconds timeout)
        : connection_(connection), saved_(connection.ReadTimeout) {
        connection_.ReadTimeout = static_cast<int>(timeout.count());
    }
    ~ReadTimeoutOverride() { connection_.ReadTimeout = saved_; }
    ReadTimeoutOverride(const ReadTimeoutOverride&) = delete;
    ReadTimeoutOverride& operator=(const ReadTimeoutOverride&) = delete;

private:
    TcpClient& connection_;
    int saved_;
};

// Hands a body on and counts it; the bytes that would take it past its limit
// fail the fetch instead of reaching the sink.
class LimitedBody : public ByteSink {
public:
    LimitedBody(ByteSink& body, int64_t limit) : body_(body), limit_(limit) {}

    void Write(std::string_view bytes) override {
        const int64_t room = limit_ - count_;
        if (static_cast<int64_t>(bytes.size()) > room) {
            if (room > 0) body_.Write(bytes.substr(0, static_cast<size_t>(room)));
            count_ = limit_;
            throw ResponseBodyTooLargeError(limit_);
        }
        body_.Write(bytes);
        count_ += static_cast<int64_t>(bytes.size());
    }

private:
    ByteSink& body_;
    int64_t limit_;
    int64_t count_ = 0;
};

// A body that is read only so that the connection can serve the next request.
class DroppedBody : public ByteSink {
public:
    void Write(std::string_view) override {}
};

// Hands a chunk's data to the body and to the decoder that counts it off.
class ChunkData : public ByteSink {
public:
    ChunkData(ChunkedDecoder& decoder, ByteSink& body) : decoder_(decoder), body_(body) {}

    void Write(std::string_view bytes) override {
        decoder_.Feed(bytes);
        body_.Write(bytes);
        taken_ += static_cast<int64_t>(bytes.size());
    }
    int64_t Taken() const { return taken_; }

private:
    ChunkedDecoder& decoder_;
    ByteSink& body_;
    int64_t taken_ = 0;
};

constexpr const char* kCutShortMessage =
    "TLS connection failed: the server closed the connection without close_notify; the response may be cut short";

// The errors of a kept connection that the server (or a middlebox) closed or
// reset while it was idle.
bool IsDeadConnectionError(const SocketError& error) {
    return error.Code() == kConnectionAborted || error.Code() == kConnectionReset || error.Code() == kShutDown;
}

}  // namespace

HttpClient::HttpClient() { Port = kDefaultHttpPort; }

void HttpClient::Get(const std::string& url, ByteSink& body) {
    Request.Method = "GET";
    Request.Body.clear();
    Request.ContentType.clear();
    Request.Fields.clear();
    Fetch(url, body);
}

void HttpClient::Post(const std::string& url, const std::string& contentType, const std::string& body,
                      const std::vector<std::pair<std::string, std::string>>& fields) {
    for (const auto& [name, value] : fields) {
        if (name.find_first_of("\r\n") != std::string::npos || value.find_first_of("\r\n") != std::string::npos) {
            throw HeaderFieldError(name);
        }
    }
    Request.Method = "POST";
    Request.Body = body;
    Request.ContentType = contentType;
    Request.Fields = fields;
    DroppedBody reply;
    LimitedBody limited(reply, MaxResponseBodyBytes);
    Fetch(url, limited);
}

void HttpClient::Fetch(const std::string& url, ByteSink& body) {
    // Nothing of an earlier fetch carries over: not its address, which a
    // relative text would be merged into, nor its count of requests, which
    // would stop this fetch at its first redirect once it reached the maximum,
    // nor its status line, which a fetch that fails before reading one would
    // otherwise report as its own, nor its server's certificate.
    Response.ResponseText.clear();
    serverCertificate_.reset();
    CurrentURI = Uri();
    RedirectCounter = 0;
    Request.RequestTarget = AbsoluteAddress(url);
    body_ = &body;
    ScopedReadDeadline deadline(*this, FetchTimeout);
    try {
        bool finished = false;
        while (!finished) {
            ++RedirectCounter;
            headBytes_ = HeadByteCount();
            PrepareTarget();
            OpenForRequest();
            do {
                Response.ResponseText = ReadStatusLine();
                // The handshake is done once a status line came over it.
                serverCertificate_ = usingTls_ ? RequireTls(Handler()).ServerCertificate() : std::nullopt;
                ReadResponseHeaders();
            } while (ResponseCode() == 100);

            switch (DecideNextStep()) {
                case NextStep::FollowRedirect: break;
                case NextStep::Finish: finished = true; break;
                case NextStep::Undecided: throw NetError("Undefined situation");
            }
        }
    } catch (const HttpProtocolError&) {
        // The error response was read whole, so the connection may serve the
        // next fetch when the server allows it.
        CheckConnection();
        if (!IsKeepAlive()) Disconnect();
        throw;
    } catch (const ReadTimeoutError&) {
        const bool late = ReadDeadlinePassed();
        Disconnect();
        if (late) throw FetchTimeoutError(FetchTimeout);
        throw;
    } catch (...) {
        // Anything else may leave part of a response unread on the connection;
        // a later request must not take those bytes for its own answer.
        Disconnect();
        throw;
    }
    CheckConnection();
    if (!IsKeepAlive()) Disconnect();
    RedirectCounter = 0;
}

void HttpClient::PrepareTarget() {
    const Uri target(Request.RequestTarget);
    if (!target.Username.empty()) {
        Request.Username = target.Username;
        Request.Password = target.Password;
    }
    CurrentURI.Username = Request.Username;
    CurrentURI.Password = Request.Password;

    CurrentURI.Path = MergePath(CurrentURI.Path, target.Path);
    // A relative reference keeps its "#fragment" in the resource; a fragment
    // is never sent to the server.
    CurrentURI.Resource = target.Resource.substr(0, target.Resource.find('#'));
    CurrentURI.Query = target.Query;
    if (!target.Host.empty()) CurrentURI.Host = target.Host;
    if (!target.Protocol.empty()) {
        CurrentURI.Protocol = target.Protocol;
    } else if (!(AllowHttps && EqualsNoCase(CurrentURI.Protocol, "https"))) {
        CurrentURI.Protocol = "http";
    }

    // A relative redirect names no protocol and so keeps the old port.
    if (!target.Port.empty()) {
        CurrentURI.Port = target.Port;
    } else if (EqualsNoCase(target.Protocol, "http")) {
        CurrentURI.Port = "80";
    } else if (EqualsNoCase(target.Protocol, "https")) {
        CurrentURI.Port = "443";
    } else if (CurrentURI.Port.empty()) {
        throw UnknownProtocolError();
    }

    Request.RequestTarget = EncodeRequestTarget(CurrentURI.Path + CurrentURI.Resource + CurrentURI.Query);
    Request.Host = CurrentURI.Host;
    const char* defaultPort = EqualsNoCase(CurrentURI.Protocol, "https") ? "443" : "80";
    if (CurrentURI.Port != defaultPort) Request.Host += ":" + CurrentURI.Port;
}

void HttpClient::OpenForRequest() {
    SelectEndpoint();

    CheckConnection();
    if (!IsKeepAlive()) Disconnect();
    if (Connected()) {
        // Notices a server (or a middlebox) that closed or reset the kept
        // connection meanwhile; the request then goes over a new one.
        try {
            PollForClose(IfClosed::Return);
        } catch (const SocketError& error) {
            if (!IsDeadConnectionError(error)) throw;
            Disconnect();
        }
        // Bytes that arrived unasked belong to no request of ours.
        CheckConnection();
        if (Connected() && InputBufferSize() > 0) Disconnect();
    }
    if (!Connected()) {
        Connect(Wait::FromMs(ConnectTimeout));
        // The handshake completes while the response is awaited.
        if (usingTls_) RequireTls(Handler()).StartTls(Host);
    }

    WriteRequestHead();
}

void HttpClient::SelectEndpoint() {
    const int port = StrToInt(CurrentURI.Port);
    const bool tls = EqualsNoCase(CurrentURI.Protocol, "https");
    // A kept connection serves only the same endpoint, reached the same way.
    if (!EqualsNoCase(Host, CurrentURI.Host) || Port != port || tls != usingTls_ || Family != endpointFamily_) {
        CheckConnection();
        if (Connected()) Disconnect();
        Host = CurrentURI.Host;
        Port = port;
        usingTls_ = tls;
        endpointFamily_ = Family;
    }
    // Without https allowed there is no TLS handler to speak it with.
    if (tls && !AllowHttps) throw IOHandlerPropInvalidError();
}

void HttpClient::WriteRequestHead() {
    Request.SetHeaders();
    BeginBufferedWrites();
    try {
        WriteLn(Request.Method + " " + Request.RequestTarget + " HTTP/1.1");
        for (const std::string& line : Request.RawHeaders().Lines()) {
            if (!line.empty()) WriteLn(line);
        }
        if (Request.Method == "POST") {
            for (const auto& [name, value] : Request.Fields) WriteLn(name + ": " + value);
            if (!Request.ContentType.empty()) WriteLn("Content-Type: " + Request.ContentType);
            WriteLn("Content-Length: " + std::to_string(Request.Body.size()));
        }
        WriteLn();
        if (!Request.Body.empty()) WriteText(Request.Body);
    } catch (...) {
        DiscardBufferedWrites();
        EndBufferedWrites();
        throw;
    }
    // The whole head, and a POST's body, leave in one send.
    EndBufferedWrites();
}

size_t HttpClient::LineLimit() const { return static_cast<size_t>(std::max(MaxLineLength, 0)); }

std::string HttpClient::ReadStatusLine() {
    StatusLineParser parser(headBytes_, LineLimit());
    FeedUntilDone(*this, parser);
    return parser.Line();
}

void HttpClient::ReadResponseHeaders() {
    HeaderList& raw = Response.RawHeaders();
    raw.Clear();
    HeaderBlockParser parser(raw, headBytes_, LineLimit());
    try {
        FeedUntilDone(*this, parser);
    } catch (const ConnClosedGracefullyError&) {
        // The headers read so far count.
        Disconnect();
    }
    Response.ProcessHeaders();
}

bool HttpClient::IsKeepAlive() const {
    if (!Connected()) return false;
    auto either = [this](const char* word) {
        return EqualsNoCase(Trim(Response.Connection), word) || EqualsNoCase(Trim(Response.ProxyConnection), word);
    };
    return !either("CLOSE");
}

HttpClient::NextStep HttpClient::DecideNextStep() {
    const int32_t code = ResponseCode();
    if ((code / 100 == 3 && code != 304) || !Response.Location.empty()) {
        // A POST is never sent again elsewhere: its redirect is its failure.
        if (Request.Method != "GET" && code / 100 != 2) RaiseProtocolError();
        std::string dest = Response.Location;
        NextStep step;
        if (HandleRedirects && RedirectCounter < RedirectMaximum) {
            if (!FireRedirect(dest)) RaiseProtocolError();
            step = NextStep::FollowRedirect;
            Request.RequestTarget = dest;
        } else {
            if (!FireRedirect(dest)) RaiseProtocolError();
            step = NextStep::Finish;
            Response.Location = dest;
        }
        CheckConnection();
        if (Connected()) DrainBody();
        return step;
    }
    if (code / 100 != 2) {
        if (code == 401) OfferAuthentication();
        RaiseProtocolError();
    }
    CheckConnection();
    if (!Connected()) return NextStep::Undecided;
    if (HasBody()) ReadBody(*body_, INT64_MAX, CutBody::Fails);
    return NextStep::Finish;
}

bool HttpClient::FireRedirect(std::string& dest) {
    bool handled = HandleRedirects;
    if (OnRedirect) OnRedirect(dest, RedirectCounter, handled);
    return handled;
}

void HttpClient::OfferAuthentication() {
    // No credentials are ever supplied in process, so the attempt fails at
    // once. The (empty) credentials stay with the request and go out with
    // every later one.
    for (const std::string& challenge : Response.WWWAuthenticate) {
        if (EqualsNoCase(challenge.substr(0, challenge.find(' ')), Authentication::kScheme)) {
            if (!Request.Authentication) Request.Authentication = std::make_unique<Authentication>();
            break;
        }
    }
}

void HttpClient::RaiseProtocolError() {
    MemoryStream body;
    CheckConnection();
    if (Connected() || InputBufferSize() > 0) {
        ReadTimeoutOverride timeout(*this, ErrorBodyTimeout);
        try {
            if (HasBody()) ReadBody(body, MaxResponseBodyBytes, CutBody::Accepted);
        } catch (const ResponseBodyTooLargeError&) {
            // The status tells what went wrong; the rest of the body stays
            // unread, so the connection cannot serve another request.
            Disconnect();
        }
    }
    throw HttpProtocolError(ResponseCode(), ResponseText(), body.Release());
}

void HttpClient::DrainBody() {
    // A 204, 304 or 1xx ends with its headers, also when it carries a
    // Location.
    if (!HasBody()) return;
    DroppedBody dropped;
    ReadTimeoutOverride timeout(*this, RedirectDrainTimeout);
    try {
        ReadBody(dropped, MaxResponseBodyBytes, CutBody::Accepted);
    } catch (...) {
        // What is left of that body may still arrive; the next request must
        // not take it for its answer.
        Disconnect();
    }
}

bool HttpClient::HasBody() const {
    // These responses end with their headers whatever they announce; waiting
    // for a body would only run into the read time-out.
    const int32_t code = Response.ResponseCode();
    return code / 100 != 1 && code != 204 && code != 304;
}

void HttpClient::ReadBody(ByteSink& body, int64_t limit, CutBody cut) {
    const HeaderList& raw = Response.RawHeaders();
    // A chunked body is read as chunked whatever Content-Length says: the
    // length of a message sent in chunks means nothing.
    if (ContainsBytes(raw.GetHeaderValue("Transfer-Encoding"), "chunked")) {
        ReadChunkedBody(body, limit);
        return;
    }
    // The header field holds 32 bits; a longer length is taken from its text.
    int64_t length = Response.ContentLength();
    if (const std::string announced = Trim(raw.GetHeaderValue("Content-Length"));
        length < 0 && IsDecimalDigits(announced)) {
        length = TryStrToInt64(announced).value_or(INT64_MAX);
    }
    if (length >= 1) {
        if (length > limit) throw ResponseBodyTooLargeError(limit);
        try {
            ReadStreamData(body, length);
        } catch (const ConnClosedGracefullyError&) {
            // The bytes that arrived stay in the stream. A page cut short is
            // an error; a redirect or error body cut short is not.
            if (cut == CutBody::Fails) throw;
        }
    } else if (raw.IndexOfHeader("Content-Length") < 0) {
        LimitedBody limited(body, limit);
        ReadStreamData(limited, -1, ReadTo::Close);
        // Over TLS only close_notify marks the end of such a body: a bare
        // close may be anyone on the way cutting it short (RFC 9112 9.8).
        if (cut == CutBody::Fails && usingTls_ && RequireTls(Handler()).ClosedWithoutNotify()) {
            throw TlsError(kCutShortMessage);
        }
    }
}

void HttpClient::ReadChunkedBody(ByteSink& body, int64_t limit) {
    ReportStatus(Status::StatusText, "Chunk Started");
    ChunkedDecoder decoder(LineLimit(), limit);
    while (!decoder.Done()) {
        const int64_t size = decoder.ChunkBytesLeft();
        if (size == 0) {
            // A framing line is fed only up to its LF, so that the data after
            // a size line is read below, in its own work bracket.
            WaitForInput(1);
            const std::string_view unread = InputView();
            const size_t lineEnd = unread.find('\n');
            ConsumeInput(
                decoder.Feed(unread.substr(0, lineEnd == std::string_view::npos ? lineEnd : lineEnd + 1)).taken);
            continue;
        }
        // The chunk's data goes straight on to the body, in one read work
        // bracket with the chunk's size, and through the decoder, which
        // counts it off.
        ChunkData data(decoder, body);
        ReadStreamData(data, size);
        // A connection found closed gives back less without an error.
        if (data.Taken() < size) throw ConnClosedGracefullyError();
    }
}

}  // namespace corvasse

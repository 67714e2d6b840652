// The mail clients against servers that misbehave on purpose: an SMTP server
// that drops the connection during or after the message, and a POP3 server
// that answers with megabytes of garbage. Each exchange must end in bounded
// time and memory with its error; each test prints how long it took and how
// much the process's peak memory grew.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/process_abort.h"
#include "mail/mail_message.h"
#include "mail/pop3_client.h"
#include "mail/smtp_client.h"
#include "net/net_error.h"
#include "support/cost_meter.h"
#include "support/loopback.h"
#include "support/scripted_peer.h"

namespace corvasse {
namespace {

using test::PeerStep;
using test::ScriptedPeer;
namespace peer = test::peer;

constexpr size_t kGarbageBytes = 10u << 20;

// Random bytes; with lineEvery > 0 a CR LF after every that many.
std::string Garbage(size_t size, size_t lineEvery, std::string start = "") {
    std::mt19937 random(7);
    std::string bytes = std::move(start);
    bytes.reserve(size);
    while (bytes.size() < size) {
        if (lineEvery > 0 && bytes.size() % lineEvery == lineEvery - 2) {
            bytes += "\r\n";
        } else {
            char c = static_cast<char>(random() % 256);
            bytes += c == '\r' || c == '\n' ? 'x' : c;
        }
    }
    return bytes;
}

// The message of the error the call ends with; a call that ends without one
// fails the test.
std::string FailureOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::exception& e) {
        return e.what();
    }
    ADD_FAILURE() << "no error";
    return "";
}

// What a server that stops reading in the middle of the message must not
// hold: more than any socket buffer on the way.
constexpr size_t kStalledMessageLines = 32768;
constexpr size_t kStalledLineBytes = 1000;

class SmtpHostileTest : public ::testing::Test {
protected:
    SmtpHostileTest() {
        client.HeloName = "client.test";
        client.ReadTimeout = test::kClientReadTimeoutMs;
        message.From.Address = "me@example.org";
        message.Subject = "Corvasse Alert";
        message.Recipients.AddressListText("<alerts@example.org>");
        TextPart& part = message.AddTextPart({"the watch failed"});
        part.SetContentType("text/plain");
    }

    // The dialogue up to DATA.
    static std::vector<PeerStep> UpToData() {
        return {peer::SendLine("220 mail.test ESMTP"),
                peer::ReadLine(),
                peer::SendLine("250 mail.test"),
                peer::ReadLine(),
                peer::SendLine("250 reset"),  // RSET
                peer::ReadLine(),
                peer::SendLine("250 sender ok"),  // MAIL FROM
                peer::ReadLine(),
                peer::SendLine("250 ok"),  // RCPT TO
                peer::ReadLine()};         // DATA
    }

    // The dialogue up to DATA's go-ahead, in clear or over TLS from the
    // first byte, after which the server reads nothing for a long while.
    static std::vector<PeerStep> StopsReadingAfterGoAhead(MailSecurity security) {
        std::vector<PeerStep> script;
        if (security == MailSecurity::Tls) script.push_back(peer::StartTls());
        return peer::Concat({script, UpToData(), {peer::SendLine("354 go ahead"), peer::Sleep(8000)}});
    }

    // Sends a message too big for the socket buffers to a server that stops
    // reading, with no time-out, while another thread raises the process
    // abort once the write is stuck; exits 3 when the send then ends at once
    // with AbortedError.
    [[noreturn]] void SendThroughAnAbort(MailSecurity security) {
        const std::vector<PeerStep> script = StopsReadingAfterGoAhead(security);
        ScriptedPeer server(script);
        client.ReadTimeout = 0;
        client.Security = security;
        message.Body.assign(kStalledMessageLines, std::string(kStalledLineBytes, 'x'));
        std::chrono::steady_clock::time_point raised;
        std::thread raiser([&] {
            // The go-ahead went out; the message fills the buffers at once.
            server.WaitSteps(script.size() - 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            raised = std::chrono::steady_clock::now();
            RaiseProcessAbort();
        });
        bool aborted = false;
        try {
            test::ConnectTo(client, server);
            client.Send(message);
        } catch (const AbortedError&) {
            aborted = true;
        } catch (...) {}
        const auto ended = std::chrono::steady_clock::now();
        raiser.join();
        // Long before the server reads again.
        _exit(aborted && ended - raised < std::chrono::seconds(2) ? 3 : 1);
    }

    // Sends the message and returns the message of the error it ends with.
    std::string SendFails(const ScriptedPeer& server) {
        return FailureOf([&] {
            test::ConnectTo(client, server);
            client.Send(message);
        });
    }

    SmtpClient client;
    MailMessage message;
};

TEST_F(SmtpHostileTest, ServerDropsTheConnectionAfterData) {
    struct Case {
        const char* what;
        std::vector<PeerStep> end;
    };
    const std::vector<Case> cases = {
        {"close instead of the DATA reply", {peer::Close()}},
        {"reset instead of the DATA reply", {peer::Reset()}},
        {"close after the message, before its reply",
         {peer::SendLine("354 go ahead"), peer::ReadBytes(1), peer::Sleep(200), peer::Close()}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedPeer server(peer::Concat({UpToData(), c.end}));
        test::CostMeter measure;
        const std::string error = SendFails(server);
        measure.Print(std::string("SMTP ") + c.what + " (" + error + ")");
        EXPECT_TRUE(error == "Connection Closed Gracefully." || error.rfind("Socket Error # 10054", 0) == 0) << error;
        EXPECT_LT(measure.ElapsedMs(), 2000);
        client.Disconnect();
    }
}

// A server that stops reading the message (its receive window full) ends
// the send after the read time-out, in clear and over TLS.
TEST_F(SmtpHostileTest, ServerThatStopsReadingTheMessageEndsInAWriteTimeout) {
    client.ReadTimeout = 300;
    message.Body.assign(kStalledMessageLines, std::string(kStalledLineBytes, 'x'));
    for (MailSecurity security : {MailSecurity::None, MailSecurity::Tls}) {
        SCOPED_TRACE(security == MailSecurity::Tls ? "TLS" : "clear");
        client.Security = security;
        ScriptedPeer server(StopsReadingAfterGoAhead(security));
        test::CostMeter measure;
        EXPECT_EQ(SendFails(server), "Write Timeout");
        measure.Print("SMTP server that stops reading the message");
        EXPECT_LT(measure.ElapsedMs(), 4000);
        // The stream was cut mid-message: nothing more goes over it, no QUIT.
        EXPECT_FALSE(client.IsConnected());
        client.Disconnect();
    }
}

using SmtpHostileDeathTest = SmtpHostileTest;

TEST_F(SmtpHostileDeathTest, ProcessAbortEndsAWriteThatHasNoTimeOut) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // In a child process: the abort lasts for the rest of the process.
    for (MailSecurity security : {MailSecurity::None, MailSecurity::Tls}) {
        EXPECT_EXIT(SendThroughAnAbort(security), ::testing::ExitedWithCode(3), "");
    }
}

TEST_F(SmtpHostileTest, ServerThatStallsAfterTheMessageTimesOut) {
    client.ReadTimeout = 300;
    ScriptedPeer server(peer::Concat({UpToData(), {peer::SendLine("354 go ahead"), peer::Sleep(3000)}}));
    test::CostMeter measure;
    EXPECT_EQ(SendFails(server), "Read Timeout");
    measure.Print("SMTP stalling after the message");
    EXPECT_LT(measure.ElapsedMs(), 2000);
}

class Pop3HostileTest : public ::testing::Test {
protected:
    Pop3HostileTest() {
        client.ReadTimeout = test::kClientReadTimeoutMs;
        client.Username = "bob";
        client.Password = "secret";
    }

    std::string LoginFails(const ScriptedPeer& server) {
        return FailureOf([&] {
            test::ConnectTo(client, server);
            client.CheckMessages();
        });
    }

    Pop3Client client;
};

TEST_F(Pop3HostileTest, TenMegabytesOfGarbageWithoutLineBreaks) {
    ScriptedPeer server({peer::Send(Garbage(kGarbageBytes, 0, "+OK ")), peer::Close()});
    test::CostMeter measure;
    EXPECT_EQ(LoginFails(server), "Max line length exceeded.");
    measure.Print("POP3 10 MB garbage without line breaks");
    EXPECT_LT(measure.ElapsedMs(), 3000);
    measure.ExpectPeakGrowthBelowMiB(16);
    EXPECT_FALSE(client.IsConnected());
}

TEST_F(Pop3HostileTest, TenMegabytesOfGarbageLines) {
    ScriptedPeer server({peer::Send(Garbage(kGarbageBytes, 80, "garbage ")), peer::Close()});
    test::CostMeter measure;
    const std::string error = LoginFails(server);
    measure.Print("POP3 10 MB garbage lines");
    // The first line is the reply (its first four bytes taken for the code
    // and separator); the rest is never read.
    EXPECT_EQ(error.rfind("Unrecognized POP3 Response Header:\n\"age ", 0), 0u)
        << ::testing::PrintToString(error.substr(0, 80));
    EXPECT_LT(error.size(), 200u);
    EXPECT_LT(measure.ElapsedMs(), 3000);
    measure.ExpectPeakGrowthBelowMiB(16);
    EXPECT_FALSE(client.IsConnected());
}

TEST_F(Pop3HostileTest, MultiLineReplyOfTenMegabytesOfGarbage) {
    // "+OK-" opens a reply of many lines, which never meets its end line.
    ScriptedPeer server({peer::Send(Garbage(kGarbageBytes, 80, "+OK-")), peer::Close()});
    test::CostMeter measure;
    const std::string error = LoginFails(server);
    measure.Print("POP3 multi-line reply of 10 MB garbage");
    EXPECT_EQ(error, "Reply exceeds 65536 bytes.");
    EXPECT_LT(measure.ElapsedMs(), 3000);
    measure.ExpectPeakGrowthBelowMiB(16);
    EXPECT_FALSE(client.IsConnected());
}

}  // namespace
}  // namespace corvasse

// A page's answer on its way to the alert: the response (the input, as in
// fuzz_http_response) fetched by the watch's HTTP client, its status line and
// the failure's reason composed into the report (the plain alert, or the
// outage's when bit 7 of the first byte is set), and the mail written for it
// to an SMTP server that takes the message. The report holds no control
// character but its LF and FF line ends; the mail no line over 998 octets, no
// CR or LF inside a line, and no boundary line but the two of its frame.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/alert/alert_delivery.h"
#include "app/alert/alert_report.h"
#include "app/fakes.h"
#include "app/settings/settings_store.h"
#include "app/settings/watch_spec.h"
#include "app/view/activity_log.h"
#include "app/watch/failure_reason.h"
#include "app/watch/http_web_client.h"
#include "common/byte_sink.h"
#include "core/watch_outcome.h"
#include "http/http_client.h"
#include "input_answer.h"
#include "mail/mail_message.h"
#include "mail/pop3_client.h"
#include "mail/smtp_client.h"

namespace {

using namespace corvasse;
namespace script = test::script;

constexpr std::string_view kAddress = "http://fuzz.test/page?q=1";

void Require(bool holds) {
    if (!holds) std::abort();
}

void CheckReport(std::string_view report) {
    size_t lineStart = 0;
    for (size_t i = 0; i < report.size(); ++i) {
        const auto byte = static_cast<unsigned char>(report[i]);
        if (byte == '\n') {
            Require(i - lineStart <= kMailLineMaxLength);
            lineStart = i + 1;
        } else {
            Require((byte >= 0x20 && byte != 0x7F) || byte == '\f');
        }
    }
}

void CheckMessage(const std::string& sent) {
    const size_t start = sent.find("DATA\r\n");
    Require(start != std::string::npos);
    const std::string frame = "--" + std::string(kMainBoundary);
    int boundaries = 0;
    for (size_t from = start + 6, end; (end = sent.find("\r\n", from)) != std::string::npos; from = end + 2) {
        const std::string_view line = std::string_view(sent).substr(from, end - from);
        if (line == ".") break;
        Require(line.size() <= kMailLineMaxLength);
        Require(line.find_first_of("\r\n") == std::string_view::npos);
        if (line.starts_with(frame)) {
            Require(line == (boundaries == 0 ? frame : frame + "--"));
            ++boundaries;
        }
    }
    Require(boundaries == 2);
}

struct DiscardingSink : ByteSink {
    void Write(std::string_view) override {}
};

// The settings folder, made once for the whole run.
const std::filesystem::path& SettingsFolder() {
    static const std::filesystem::path folder = [] {
        char name[] = "/tmp/fuzz_alert_report.XXXXXX";
        if (::mkdtemp(name) == nullptr) std::abort();
        SettingsStore settings(name);
        settings.WriteSetting("Settings", "checktype", "lookfor");
        settings.WriteSetting("Settings", "txtSMTPhost", "mail.fuzz.test");
        return std::filesystem::path(name);
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    test::ScriptedTransport web(fuzz::InputAnswer(data, size));
    HttpClient client;
    client.SetIOHandler(&web);
    HttpWebClient webClient(client);
    std::string reason;
    try {
        DiscardingSink body;
        webClient.Get(std::string(kAddress), body);
    } catch (const std::exception& error) {
        reason = FailureReason(error);
    }

    test::FakeFormFields form;
    form.texts[Field::txtURL2watch] = kAddress;
    form.texts[Field::txtLookFor] = "Welcome";
    form.texts[Field::txtYourEmail] = "me@fuzz.test";
    form.texts[Field::txtSendto] = "alerts@fuzz.test";
    test::FakeMonitorView view;
    SettingsStore settings(SettingsFolder());
    ActivityLog log("/dev/null");
    WatchOutcome outcome;
    outcome.statusLine = webClient.ResponseText();
    outcome.statusCode = webClient.ResponseCode();
    AlertReport report(log, view);

    test::ScriptedTransport mail({script::SendLine("220 fuzz"), script::ReadLine(), script::SendLine("250 fuzz"),
                                  script::ReadLine(), script::SendLine("250 reset"), script::ReadLine(),
                                  script::SendLine("250 ok"), script::ReadLine(), script::SendLine("250 ok"),
                                  script::ReadLine(), script::SendLine("354 go ahead"), script::Close()});
    Pop3Client pop3Client;
    SmtpClient smtpClient;
    pop3Client.SetIOHandler(&mail);
    smtpClient.SetIOHandler(&mail);
    MailMessage message;
    AlertDelivery delivery(report, view, pop3Client, smtpClient, message);
    const WatchSpec watchSpec = ReadWatchSpec(form, settings);
    try {
        if (size > 0 && (data[0] & 0x80) != 0) {
            delivery.SendOutageAlert(watchSpec, outcome, {{"Reason: " + reason}});
        } else {
            delivery.SendAlert(watchSpec, outcome);
        }
    } catch (const std::exception&) {
        // The server closes after "354": the reply to the message never comes.
    }
    CheckReport(report.AlertText);
    Require(!mail.Sent().empty());
    CheckMessage(mail.Sent().front());
    return 0;
}

#include "cli/watch_check.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <vector>

#include "app/monitor/monitor_components.h"
#include "app/settings/form_values.h"
#include "app/settings/setting_keys.h"
#include "app/settings/settings_form.h"
#include "app/settings/settings_store.h"
#include "app/settings/watch_spec.h"
#include "app/view/dialogs.h"
#include "app/watch/failure_reason.h"
#include "app/watch/watch.h"
#include "cli/console_view.h"
#include "cli/thresholds.h"
#include "common/byte_string.h"
#include "http/http_errors.h"

namespace corvasse {

namespace {

// Without alerts the watch's log entries go nowhere.
constexpr const char* kNoLog = "/dev/null";
// The expected size that lets any page pass: the largest the check holds.
constexpr int32_t kAnySize = INT32_MAX;

// The text as a plugin may print it: on one line, and with no "|" of its
// own, so that nothing a server or the settings hold can start a second line
// or the performance data. A line break (CR LF, CR or LF) and every other
// control character become a blank, "|" a broken bar (U+00A6 in UTF-8).
std::string PluginText(std::string_view text) {
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (byte < 0x20 || byte == 0x7F) {
            line += ' ';
        } else if (byte == '|') {
            line += "\xC2\xA6";
        } else {
            line += text[i];
        }
    }
    return line;
}

// Microseconds as seconds with six decimals, whatever the locale.
std::string Seconds(std::chrono::microseconds elapsed) {
    char text[48];
    std::snprintf(text, sizeof text, "%lld.%06lld", static_cast<long long>(elapsed.count() / 1000000),
                  static_cast<long long>(elapsed.count() % 1000000));
    return text;
}

// Runs a step of the watch; what an error it raises says is kept.
template <typename Step>
auto KeepingFailure(std::optional<std::string>& failure, Step step) {
    try {
        return step();
    } catch (const std::exception& error) {
        failure = FailureReason(error);
        throw;
    }
}

// The web client of the watch, timed, with the failure it met kept.
class TimedWebClient : public WebClient {
public:
    explicit TimedWebClient(WebClient& client) : client_(client) {}

    void SetConnectTimeout(std::chrono::milliseconds timeout) override { client_.SetConnectTimeout(timeout); }
    void SetHttpsPolicy(HttpsPolicy policy) override { client_.SetHttpsPolicy(policy); }
    void SetAddressFamily(AddressFamily family) override { client_.SetAddressFamily(family); }
    void Get(const std::string& url, ByteSink& body) override {
        const auto start = std::chrono::steady_clock::now();
        auto measure = [&] {
            elapsed = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
        };
        try {
            KeepingFailure(failure, [&] { client_.Get(url, body); });
        } catch (const HttpProtocolError& error) {
            // The server answered in full, with a status that fails the fetch.
            measure();
            refusedPageBytes = static_cast<int64_t>(error.ResponseBody().size());
            throw;
        }
        measure();
    }
    void Disconnect() override {
        KeepingFailure(failure, [&] { client_.Disconnect(); });
    }
    std::string ResponseText() const override { return client_.ResponseText(); }
    int ResponseCode() const override { return client_.ResponseCode(); }
    std::optional<PeerCertificate> ServerCertificate() const override { return client_.ServerCertificate(); }
    std::string PeerAddress() const override { return client_.PeerAddress(); }

    std::chrono::microseconds elapsed{0};
    std::optional<std::string> failure;
    // The length of the page that came with a failing status (404, 500 ...).
    std::optional<int64_t> refusedPageBytes;

private:
    WebClient& client_;
};

// The ping client of the watch, with the failure it met kept.
class KeptPingClient : public PingClient {
public:
    explicit KeptPingClient(PingClient& client) : client_(client) {}

    void PingHost(const std::string& host) override {
        KeepingFailure(failure, [&] { client_.PingHost(host); });
    }
    void SetAddressFamily(AddressFamily family) override { client_.SetAddressFamily(family); }
    int ResponseTime() const override { return client_.ResponseTime(); }

    std::optional<std::string> failure;

private:
    PingClient& client_;
};

// The view of the check: no pane, and the log's failures kept for the lines
// after the status line.
class CheckView : public ConsoleView {
public:
    CheckView() : ConsoleView(nullptr, nullptr) {}

    void ShowLogFailure(const std::string& message) override { logFailures.push_back(message); }

    std::vector<std::string> logFailures;
};

// Delivers the alerts the watch raises only when asked to.
class AlertGate : public AlertSender {
public:
    AlertGate(AlertSender& delivery, AlertMode mode) : delivery_(delivery), mode_(mode) {}

    void SendAlert(const WatchSpec& watchSpec, const WatchOutcome& outcome) override {
        if (mode_ == AlertMode::Deliver) delivery_.SendAlert(watchSpec, outcome);
    }
    void SendOutageAlert(const WatchSpec& watchSpec, const WatchOutcome& outcome, const OutageAlert& alert) override {
        if (mode_ == AlertMode::Deliver) delivery_.SendOutageAlert(watchSpec, outcome, alert);
    }
    void SendRecovery(const WatchSpec& watchSpec, const std::string& report, const NoticeFacts& facts) override {
        if (mode_ == AlertMode::Deliver) delivery_.SendRecovery(watchSpec, report, facts);
    }
    void SendCertificateWarning(const WatchSpec& watchSpec, const std::string& report,
                                const NoticeFacts& facts) override {
        if (mode_ == AlertMode::Deliver) delivery_.SendCertificateWarning(watchSpec, report, facts);
    }
    void SendUndelivered(const WatchSpec& watchSpec) override {
        if (mode_ == AlertMode::Deliver) delivery_.SendUndelivered(watchSpec);
    }

private:
    AlertSender& delivery_;
    AlertMode mode_;
};

// Keeps what a message box would have shown.
class KeptMessages : public Dialogs {
public:
    void Beep() override {}
    void ShowMessage(const std::string& text) override {
        if (message.empty()) message = text;
    }
    void ShowError(const std::string& text) override { ShowMessage(text); }

    std::string message;
};

CheckResult Ok(std::string text, std::string perfData) {
    return {CheckStatus::Ok, std::move(text), std::move(perfData), {}};
}
CheckResult Unknown(std::string text) { return {CheckStatus::Unknown, std::move(text), "", {}}; }
CheckResult Critical(std::string text, std::string perfData = "") {
    return {CheckStatus::Critical, std::move(text), std::move(perfData), {}};
}

// A result that passed, with what a threshold made of its time.
CheckResult Judged(CheckResult result, const Verdict& verdict) {
    result.status = verdict.status;
    if (!verdict.reason.empty()) result.text += " (" + verdict.reason + ")";
    return result;
}

// The watch the command line gives replaces the settings file's values of
// the same meaning, so that the form, the watch and the alert report all
// read it as if it were the file's.
void UseCommandLineWatch(SettingsStore& settings, const CheckOptions& options) {
    auto use = [&](const SettingKey& key, std::string_view value) {
        settings.Override(kSettingsSection, key.name, value);
    };
    if (options.url) {
        use(setting::url2watch, *options.url);
        use(setting::PingOnly, "");
        // The address was asked for by name, whatever its scheme.
        use(setting::allowHttps, kSettingOn);
    }
    if (options.pingHost) {
        use(setting::PingOnly, kSettingOn);
        use(setting::PingAddr, *options.pingHost);
    }
    if (options.lookFor) {
        use(setting::txtLookFor, *options.lookFor);
        use(setting::expfilesize, "");
        use(setting::checktype, kCheckTypeLookFor);
    }
    if (options.maxSize) {
        use(setting::expfilesize, std::to_string(*options.maxSize));
        use(setting::checktype, kCheckTypeFileSize);
    }
    // A warning mail that is not sent must not be kept as sent.
    if (options.alert != AlertMode::Deliver) use(setting::certWarnDays, "");
    // An address given without a check, where the file names none either:
    // any page that arrives passes, whatever its size.
    auto given = [&](const SettingKey& key) {
        const std::string value = ReadSetting(settings, key);
        return value != kAbsentSetting && !Trim(value).empty();
    };
    if (options.url && !given(setting::expfilesize) && !given(setting::txtLookFor)) {
        use(setting::expfilesize, std::to_string(kAnySize));
        use(setting::checktype, kCheckTypeFileSize);
    }
}

}  // namespace

std::string CheckResult::Line() const {
    static constexpr const char* kNames[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};
    std::string line = std::string("CORVASSE ") + kNames[static_cast<int>(status)] + " - " + PluginText(text);
    if (!perfData.empty()) line += " | " + perfData;
    return line;
}

std::string CheckResult::Output() const {
    std::string output = Line() + "\n";
    for (const std::string& detail : details) output += PluginText(detail) + "\n";
    return output;
}

CheckResult TimedOutResult(const std::string& target, std::chrono::seconds timeout) {
    return Critical(target + ": timed out after " + std::to_string(timeout.count()) + " s");
}

struct WatchCheck::Parts {
    Parts(const MonitorFiles& files, const CheckOptions& options, WatchRecording recording)
        : options(options),
          settingsFile(files.settings),
          gate(components.alert, options.alert),
          components(view, {files.settings, options.alert == AlertMode::Deliver ? files.log : kNoLog, files.history},
                     recording, &gate) {
        components.settings.KeepFirstRead();
        // An engine's user may have no settings folder, and the plugin makes none.
        components.settings.SetFolderCreation(FolderCreation::Never);
        if (!ReadsSettingsFile(options)) components.settings.ReadNoFile();
    }

    CheckOptions options;
    std::filesystem::path settingsFile;
    FormValues form;
    CheckView view;
    KeptMessages dialogs;
    // Passes the mails on to the components' delivery, which it is made before.
    AlertGate gate;
    MonitorComponents components;

    TimedWebClient web{components.web};
    KeptPingClient ping{components.pingClient};
    Watch watch{form, view, dialogs,          components.settings, components.log,
                web,  ping, components.state, components.results};

    bool pingWatch = false;
    std::string target;
};

WatchCheck::WatchCheck(const MonitorFiles& files, const CheckOptions& options, WatchRecording recording)
    : parts_(std::make_unique<Parts>(files, options, recording)) {}

WatchCheck::~WatchCheck() = default;

const std::string& WatchCheck::Target() const { return parts_->target; }

std::optional<CheckResult> WatchCheck::Prepare() {
    Parts& p = *parts_;
    UseCommandLineWatch(p.components.settings, p.options);
    SettingsForm(p.form, p.view, p.dialogs, p.components.settings).Load();
    const std::string where = " in " + p.settingsFile.string();
    const WatchSpec watchSpec = ReadWatchSpec(p.form, p.components.settings);
    p.pingWatch = watchSpec.kind == WatchKind::Ping;
    p.target = watchSpec.target;
    if (p.pingWatch) {
        if (p.target.empty()) return Unknown("no host to ping" + where);
    } else {
        const std::string address = Trim(p.target);
        if (address.empty() || address == setting::url2watch.initial) return Unknown("no address to watch" + where);
        if (ContainsBytes(p.target, "https://") && !watchSpec.httpsAllowed) {
            return Unknown(p.target + ": https:// addresses are watched only with allowHttps=y" + where);
        }
        if (!Trim(watchSpec.expectedSize).empty() && !TryStrToInt(watchSpec.expectedSize)) {
            return Unknown(std::string("expected size: ") + ConversionError(watchSpec.expectedSize).what() + where);
        }
    }
    if (p.options.alert == AlertMode::Deliver && watchSpec.mail.port && !TryStrToInt(*watchSpec.mail.port)) {
        return Unknown(std::string("SMTP port: ") + ConversionError(*watchSpec.mail.port).what() + where);
    }
    return std::nullopt;
}

CheckResult WatchCheck::Run() {
    // An error that leaves the watch is one of the alert delivery.
    std::optional<std::string> escaped;
    try {
        parts_->watch.Run();
    } catch (const std::exception& error) {
        escaped = FailureReason(error);
    }
    CheckResult result = Outcome();
    if (escaped) {
        if (result.status == CheckStatus::Ok) {
            result = Unknown(*escaped);
        } else {
            result.text += " (alert failed: " + *escaped + ")";
        }
    }
    result.details = parts_->view.logFailures;
    return result;
}

CheckResult WatchCheck::Outcome() const {
    const Parts& p = *parts_;
    const TimeThresholds& thresholds = p.options.time;
    if (!p.dialogs.message.empty()) return Unknown(p.target + ": " + Trim(p.dialogs.message));
    const WatchOutcome& outcome = p.components.state.outcome;
    if (!outcome.familyFailures.empty()) {
        std::string failures;
        for (const std::string& failure : outcome.familyFailures) failures += (failures.empty() ? "" : "; ") + failure;
        return Critical(p.target + ": " + failures);
    }
    // A watch cut before its result was known has no reason.
    if (outcome.result.state == ResultState::Unknown && !outcome.result.reason.empty()) {
        return Unknown(p.target + ": offline (" + outcome.result.reason + "), not counted");
    }
    // Over each family, a failure that counts is among the family failures.
    if (p.pingWatch) {
        if (p.ping.failure && !outcome.watchedEachFamily) return Critical(p.target + ": " + *p.ping.failure);
        const std::chrono::milliseconds roundTrip(p.ping.ResponseTime());
        const std::string ms = std::to_string(roundTrip.count());
        CheckResult result = Ok(p.target + " replied in " + ms + " ms",
                                "rta=" + ms + "ms" + ThresholdFields(thresholds, TimeUnit::Milliseconds) + ";0");
        return Judged(std::move(result), JudgeTime(roundTrip, thresholds, TimeUnit::Milliseconds));
    }
    auto webPerfData = [&](int64_t bytes) {
        return "time=" + Seconds(p.web.elapsed) + "s" + ThresholdFields(thresholds, TimeUnit::Seconds) +
               ";0 size=" + std::to_string(bytes) + "B;;;0";
    };
    if (p.web.failure && !outcome.watchedEachFamily) {
        // A failing status took a time and brought a page; a fetch that got no answer measured nothing.
        return Critical(p.target + ": " + *p.web.failure,
                        p.web.refusedPageBytes ? webPerfData(*p.web.refusedPageBytes) : "");
    }
    // Each claim below is the comparison itself, made again on what was fetched.
    const int64_t size = outcome.pageLength;
    const std::string bytes = std::to_string(size);
    const std::string seconds = Seconds(p.web.elapsed);
    const std::string perfData = webPerfData(size);
    CheckResult result;
    const std::string expected = p.form.Text(Field::txtFileSize);
    if (!Trim(expected).empty() && size > StrToInt(expected)) {  // Prepare made sure that it converts
        result = Critical(p.target + " " + SizeOverReason(size, StrToInt(expected)), perfData);
    } else if (Trim(expected).empty() && !outcome.textFound) {
        result = Critical(p.target + " did not contain \"" + p.form.Text(Field::txtLookFor) + "\"", perfData);
    } else {
        // The text keeps milliseconds: three decimals.
        result = Ok(p.target + " " + bytes + " bytes in " + seconds.substr(0, seconds.size() - 3) + " s", perfData);
        result = Judged(std::move(result), JudgeTime(p.web.elapsed, thresholds, TimeUnit::Seconds));
    }
    if (p.options.certificateDays) {
        const CertificateVerdict certificate =
            JudgeCertificate(p.web.ServerCertificate(), *p.options.certificateDays, std::chrono::system_clock::now());
        result.status = Worse(result.status, certificate.status);
        result.text += ", " + certificate.text;
        if (!certificate.perfData.empty()) result.perfData += " " + certificate.perfData;
    }
    return result;
}

}  // namespace corvasse

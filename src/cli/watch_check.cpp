#include "cli/watch_check.h"

#include <cstdio>
#include <exception>

#include "app/dialogs.h"
#include "app/interval_timer.h"
#include "app/monitor_components.h"
#include "app/setting_keys.h"
#include "app/settings_form.h"
#include "app/watch_cycle.h"
#include "cli/console_view.h"
#include "cli/form_values.h"
#include "common/byte_string.h"

namespace corvasse {

namespace {

// Without alerts the watch's log entries go nowhere.
constexpr const char* kNoLog = "/dev/null";

// The text with each line break (CR LF, CR or LF) turned into one space.
std::string OneLine(std::string_view text) {
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            line += ' ';
        } else {
            line += text[i];
        }
    }
    return line;
}

// Milliseconds as seconds with three decimals, whatever the locale.
std::string Seconds(std::chrono::milliseconds elapsed) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(elapsed.count() / 1000),
                  static_cast<long long>(elapsed.count() % 1000));
    return text;
}

// Runs a step of the watch; the message of an error it raises is kept.
template <typename Step>
auto KeepingFailure(std::string& failure, Step step) {
    try {
        return step();
    } catch (const std::exception& error) {
        failure = error.what();
        throw;
    }
}

// The web client of the watch, timed, with the failure it met kept.
class TimedWebClient : public WebClient {
public:
    explicit TimedWebClient(WebClient& client) : client_(client) {}

    void SetConnectTimeout(int timeoutMs) override { client_.SetConnectTimeout(timeoutMs); }
    void SetHttpsPolicy(HttpsPolicy policy) override { client_.SetHttpsPolicy(policy); }
    void SetAddressFamily(AddressFamily family) override { client_.SetAddressFamily(family); }
    std::string Get(const std::string& url) override {
        const auto start = std::chrono::steady_clock::now();
        std::string body = KeepingFailure(failure, [&] { return client_.Get(url); });
        elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        return body;
    }
    void Disconnect() override {
        KeepingFailure(failure, [&] { client_.Disconnect(); });
    }
    std::string ResponseText() const override { return client_.ResponseText(); }
    int ResponseCode() const override { return client_.ResponseCode(); }

    std::chrono::milliseconds elapsed{0};
    std::string failure;

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

    std::string failure;

private:
    PingClient& client_;
};

// Counts the alerts the watch raises and delivers them only when asked to.
class AlertGate : public AlertSender {
public:
    AlertGate(AlertSender& delivery, AlertMode mode) : delivery_(delivery), mode_(mode) {}

    void SendAlert() override {
        ++raised;
        if (mode_ == AlertMode::Deliver) delivery_.SendAlert();
    }

    int raised = 0;

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

// The check runs its one tick itself; nothing arms a timer.
class UnarmedTimer : public IntervalTimer {
public:
    void SetEnabled(bool enabled) override { enabled_ = enabled; }
    bool Enabled() const override { return enabled_; }
    void SetInterval(uint32_t intervalMs) override { interval_ = intervalMs; }
    uint32_t Interval() const override { return interval_; }

private:
    bool enabled_ = false;
    uint32_t interval_ = 0;
};

CheckResult Unknown(std::string text) { return {CheckStatus::Unknown, std::move(text), ""}; }
CheckResult Critical(std::string text, std::string perfData = "") {
    return {CheckStatus::Critical, std::move(text), std::move(perfData)};
}

}  // namespace

std::string CheckResult::Line() const {
    static constexpr const char* kNames[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};
    std::string line = std::string("CORVASSE ") + kNames[static_cast<int>(status)] + " - " + text;
    if (!perfData.empty()) line += " | " + perfData;
    return line;
}

CheckResult TimedOutResult(const std::string& target, std::chrono::seconds timeout) {
    return Critical(target + ": no result within " + std::to_string(timeout.count()) + " s");
}

struct WatchCheck::Parts {
    Parts(const MonitorFiles& files, AlertMode alert)
        : alertMode(alert),
          settingsFile(files.settings),
          components(form, view, nullptr, {files.settings, alert == AlertMode::Deliver ? files.log : kNoLog}),
          gate(components.alert, alert) {}

    AlertMode alertMode;
    std::filesystem::path settingsFile;
    FormValues form;
    ConsoleView view{nullptr};
    KeptMessages dialogs;
    UnarmedTimer timer;
    MonitorComponents components;

    TimedWebClient web{components.web};
    KeptPingClient ping{components.pingClient};
    AlertGate gate;
    WatchCycle cycle{form,           view, dialogs, timer, components.settings,
                     components.log, web,  ping,    gate,  components.state};

    bool pingWatch = false;
    std::string target;
};

WatchCheck::WatchCheck(const MonitorFiles& files, AlertMode alert) : parts_(std::make_unique<Parts>(files, alert)) {}

WatchCheck::~WatchCheck() = default;

const std::string& WatchCheck::Target() const { return parts_->target; }

std::optional<CheckResult> WatchCheck::Prepare() {
    Parts& p = *parts_;
    SettingsForm(p.form, p.view, p.dialogs, p.components.settings).Load();
    const std::string where = " in " + p.settingsFile.string();
    p.pingWatch = IsSettingOn(p.components.settings, setting::PingOnly);
    if (p.pingWatch) {
        p.target = Trim(p.form.Text(Field::editIPaddr));
        if (p.target.empty()) return Unknown("no host to ping" + where);
    } else {
        p.target = p.form.Text(Field::txtURL2watch);
        const std::string address = Trim(p.target);
        if (address.empty() || address == setting::url2watch.initial) return Unknown("no address to watch" + where);
        if (ContainsBytes(p.target, "https://") && !IsSettingOn(p.components.settings, setting::allowHttps)) {
            return Unknown(p.target + ": https:// addresses are watched only with allowHttps=y" + where);
        }
        const std::string size = p.form.Text(Field::txtFileSize);
        if (!Trim(size).empty() && !TryStrToInt(size)) {
            return Unknown(std::string("expected size: ") + ConversionError(size).what() + where);
        }
    }
    if (p.alertMode == AlertMode::Deliver) {
        const std::string port = ReadSetting(p.components.settings, setting::port);
        if (port != kAbsentSetting && !TryStrToInt(port)) {
            return Unknown(std::string("SMTP port: ") + ConversionError(port).what() + where);
        }
    }
    return std::nullopt;
}

CheckResult WatchCheck::Run() {
    // An error that leaves the tick is one of the alert delivery or the log.
    std::string escaped;
    try {
        parts_->cycle.Tick();
    } catch (const std::exception& error) {
        escaped = OneLine(error.what());
    }
    CheckResult result = Outcome();
    if (!escaped.empty()) {
        if (result.status == CheckStatus::Ok) return Unknown(escaped);
        result.text += " (alert failed: " + escaped + ")";
    }
    return result;
}

CheckResult WatchCheck::Outcome() const {
    const Parts& p = *parts_;
    if (!p.dialogs.message.empty()) return Unknown(p.target + ": " + OneLine(p.dialogs.message));
    if (p.pingWatch) {
        if (!p.ping.failure.empty()) return Critical(p.target + ": " + OneLine(p.ping.failure));
        const std::string ms = std::to_string(p.ping.ResponseTime());
        return {CheckStatus::Ok, p.target + " replied in " + ms + " ms", "rta=" + ms + "ms;;;0"};
    }
    if (!p.web.failure.empty()) return Critical(p.target + ": " + OneLine(p.web.failure));
    const std::string bytes = std::to_string(p.components.state.FetchedBody.size());
    const std::string seconds = Seconds(p.web.elapsed);
    const std::string perfData = "time=" + seconds + "s;;;0 size=" + bytes + "B;;;0";
    if (p.gate.raised > 0) {
        const std::string expected = p.form.Text(Field::txtFileSize);
        if (!Trim(expected).empty()) {
            return Critical(
                p.target + " " + bytes + " bytes, more than the expected " + std::to_string(StrToInt(expected)),
                perfData);
        }
        return Critical(p.target + " did not contain \"" + p.form.Text(Field::txtLookFor) + "\"", perfData);
    }
    return {CheckStatus::Ok, p.target + " " + bytes + " bytes in " + seconds + " s", perfData};
}

}  // namespace corvasse

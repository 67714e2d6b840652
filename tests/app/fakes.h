#pragma once
// Stand-ins for the window and the network components, recording what the
// core does to them so tests can assert on it.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/alert/alert_sender.h"
#include "app/settings/form_fields.h"
#include "app/settings/watch_spec.h"
#include "app/view/dialogs.h"
#include "app/view/monitor_view.h"
#include "app/watch/interval_timer.h"
#include "app/watch/ping_client.h"
#include "app/watch/web_client.h"
#include "common/byte_sink.h"
#include "core/watch_outcome.h"

namespace corvasse::test {

class FakeFormFields : public FormFields {
public:
    std::map<Field, std::string> texts;
    std::map<Field, bool> checks;

    std::string Text(Field field) const override {
        auto it = texts.find(field);
        return it == texts.end() ? std::string() : it->second;
    }
    void SetText(Field field, const std::string& text) override { texts[field] = text; }
    bool Checked(Field field) const override {
        auto it = checks.find(field);
        return it != checks.end() && it->second;
    }
    void SetChecked(Field field, bool checked) override { checks[field] = checked; }
};

class FakeMonitorView : public MonitorView {
public:
    std::string statusText;
    std::vector<std::string> statusHistory;  // every first-panel text in order
    std::string watchCountText;
    std::vector<std::string> lines;
    int paneRepaints = 0;
    int barRepaints = 0;
    int progressMax = 100;
    int progressPosition = 0;
    int statusPageSelections = 0;
    std::vector<std::string> notices;
    std::string outageState;

    void SetStatusText(const std::string& text) override {
        statusText = text;
        statusHistory.push_back(text);
    }
    std::string StatusText() const override { return statusText; }
    void SetWatchCountText(const std::string& text) override { watchCountText = text; }
    void RepaintStatusBar() override { ++barRepaints; }
    void AddStatusLine(const std::string& line) override { lines.push_back(line); }
    void ClearStatusLines() override { lines.clear(); }
    void RepaintStatusPane() override { ++paneRepaints; }
    void SetProgressMax(int max) override { progressMax = max; }
    int ProgressMax() const override { return progressMax; }
    void SetProgressPosition(int position) override { progressPosition = position; }
    void SelectStatusPage() override { ++statusPageSelections; }
    void Notify(const std::string& notice) override { notices.push_back(notice); }
    void SetOutageState(const std::string& state) override { outageState = state; }
};

class FakeDialogs : public Dialogs {
public:
    // "beep", "message:<text>" and "error:<text>" in the order they happened.
    std::vector<std::string> calls;
    // Run while a message box or an error box would be open.
    std::function<void()> onMessage;
    std::function<void()> onError;

    void Beep() override { calls.push_back("beep"); }
    void ShowMessage(const std::string& text) override {
        calls.push_back("message:" + text);
        if (onMessage) onMessage();
    }
    void ShowError(const std::string& text) override {
        calls.push_back("error:" + text);
        if (onError) onError();
    }
};

class FakeTimer : public IntervalTimer {
public:
    bool enabled = false;
    uint32_t interval = 1000;
    int periodRestarts = 0;  // how often the schedule started afresh

    void SetEnabled(bool value) override {
        if (value && !enabled) ++periodRestarts;
        enabled = value;
    }
    bool Enabled() const override { return enabled; }
    void SetInterval(uint32_t value) override {
        if (value != interval && enabled) ++periodRestarts;
        interval = value;
    }
    uint32_t Interval() const override { return interval; }
};

class FakeWebClient : public WebClient {
public:
    std::string body;
    std::string failure;  // non-empty: Get throws this message
    std::string disconnectFailure;
    std::vector<std::string> calls;
    std::chrono::milliseconds connectTimeout{0};
    HttpsPolicy https = HttpsPolicy::Refused;
    AddressFamily family = AddressFamily::Any;
    std::string responseText;
    int responseCode = -1;
    std::string peerAddress;
    std::function<void()> duringGet;
    std::optional<PeerCertificate> certificate;  // that of every fetch

    void SetConnectTimeout(std::chrono::milliseconds timeout) override { connectTimeout = timeout; }
    void SetHttpsPolicy(HttpsPolicy policy) override { https = policy; }
    void SetAddressFamily(AddressFamily value) override { family = value; }
    // Hands the body on one byte at a time, as the slowest connection would.
    void Get(const std::string& url, ByteSink& sink) override {
        calls.push_back("get:" + url);
        if (duringGet) duringGet();
        if (!failure.empty()) throw std::runtime_error(failure);
        for (const char byte : body) sink.Write(std::string_view(&byte, 1));
    }
    void Disconnect() override {
        calls.push_back("disconnect");
        if (!disconnectFailure.empty()) throw std::runtime_error(disconnectFailure);
    }
    std::string ResponseText() const override { return responseText; }
    int ResponseCode() const override { return responseCode; }
    std::optional<PeerCertificate> ServerCertificate() const override { return certificate; }
    std::string PeerAddress() const override { return peerAddress; }
};

class FakePingClient : public PingClient {
public:
    std::vector<std::string> hosts;
    AddressFamily family = AddressFamily::Any;
    std::string failure;
    int responseTime = 0;
    std::function<void()> duringPing;

    void PingHost(const std::string& host) override {
        hosts.push_back(host);
        if (duringPing) duringPing();
        if (!failure.empty()) throw std::runtime_error(failure);
    }
    int ResponseTime() const override { return responseTime; }
    void SetAddressFamily(AddressFamily value) override { family = value; }
};

// Every notice fails with failure when it is set: as no channel's delivery,
// or with partly, as some channels' (NoticePartlyFailedError).
class FakeAlertSender : public AlertSender {
public:
    int attempts = 0;  // of SendAlert
    bool partly = false;
    std::vector<OutageAlert> outageAlerts;
    std::vector<std::string> recoveries;
    std::vector<std::string> certificateWarnings;
    std::string failure;
    std::function<void()> duringAlert;
    std::function<void(const OutageAlert&)> duringOutageAlert;

    // The watch each outage alert was for.
    std::vector<WatchSpec> outageSpecs;

    void SendAlert(const WatchSpec&, const WatchOutcome&) override {
        ++attempts;
        if (duringAlert) duringAlert();
        Fail();
    }
    void SendOutageAlert(const WatchSpec& watchSpec, const WatchOutcome&, const OutageAlert& alert) override {
        outageAlerts.push_back(alert);
        outageSpecs.push_back(watchSpec);
        if (duringOutageAlert) duringOutageAlert(alert);
        Fail();
    }
    void SendRecovery(const WatchSpec&, const std::string& report, const NoticeFacts&) override {
        recoveries.push_back(report);
        Fail();
    }
    void SendCertificateWarning(const WatchSpec&, const std::string& report, const NoticeFacts&) override {
        certificateWarnings.push_back(report);
        Fail();
    }
    void SendUndelivered(const WatchSpec&) override {}

private:
    void Fail() const {
        if (failure.empty()) return;
        if (partly) throw NoticePartlyFailedError({failure});
        throw std::runtime_error(failure);
    }
};

}  // namespace corvasse::test

#include "app/watch/result_keeper.h"

#include <chrono>
#include <exception>

#include "app/alert/alert_report.h"
#include "app/outage/outage_text.h"
#include "app/outage/outage_tracker.h"
#include "app/view/activity_log.h"
#include "app/view/monitor_view.h"
#include "app/watch/watch_schedule.h"
#include "common/duration_text.h"
#include "core/watch_outcome.h"
#include "history/history_error.h"
#include "history/history_store.h"
#include "history/history_store_pool.h"
#include "net/net_error.h"

namespace corvasse {

namespace {

std::time_t TimeOf(ResultTime time) { return std::chrono::system_clock::to_time_t(time); }

}  // namespace

ResultKeeper::ResultKeeper(MonitorView& view, ActivityLog& log, AlertSender& alert, const WatchSchedule& schedule,
                           std::filesystem::path settingsFile, std::filesystem::path historyFile,
                           WatchRecording recording, WallClock clock)
    : view_(view),
      log_(log),
      alert_(alert),
      schedule_(schedule),
      settingsFile_(std::move(settingsFile)),
      historyFile_(std::move(historyFile)),
      recording_(recording),
      clock_(std::move(clock)),
      certificates_(view, alert, *this) {}

ResultKeeper::~ResultKeeper() = default;

void ResultKeeper::Begin(const WatchSpec& watchSpec) {
    watchSpec_ = watchSpec;
    watch_.reset();
    outage_.reset();
    if (recording_ == WatchRecording::None) return;
    if (recording_ == WatchRecording::ResultsAndOutages) {
        if (watchSpec.outageProblem.empty()) {
            outage_ = watchSpec.outage;
            settingsSaid_.Clear();
        } else if (settingsSaid_.IsNew(watchSpec.outageProblem)) {
            view_.ShowLogFailure(watchSpec.outageProblem);
        }
    }
    OpenWatch(watchSpec.target);
}

void ResultKeeper::OpenWatch(const std::string& target) {
    if (!stores_) stores_ = HistoryStorePool::For(historyFile_);
    try {
        watch_ = stores_->Take()->FindOrAddWatch(settingsFile_, target);
    } catch (const HistoryError& error) {
        HistoryFailed(error);
    }
}

void ResultKeeper::HistoryFailed(const HistoryError& error) {
    stores_->Renew();
    watch_.reset();
    if (historySaid_.IsNew(error.what())) view_.ShowLogFailure(error.what());
}

void ResultKeeper::CertificateHistoryFailed(const HistoryError& error) {
    stores_->Renew();
    if (historySaid_.IsNew(error.what())) view_.ShowLogFailure(error.what());
}

void ResultKeeper::ResultKnown(const WatchOutcome& outcome) {
    if (!watch_ || ByOutage()) return;
    try {
        stores_->Take()->RecordResult(*watch_, outcome.result);
        historySaid_.Clear();
    } catch (const HistoryError& error) {
        HistoryFailed(error);
    }
}

void ResultKeeper::FailureSeen(const WatchOutcome& outcome) {
    if (!ByOutage()) alert_.SendAlert(watchSpec_, outcome);
}

void ResultKeeper::Conclude(const WatchOutcome& outcome) {
    std::exception_ptr failure;
    try {
        alert_.SendUndelivered(watchSpec_);
    } catch (const std::exception&) {
        failure = std::current_exception();
    }
    if (!ByOutage()) {
        if (failure) std::rethrow_exception(failure);
        return;
    }
    const WatchResult& result = outcome.result;
    const std::string& target = watchSpec_.target;
    // Held through the step's mails, whose hand-over and sending it notes.
    std::optional<HistoryStorePool::Lease> store;
    std::optional<OutageTracker> recorded;
    OutageStep step;
    try {
        store.emplace(stores_->Take());
        recorded.emplace(**store, *watch_, *outage_);
        step = recorded->Record(result, schedule_.Resumed());
        historySaid_.Clear();
    } catch (const HistoryError& error) {
        HistoryFailed(error);
        // As without outage mode.
        if (result.state == ResultState::Down && watchSpec_.kind == WatchKind::Web)
            alert_.SendAlert(watchSpec_, outcome);
        if (failure) std::rethrow_exception(failure);
        return;
    }

    if (!step.paneLine.empty()) view_.AddResultLine(TimeOf(result.time), step.paneLine);
    if (step.change == OutageChange::Began) view_.Notify(target + " is down: " + result.reason);
    if (step.change == OutageChange::Ended) {
        view_.Notify(target + " is back up after " +
                     DurationText(std::chrono::floor<std::chrono::seconds>(step.outage->ended.value_or(result.time) -
                                                                           step.outage->began)));
    }
    if (result.state != ResultState::Unknown) {
        const bool down = step.outage && !step.outage->ended;
        view_.SetOutageState(down ? "down since " + HourMinuteText(TimeOf(step.outage->began)) : "");
    }

    OutageTracker& tracker = *recorded;
    for (const OutageAction& action : step.actions) {
        try {
            Act(tracker, action, outcome);
        } catch (const HistoryError& error) {
            // The mail went out; only the note that it did is missing.
            HistoryFailed(error);
        } catch (const std::exception&) {
            if (!failure) failure = std::current_exception();
        }
    }
    if (failure) std::rethrow_exception(failure);
}

void ResultKeeper::Act(OutageTracker& tracker, const OutageAction& action, const WatchOutcome& outcome) {
    const Outage& outage = action.outage;
    const std::string reason = "Reason: " + outage.lastReason;
    const ResultTime until = outage.ended.value_or(action.time);
    NoticeFacts facts{NoticeEvent::Down, outage.lastReason, outage.began,
                      std::chrono::floor<std::chrono::seconds>(until - outage.began)};
    try {
        switch (action.kind) {
            case OutageActionKind::SendAlert: SendFirstAlert(tracker, action, outcome, {{reason}, facts}); break;
            case OutageActionKind::SendReminder:
                facts.event = NoticeEvent::Reminder;
                alert_.SendOutageAlert(watchSpec_, outcome, {{reason, DownSinceLine(outage, action.time)}, facts});
                break;
            case OutageActionKind::SendRecovery: alert_.SendRecovery(watchSpec_, LoggedRecovery(outage), facts); break;
            case OutageActionKind::LogRecovery: LoggedRecovery(outage); return;
        }
    } catch (const NoticePartlyFailedError&) {
        // Told on another channel; those that failed try again by themselves.
        tracker.MailSent(action);
        throw;
    }
    tracker.MailSent(action);
}

void ResultKeeper::SendFirstAlert(OutageTracker& tracker, const OutageAction& action, const WatchOutcome& outcome,
                                  OutageAlert alert) {
    bool handedOver = false;
    alert.handingOver = [&] {
        try {
            tracker.AlertHandedOver(action);
            handedOver = true;
        } catch (const HistoryError& error) {
            // The alert goes out all the same.
            HistoryFailed(error);
        }
    };
    try {
        alert_.SendOutageAlert(watchSpec_, outcome, alert);
    } catch (const ProtocolReplyError&) {
        // After the hand-over only the reply to the message itself is read:
        // the server refused the alert, so it did not arrive.
        if (handedOver) {
            try {
                tracker.AlertRefused(action);
            } catch (const HistoryError& error) {
                HistoryFailed(error);
            }
        }
        throw;
    }
}

std::string ResultKeeper::LoggedRecovery(const Outage& outage) {
    const std::string report = FormatAlertDate(std::time(nullptr)) + "\nWatching address: " + watchSpec_.target + "\n" +
                               RecoveryReport(outage);
    try {
        log_.AppendLogLine(report);
    } catch (const IoError& error) {
        view_.ShowLogFailure(log_.WriteFailureText(error));
    }
    return report;
}

void ResultKeeper::CheckCertificate(const PeerCertificate& certificate) {
    certificates_.Check(watchSpec_, certificate);
}

bool ResultKeeper::CertificateWarningSent(const CertificateWarning& warning) {
    if (certificateWarningsMailed_.contains({watchSpec_.target, warning.issuer, warning.serial, warning.kind}))
        return true;
    if (!watch_) return false;
    try {
        return stores_->Take()->CertificateWarningSent(*watch_, warning);
    } catch (const HistoryError& error) {
        CertificateHistoryFailed(error);
        return false;
    }
}

void ResultKeeper::CertificateWarningMailed(const CertificateWarning& warning) {
    certificateWarningsMailed_.insert({watchSpec_.target, warning.issuer, warning.serial, warning.kind});
    if (!watch_) return;
    try {
        stores_->Take()->MarkCertificateWarningSent(*watch_, warning, clock_());
    } catch (const HistoryError& error) {
        CertificateHistoryFailed(error);
    }
}

std::optional<std::string> ResultKeeper::NextWatchText() const {
    if (!outage_) return std::nullopt;
    return corvasse::NextWatchText(schedule_, clock_());
}

}  // namespace corvasse

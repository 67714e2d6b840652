// Makes a history for the README's picture of the History window: a week of
// one-minute results of one watch up to now, as a shop with a daily rhythm,
// a few slow moments and two outages leaves it, recorded through the outage
// model as a watch records them.
//
//     sample_history DATABASE SETTINGS ADDRESS

#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>

#include "app/outage/outage_tracker.h"
#include "history/history_store.h"

int main(int argc, char** argv) {
    using namespace corvasse;
    using std::chrono::days, std::chrono::hours, std::chrono::minutes, std::chrono::microseconds;
    if (argc != 4) {
        std::fprintf(stderr, "usage: sample_history DATABASE SETTINGS ADDRESS\n");
        return 2;
    }
    HistoryStore store(argv[1]);
    OutageTracker tracker(store, store.FindOrAddWatch(argv[2], argv[3]), OutageSettings{});
    const ResultTime now = ResultTimeNow();
    const struct {
        ResultTime from;
        ResultTime to;
        const char* reason;
    } outages[] = {
        {now - days(2) - hours(7), now - days(2) - hours(7) + minutes(12), "HTTP/1.1 503 Service Unavailable"},
        {now - hours(5), now - hours(5) + minutes(25), "Socket Error # 10061 Connection refused."},
    };
    std::mt19937 random(20261208);
    for (ResultTime time = now - days(7); time <= now; time += minutes(1)) {
        WatchResult result{time, ResultState::Up, std::nullopt, std::nullopt, ""};
        for (const auto& outage : outages) {
            if (time >= outage.from && time < outage.to)
                result = {time, ResultState::Down, std::nullopt, std::nullopt, outage.reason};
        }
        if (result.state == ResultState::Up && random() % 1500 == 0) {
            result = {time, ResultState::Down, std::nullopt, std::nullopt, "Read Timeout"};
        }
        if (result.state == ResultState::Up) {
            // Busier, and slower, in the evening; now and then a slow page.
            const double hour = static_cast<double>((time.time_since_epoch() % days(1)) / minutes(1)) / 60.0;
            double ms = 38 + 22 * std::sin((hour - 13) / 24 * 2 * std::numbers::pi) + random() % 15;
            if (random() % 400 == 0) ms += 250 + random() % 500;
            result.responseTime = microseconds(static_cast<int64_t>(ms * 1000));
            result.size = 2043 + random() % 40;
        }
        for (const OutageAction& action : tracker.Record(result).actions) tracker.MailSent(action);
    }
    return 0;
}

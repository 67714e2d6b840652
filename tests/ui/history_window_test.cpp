// The History window on the offscreen platform: what it draws for a year of
// one-minute results, its uptime texts and outage rows for each range, the
// tip of a point, and the export of a range's results.

#include "ui/history_window.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScatterSeries>
#include <QTableWidget>
#include <QToolTip>

#include <memory>
#include <string>
#include <vector>

#include "app/fakes.h"
#include "app/history_view/history_text.h"
#include "app/view/handler_guard.h"
#include "support/child_process.h"
#include "support/recorded_outage.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"
#include "support/watch_results.h"
#include "support/year_of_results.h"
#include "ui/qt_test_app.h"

namespace corvasse {
namespace {

using std::chrono::days, std::chrono::hours, std::chrono::minutes;

constexpr const char* kSettings = "/home/ann/.config/Corvasse/Corvasse.conf";
constexpr const char* kAddress = "http://shop.example/";

class HistoryWindowTest : public test::QtTest {
protected:
    void Open(const std::filesystem::path& database, ResultTime now) {
        window_ = std::make_unique<HistoryWindow>(
            guard_, [now] { return now; },
            [this](QWidget*, const QString&) { return QString::fromStdString(exportTo_.string()); });
        window_->ShowHistory({database, kSettings, kAddress});
        QApplication::processEvents();
    }

    void ChooseRange(HistoryRange range) {
        window_->findChild<QComboBox*>("range")->setCurrentIndex(static_cast<int>(range));
        QApplication::processEvents();
    }

    QScatterSeries* Series(const char* name) const {
        return window_->findChild<QChartView*>("chart")->chart()->findChild<QScatterSeries*>(name);
    }
    int PlotWidth() const {
        return static_cast<int>(window_->findChild<QChartView*>("chart")->chart()->plotArea().width());
    }
    QString Label(const char* name) const { return window_->findChild<QLabel*>(name)->text(); }
    QTableWidget* Table() const { return window_->findChild<QTableWidget*>("outages"); }

    // The history of a test of its own, holding the watch's results.
    std::filesystem::path DatabaseWith(const std::vector<WatchResult>& results) {
        const std::filesystem::path database = temp_.Path() / kHistoryFileName;
        HistoryStore store(database);
        const WatchId watch = store.FindOrAddWatch(kSettings, kAddress);
        for (const WatchResult& result : results) store.RecordResult(watch, result);
        return database;
    }

    test::ScopedEnvironment utc_{"TZ", "UTC0"};
    test::TempDir temp_;
    test::FakeDialogs dialogs_;
    HandlerGuard guard_{dialogs_};
    std::filesystem::path exportTo_;
    std::unique_ptr<HistoryWindow> window_;
};

// A year of one-minute results, an outage a month, one three days ago and one that goes on.
class HistoryWindowYearTest : public HistoryWindowTest {
protected:
    static void SetUpTestSuite() {
        folder_ = new test::TempDir;
        const ResultTime now = Now();
        test::AddYearOfResults(Database(), kSettings, kAddress, now - days(365));
        HistoryStore store(Database());
        const WatchId watch = store.FindOrAddWatch(kSettings, kAddress);
        for (const auto& [began, ended] :
             {std::pair<ResultTime, std::optional<ResultTime>>{now - days(3), now - days(3) + minutes(45)},
              {now - hours(2), std::nullopt}}) {
            test::RecordOutage(store, watch, began, ended, 7, "HTTP/1.1 503 Service Unavailable");
        }
    }
    static void TearDownTestSuite() { delete folder_; }
    static std::filesystem::path Database() { return folder_->Path() / kHistoryFileName; }
    static ResultTime Now() { return test::kDayStart + days(365); }

    static test::TempDir* folder_;
};

test::TempDir* HistoryWindowYearTest::folder_ = nullptr;

TEST_F(HistoryWindowYearTest, DrawsTwoPointsAPixelColumnAtMostAndShowsEachRangesOutages) {
    Open(Database(), Now());
    EXPECT_EQ(window_->windowTitle(), "Corvasse History");
    EXPECT_EQ(Label("notice"), "");
    const struct {
        HistoryRange range;
        int outages;
    } rows[] = {{HistoryRange::Day, 1}, {HistoryRange::Week, 2}, {HistoryRange::Month, 2}, {HistoryRange::Year, 14}};
    for (const auto& row : rows) {
        SCOPED_TRACE(RangeName(row.range));
        ChooseRange(row.range);
        const int width = PlotWidth();
        ASSERT_GT(width, 300);
        const int responses = Series("responses")->count();
        // A minute's results leave a point in every column of a day; a year's fill every column twice.
        EXPECT_GE(responses, width);
        EXPECT_LE(responses, 2 * width);
        EXPECT_GT(Series("downs")->count(), 0);
        EXPECT_LE(Series("downs")->count(), width);
        ASSERT_EQ(Table()->rowCount(), row.outages);
        EXPECT_EQ(Table()->item(0, 1)->text(), "ongoing");
        EXPECT_EQ(Table()->item(0, 2)->text(), "2 h");
        EXPECT_EQ(Table()->item(0, 4)->text(), "HTTP/1.1 503 Service Unavailable");
    }
    EXPECT_EQ(Table()->item(13, 0)->text().toStdString(), "2026-12-08 00:00:00");
    EXPECT_EQ(Table()->item(13, 2)->text(), "20 min");

    // A larger window draws more columns, still no more than it has.
    window_->resize(1600, 900);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_GT(PlotWidth(), 1000);
    EXPECT_GT(Series("responses")->count(), 1000);
    EXPECT_LE(Series("responses")->count(), 2 * PlotWidth());
    EXPECT_TRUE(dialogs_.calls.empty());
}

TEST_F(HistoryWindowYearTest, MarksTheTimeAtMidnightsAndLetsTheOutagesFillTheirRoom) {
    Open(Database(), Now());         // Wednesday 2027-12-08 00:00
    ChooseRange(HistoryRange::Day);  // one outage
    // The columns take the whole width, the rows more than the three and a half they had.
    EXPECT_EQ(Table()->horizontalHeader()->length(), Table()->viewport()->width());
    EXPECT_GE(Table()->viewport()->height(), 6 * Table()->rowHeight(0));
    ChooseRange(HistoryRange::Week);
    auto* axis = qobject_cast<QCategoryAxis*>(Series("responses")->attachedAxes().at(0));
    ASSERT_NE(axis, nullptr);
    EXPECT_EQ(axis->categoriesLabels(), QStringList({"Thu 2", "Fri 3", "Sat 4", "Sun 5", "Mon 6", "Tue 7", "Wed 8"}));
}

TEST_F(HistoryWindowTest, HoveringAPointShowsTheResultItStandsFor) {
    Open(DatabaseWith({test::Up(test::kDayStart + minutes(1), std::chrono::milliseconds(30), 2043),
                       test::Up(test::kDayStart + minutes(2), std::chrono::milliseconds(12), 2044),
                       test::Down(test::kDayStart + minutes(3), "Read Timeout"),
                       test::Down(test::kDayStart + minutes(4), "HTTP/1.1 404 Not Found")}),
         test::kDayStart + hours(1));
    // A first hour of results opens at "1 hour": each result in a column of its own.
    EXPECT_EQ(window_->findChild<QComboBox*>("range")->currentText(), "1 hour");
    QScatterSeries* responses = Series("responses");
    QScatterSeries* downs = Series("downs");
    ASSERT_EQ(responses->count(), 2);
    ASSERT_EQ(downs->count(), 2);
    const int slowestFirst = responses->at(0).y() > responses->at(1).y() ? 0 : 1;
    const struct {
        QScatterSeries* series;
        int point;
        const char* tip;
    } rows[] = {{responses, slowestFirst, "2026-12-08 00:01:00\nUp: 2043 bytes in 30 ms"},
                {responses, 1 - slowestFirst, "2026-12-08 00:02:00\nUp: 2044 bytes in 12 ms"},
                {downs, 0, "2026-12-08 00:03:00\nDown: Read Timeout"}};
    for (const auto& row : rows) {
        emit row.series->hovered(row.series->at(row.point), true);
        EXPECT_EQ(QToolTip::text().toStdString(), row.tip);
    }
}

TEST_F(HistoryWindowTest, ExportsTheRangesResultsOrSaysWhyItCouldNot) {
    Open(DatabaseWith({test::Up(test::kDayStart - days(2)),
                       test::Up(test::kDayStart + minutes(1), std::chrono::milliseconds(30), 2043),
                       test::Down(test::kDayStart + minutes(2), "Read, then nothing")}),
         test::kDayStart + hours(1));
    auto* exportButton = window_->findChild<QPushButton*>("exportCsv");
    ASSERT_TRUE(exportButton->isEnabled());

    exportTo_ = temp_.Path() / "day.csv";
    test::WriteFile(exportTo_, "what was there before");
    exportButton->click();
    EXPECT_EQ(test::ReadFile(exportTo_),
              "time,result,response_ms,size,reason\r\n"
              "2026-12-08T00:01:00.000Z,up,30.000,2043,\r\n"
              "2026-12-08T00:02:00.000Z,down,,,\"Read, then nothing\"\r\n");
    ChooseRange(HistoryRange::Week);
    exportButton->click();
    EXPECT_EQ(test::SplitLines(test::ReadFile(exportTo_)).size(), 4u);

    exportTo_ = temp_.Path() / "missing" / "week.csv";
    exportButton->click();
    ASSERT_EQ(dialogs_.calls.size(), 1u);
    EXPECT_EQ(dialogs_.calls[0].rfind("error:Cannot create file \"" + exportTo_.string() + "\". ", 0), 0u)
        << dialogs_.calls[0];
    EXPECT_FALSE(std::filesystem::exists(exportTo_.parent_path()));
}

TEST_F(HistoryWindowTest, WithoutAHistorySaysWhyAndHasNothingToShowOrExport) {
    const std::filesystem::path missing = temp_.Path() / "state" / kHistoryFileName;
    Open(missing, test::kDayStart);
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(Label("notice").toStdString(), "no history database at \"" + missing.string() + "\"");
    EXPECT_EQ(Label("uptime24h"), "24 hours: no data");
    EXPECT_EQ(Label("uptime1y"), "1 year: no data");
    EXPECT_EQ(Table()->rowCount(), 0);
    EXPECT_EQ(Series("responses")->count(), 0);
    EXPECT_FALSE(window_->findChild<QPushButton*>("exportCsv")->isEnabled());
    EXPECT_TRUE(dialogs_.calls.empty());
    EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));
}

}  // namespace
}  // namespace corvasse

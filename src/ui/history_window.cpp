#include "ui/history_window.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QGraphicsLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QSaveFile>
#include <QScatterSeries>
#include <QScreen>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include "app/history_view/history_text.h"
#include "app/history_view/time_ticks.h"
#include "app/history_view/watch_history.h"
#include "app/view/handler_guard.h"
#include "ui/qt_text.h"

namespace corvasse {

namespace {

constexpr int kWidthPx = 820;
constexpr int kHeightPx = 640;
// Before the chart is laid out: what its axis labels and margins will take.
constexpr int kAxisAllowancePx = 90;
// The response axis reaches at least this far, so that a few milliseconds do not fill it.
constexpr double kMinTopMs = 10;
constexpr qreal kResponseMarkerPx = 5;
constexpr qreal kDownMarkerPx = 8;

qreal ChartX(ResultTime time) { return static_cast<qreal>(time.time_since_epoch().count()); }
qreal ChartMs(std::chrono::microseconds response) { return static_cast<qreal>(response.count()) / 1000.0; }
QDateTime LocalTime(ResultTime time) { return QDateTime::fromMSecsSinceEpoch(time.time_since_epoch().count()); }

// Time-axis labels in local time, as fine as the range's marks.
QString TimeFormat(HistoryRange range) {
    switch (range) {
        case HistoryRange::Hour:
        case HistoryRange::SixHours:
        case HistoryRange::Day: return "HH:mm";
        case HistoryRange::Week: return "ddd d";
        case HistoryRange::Month: return "d MMM";
        case HistoryRange::Year: break;
    }
    return "MMM yyyy";
}

QString FileDialogChoice(QWidget* parent, const QString& suggested) {
    return QFileDialog::getSaveFileName(parent, "Export CSV", suggested, "CSV files (*.csv);;All files (*)");
}

}  // namespace

HistoryWindow::HistoryWindow(const HandlerGuard& guard, Clock clock, SaveFileChooser chooseSaveFile, QWidget* parent)
    : QWidget(parent, Qt::Window),
      guard_(guard),
      clock_(clock ? std::move(clock) : ResultTimeNow),
      chooseSaveFile_(chooseSaveFile ? std::move(chooseSaveFile) : FileDialogChoice) {
    setWindowTitle("Corvasse History");
    CreateChart();
    CreateControls();
    resize(kWidthPx, kHeightPx);
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::CreateChart() {
    chart_ = new QChart;
    chart_->legend()->hide();
    chart_->setMargins(QMargins(4, 4, 4, 4));

    // Marked at round local times, not at even shares of the range.
    timeAxis_ = new QCategoryAxis;
    timeAxis_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    msAxis_ = new QValueAxis;
    msAxis_->setTitleText("Response time (ms)");
    msAxis_->setLabelFormat("%.0f");
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(msAxis_, Qt::AlignLeft);

    outageEdge_ = new QLineSeries(chart_);
    outageArea_ = new QAreaSeries(outageEdge_);
    outageArea_->setObjectName("outageShade");
    outageArea_->setPen(Qt::NoPen);
    outageArea_->setBrush(QColor(220, 40, 40, 50));
    responseSeries_ = new QScatterSeries;
    responseSeries_->setObjectName("responses");
    responseSeries_->setMarkerSize(kResponseMarkerPx);
    responseSeries_->setPen(Qt::NoPen);
    responseSeries_->setColor(QColor(30, 100, 200));
    downSeries_ = new QScatterSeries;
    downSeries_->setObjectName("downs");
    downSeries_->setMarkerSize(kDownMarkerPx);
    downSeries_->setPen(Qt::NoPen);
    downSeries_->setColor(Qt::red);
    for (QAbstractSeries* series : std::initializer_list<QAbstractSeries*>{outageArea_, responseSeries_, downSeries_}) {
        chart_->addSeries(series);
        series->attachAxis(timeAxis_);
        series->attachAxis(msAxis_);
    }
    connect(responseSeries_, &QScatterSeries::hovered, this,
            [this](const QPointF& point, bool entered) { ShowPointTip(point, entered, drawn_.responses); });
    connect(downSeries_, &QScatterSeries::hovered, this,
            [this](const QPointF& point, bool entered) { ShowPointTip(point, entered, drawn_.downs); });
    // Queued: the chart is still laying itself out when it says so.
    connect(chart_, &QChart::plotAreaChanged, this, &HistoryWindow::PlotAreaChanged, Qt::QueuedConnection);

    chartView_ = new QChartView(chart_);
    chartView_->setObjectName("chart");
    chartView_->setRenderHint(QPainter::Antialiasing);
}

void HistoryWindow::CreateControls() {
    rangeBox_ = new QComboBox;
    rangeBox_->setObjectName("range");
    for (const HistoryRange range : kHistoryRanges) rangeBox_->addItem(FromBytes(RangeName(range)));
    rangeBox_->setCurrentIndex(static_cast<int>(HistoryRange::Day));
    exportButton_ = new QPushButton("Export CSV...");
    exportButton_->setObjectName("exportCsv");
    notice_ = new QLabel;
    notice_->setObjectName("notice");
    notice_->setTextFormat(Qt::PlainText);
    notice_->setWordWrap(true);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel("Range:"));
    top->addWidget(rangeBox_);
    top->addWidget(notice_, 1);
    top->addWidget(exportButton_);

    auto* uptime = new QGroupBox("Uptime");
    auto* uptimeRow = new QHBoxLayout(uptime);
    for (const HistoryRange range : kUptimeRanges) {
        auto* label = new QLabel;
        label->setObjectName("uptime" + FromBytes(RangeKey(range)));
        label->setTextFormat(Qt::PlainText);
        uptimeRow->addWidget(label);
        uptimeLabels_.push_back(label);
    }

    outageTable_ = new QTableWidget(0, static_cast<int>(kOutageColumns.size()));
    outageTable_->setObjectName("outages");
    QStringList headings;
    for (std::string_view heading : kOutageColumns) headings << FromBytes(heading);
    outageTable_->setHorizontalHeaderLabels(headings);
    // The times and counts as wide as they need, the reason the rest of the width.
    for (int column = 0; column + 1 < outageTable_->columnCount(); ++column) {
        outageTable_->horizontalHeader()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    outageTable_->horizontalHeader()->setStretchLastSection(true);
    outageTable_->verticalHeader()->hide();
    outageTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    outageTable_->setSelectionBehavior(QAbstractItemView::SelectRows);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(chartView_, 3);
    layout->addWidget(uptime);
    layout->addWidget(new QLabel("Outages:"));
    layout->addWidget(outageTable_, 2);

    connect(rangeBox_, &QComboBox::currentIndexChanged, this, [this] { guard_.Run([this] { Refresh(); }); });
    connect(exportButton_, &QPushButton::clicked, this, [this] { guard_.Run([this] { ExportCsvClick(); }); });
}

void HistoryWindow::ShowHistory(const HistoryWatch& watch) {
    watch_ = watch;
    if (!centred_) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
        }
        centred_ = true;
    }
    show();
    raise();
    activateWindow();
    Open();
}

void HistoryWindow::Open() {
    history_.reset();
    notice_->clear();
    try {
        history_ = std::make_unique<WatchHistory>(watch_.database, watch_.settings, watch_.target);
    } catch (const std::exception& error) {
        // Not an error of the window: there is nothing to show yet, and it says why.
        notice_->setText(FromBytes(error.what()));
    }
    exportButton_->setEnabled(history_ != nullptr);
    if (history_ && !rangeChosen_) {
        // Without a signal: Refresh() follows.
        const QSignalBlocker quiet(rangeBox_);
        rangeBox_->setCurrentIndex(static_cast<int>(history_->FirstRange(clock_())));
        rangeChosen_ = true;
    }
    Refresh();
}

HistoryRange HistoryWindow::Range() const { return kHistoryRanges.at(static_cast<size_t>(rangeBox_->currentIndex())); }

void HistoryWindow::Refresh() {
    now_ = clock_();
    for (size_t i = 0; i < kUptimeRanges.size(); ++i) {
        const std::string uptime = history_ ? history_->Uptime(kUptimeRanges[i], now_) : UptimeText({});
        uptimeLabels_[i]->setText(FromBytes(std::string(RangeName(kUptimeRanges[i])) + ": " + uptime));
    }
    const std::vector<Outage> outages = history_ ? history_->Outages(Range(), now_) : std::vector<Outage>{};
    outageTable_->setRowCount(static_cast<int>(outages.size()));
    for (size_t row = 0; row < outages.size(); ++row) {
        const OutageRow cells = OutageRowOf(outages[row], now_);
        for (size_t column = 0; column < cells.size(); ++column) {
            outageTable_->setItem(static_cast<int>(row), static_cast<int>(column),
                                  new QTableWidgetItem(FromBytes(cells[column])));
        }
    }
    DrawChart();
}

int HistoryWindow::PlotColumns() const {
    const int width = static_cast<int>(chart_->plotArea().width());
    return width > 0 ? width : std::max(1, chartView_->width() - kAxisAllowancePx);
}

void HistoryWindow::DrawChart() {
    // The axes' labels take their room first; the columns are what they leave.
    drawnColumns_ = PlotColumns();
    for (;;) {
        drawn_ = {};
        drawn_.range = RangeEndingAt(Range(), now_);
        if (history_) drawn_ = history_->Chart(Range(), now_, drawnColumns_);
        msAxis_->setRange(0, std::max(ChartMs(drawn_.slowest) * 1.1, kMinTopMs));
        msAxis_->applyNiceNumbers();
        MarkTimeAxis();
        chart_->layout()->activate();
        const int columns = PlotColumns();
        if (columns >= drawnColumns_) break;
        drawnColumns_ = columns;
    }

    const qreal top = msAxis_->max();
    QList<QPointF> responses, downs, outageEdge;
    responses.reserve(static_cast<qsizetype>(drawn_.responses.size()));
    for (const ChartPoint& point : drawn_.responses) responses << QPointF(ChartX(point.time), ChartMs(point.response));
    for (const ChartPoint& point : drawn_.downs) downs << QPointF(ChartX(point.time), 0);
    for (const TimeRange& outage : drawn_.outages) {
        outageEdge << QPointF(ChartX(outage.from), 0) << QPointF(ChartX(outage.from), top)
                   << QPointF(ChartX(outage.to), top) << QPointF(ChartX(outage.to), 0);
    }
    responseSeries_->replace(responses);
    downSeries_->replace(downs);
    outageEdge_->replace(outageEdge);
}

void HistoryWindow::MarkTimeAxis() {
    for (const QString& label : timeAxis_->categoriesLabels()) timeAxis_->remove(label);
    timeAxis_->setStartValue(ChartX(drawn_.range.from));
    for (const ResultTime tick : TimeTicks(Range(), drawn_.range)) {
        const QString label = LocalTime(tick).toString(TimeFormat(Range()));
        // A label names one mark only (an hour that the end of summer time repeats).
        if (!timeAxis_->categoriesLabels().contains(label)) timeAxis_->append(label, ChartX(tick));
    }
    timeAxis_->setRange(ChartX(drawn_.range.from), ChartX(drawn_.range.to));
}

void HistoryWindow::PlotAreaChanged() {
    const int width = static_cast<int>(chart_->plotArea().width());
    if (width <= 0 || drawnColumns_ == 0) return;
    // Never more columns than pixels; once the chart has grown by a tenth, more of them.
    if (width < drawnColumns_ || width > drawnColumns_ + drawnColumns_ / 10) guard_.Run([this] { DrawChart(); });
}

void HistoryWindow::ShowPointTip(const QPointF& point, bool entered, const std::vector<ChartPoint>& points) {
    if (!entered || !history_ || points.empty()) {
        QToolTip::hideText();
        return;
    }
    // The point nearest to the one hovered, each axis counted in its own span.
    const qreal xSpan = std::max<qreal>(1, ChartX(drawn_.range.to) - ChartX(drawn_.range.from));
    const qreal ySpan = std::max<qreal>(1, msAxis_->max());
    const auto distance = [&](const ChartPoint& candidate) {
        const qreal y = candidate.state == ResultState::Up ? ChartMs(candidate.response) : 0;
        return std::abs(ChartX(candidate.time) - point.x()) / xSpan + std::abs(y - point.y()) / ySpan;
    };
    const auto nearest = std::min_element(points.begin(), points.end(), [&](const ChartPoint& a, const ChartPoint& b) {
        return distance(a) < distance(b);
    });
    guard_.Run([&] {
        if (const std::optional<WatchResult> result = history_->PointResult(drawn_, *nearest)) {
            QToolTip::showText(QCursor::pos(), FromBytes(ResultTip(*result)), chartView_);
        }
    });
}

void HistoryWindow::ExportCsvClick() {
    if (!history_) return;
    const QString suggested = QDir::home().filePath("corvasse-history-" + FromBytes(RangeKey(Range())) + ".csv");
    const QString path = chooseSaveFile_(this, suggested);
    if (path.isEmpty()) return;
    // The file is replaced only once it is whole.
    QSaveFile file(path);
    const auto fail = [&] {
        throw std::runtime_error("Cannot create file \"" + ToBytes(path) + "\". " + ToBytes(file.errorString()));
    };
    if (!file.open(QIODevice::WriteOnly)) fail();
    history_->WriteCsv(Range(), now_, [&](std::string_view piece) {
        if (file.write(piece.data(), static_cast<qint64>(piece.size())) != static_cast<qint64>(piece.size())) fail();
    });
    if (!file.commit()) fail();
}

}  // namespace corvasse

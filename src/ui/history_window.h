#pragma once
// "Corvasse History": the response-time chart of a watch (the fastest and
// slowest result of each pixel column, down results as red marks on the time
// axis, outages shaded), its uptime over 24 hours, 7 days, 30 days and a
// year, the table of its outages, and "Export CSV..." of the range's results.
// Not modal; the watching goes on. What it shows is worked out by
// WatchHistory; the window only draws it.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <QWidget>

#include "app/history_view/history_range.h"
#include "app/history_view/response_chart.h"
#include "core/history_records.h"

class QAreaSeries;
class QChart;
class QChartView;
class QCategoryAxis;
class QComboBox;
class QLabel;
class QLineSeries;
class QPushButton;
class QScatterSeries;
class QTableWidget;
class QValueAxis;

namespace corvasse {

class HandlerGuard;
class WatchHistory;

// The watch whose history is shown: where its history is kept, and the
// settings file and target that name it there.
struct HistoryWatch {
    std::filesystem::path database;
    std::filesystem::path settings;
    std::string target;
};

class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    using Clock = std::function<ResultTime()>;
    // Asks where to save the export, suggesting a file; an empty name: not at all.
    using SaveFileChooser = std::function<QString(QWidget* parent, const QString& suggested)>;

    // The clock tells the moment the ranges end at; the chooser is a file dialog unless given.
    explicit HistoryWindow(const HandlerGuard& guard, Clock clock = {}, SaveFileChooser chooseSaveFile = {},
                           QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // Reads the watch's history afresh and shows it, or only brings the
    // window to the front with it. A watch without history shows why.
    // Virtual, so that the main window calls it in the window's own module
    // (ui/history_window_module.h) without linking its code.
    virtual void ShowHistory(const HistoryWatch& watch);

private:
    void CreateControls();
    void CreateChart();
    void Open();
    void Refresh();
    void DrawChart();
    void MarkTimeAxis();
    void ShowPointTip(const QPointF& point, bool entered, const std::vector<ChartPoint>& points);
    void ExportCsvClick();
    void PlotAreaChanged();
    HistoryRange Range() const;
    int PlotColumns() const;

    const HandlerGuard& guard_;
    Clock clock_;
    SaveFileChooser chooseSaveFile_;
    HistoryWatch watch_;
    std::unique_ptr<WatchHistory> history_;
    ResultTime now_;
    ResponseChart drawn_;
    int drawnColumns_ = 0;
    bool centred_ = false;
    // The first history shown has chosen its range; later ones keep the user's.
    bool rangeChosen_ = false;

    QComboBox* rangeBox_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QLabel* notice_ = nullptr;
    std::vector<QLabel*> uptimeLabels_;
    QTableWidget* outageTable_ = nullptr;
    QChartView* chartView_ = nullptr;
    QChart* chart_ = nullptr;
    QCategoryAxis* timeAxis_ = nullptr;
    QValueAxis* msAxis_ = nullptr;
    QLineSeries* outageEdge_ = nullptr;
    QAreaSeries* outageArea_ = nullptr;
    QScatterSeries* responseSeries_ = nullptr;
    QScatterSeries* downSeries_ = nullptr;
};

}  // namespace corvasse

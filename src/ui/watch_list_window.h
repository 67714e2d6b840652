#pragma once
// "Corvasse Watches": one row per watch of the settings folder (its name,
// address, state, last response time, uptime over 24 hours and next run),
// the buttons "New Watch...", "Edit", "Remove...", "Start All" and "Stop
// All", a context menu per row and the box "Start all watches when Corvasse
// starts". Not modal. It only shows; what its buttons do is the window's
// that made it.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <QWidget>

#include "app/watch_list/watch_row.h"

class QCheckBox;
class QPushButton;
class QTableWidget;

namespace corvasse {

class HandlerGuard;

class WatchListWindow : public QWidget {
    Q_OBJECT
public:
    // What the list's buttons and menu entries ask of the window; each runs
    // inside the guard, with the name of the watch it is for.
    struct Actions {
        std::function<void(const std::string& name)> newWatch;
        std::function<void(const std::string& name)> edit;
        std::function<void(const std::string& name)> start;
        std::function<void(const std::string& name)> stop;
        std::function<void(const std::string& name)> history;
        std::function<void(const std::string& name)> remove;
        std::function<void()> startAll;
        std::function<void()> stopAll;
        std::function<void(bool on)> setStartAll;
    };
    // Asks the new watch's name; nothing when the user cancels.
    using NameQuestion = std::function<std::optional<QString>(QWidget* parent)>;
    // Asks whether the watch's file is to go.
    using RemoveQuestion = std::function<bool(QWidget* parent, const QString& name)>;

    WatchListWindow(const HandlerGuard& guard, Actions actions, QWidget* parent = nullptr);

    // Qt's input and question boxes until replaced.
    NameQuestion AskName;
    RemoveQuestion AskRemove;

    // Shows the window, or only brings it to the front.
    void ShowList();
    // Every row afresh, in the order given.
    void ShowRows(const std::vector<WatchRow>& rows);
    // The row of that watch's name; nothing when it has none.
    void ShowRow(const WatchRow& row);
    void SetStartAll(bool on);

    QTableWidget* Table() const { return table_; }
    // The name of the selected row; empty with none.
    std::string SelectedName() const;

private:
    void CreateControls();
    void ShowRowAt(int index, const WatchRow& row);
    void ShowContextMenu(const QPoint& pos);
    // Runs the action with the selected row's name, when a row is selected.
    void ForSelected(const std::function<void(const std::string&)>& action);
    void NewWatchClick();
    void RemoveClick();

    const HandlerGuard& guard_;
    Actions actions_;
    bool centred_ = false;
    std::map<std::string, int> rowOf_;

    QTableWidget* table_ = nullptr;
    QCheckBox* ckStartAll = nullptr;
};

}  // namespace corvasse

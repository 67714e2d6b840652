#include "ui/watch_list_window.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/view/handler_guard.h"
#include "ui/qt_text.h"

namespace corvasse {

namespace {

constexpr int kWidthPx = 760;
constexpr int kHeightPx = 360;
constexpr const char* kColumns[] = {"Name", "Address", "State", "Response", "Uptime (24 hours)", "Next watch"};

std::optional<QString> AskNameBox(QWidget* parent) {
    bool ok = false;
    const QString name = QInputDialog::getText(
        parent, "New Watch", "Name of the new watch (letters, digits, - and _):", QLineEdit::Normal, QString(), &ok);
    if (!ok) return std::nullopt;
    return name;
}

bool AskRemoveBox(QWidget* parent, const QString& name) {
    return QMessageBox::question(parent, "Remove Watch",
                                 "Remove the watch \"" + name + "\" and its settings file? Its history stays.") ==
           QMessageBox::Yes;
}

}  // namespace

WatchListWindow::WatchListWindow(const HandlerGuard& guard, Actions actions, QWidget* parent)
    : QWidget(parent, Qt::Window),
      AskName(AskNameBox),
      AskRemove(AskRemoveBox),
      guard_(guard),
      actions_(std::move(actions)) {
    setWindowTitle("Corvasse Watches");
    CreateControls();
    resize(kWidthPx, kHeightPx);
}

void WatchListWindow::CreateControls() {
    auto* layout = new QVBoxLayout(this);
    table_ = new QTableWidget(0, static_cast<int>(std::size(kColumns)), this);
    table_->setObjectName("watchTable");
    QStringList headers;
    for (const char* column : kColumns) headers << column;
    table_->setHorizontalHeaderLabels(headers);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->setVisible(false);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(table_, 1);

    ckStartAll = new QCheckBox("Start all watches when Corvasse starts");
    ckStartAll->setObjectName("ckStartAll");
    layout->addWidget(ckStartAll);

    auto* buttons = new QHBoxLayout;
    const auto button = [&](const char* text, const char* name, const std::function<void()>& click) {
        auto* created = new QPushButton(text);
        created->setObjectName(name);
        buttons->addWidget(created);
        connect(created, &QPushButton::clicked, this, [this, click] { guard_.Run(click); });
    };
    button("New Watch...", "btnNewWatch", [this] { NewWatchClick(); });
    button("Edit", "btnEdit", [this] { ForSelected(actions_.edit); });
    button("Remove...", "btnRemove", [this] { RemoveClick(); });
    buttons->addStretch(1);
    button("Start All", "btnStartAll", [this] { actions_.startAll(); });
    button("Stop All", "btnStopAll", [this] { actions_.stopAll(); });
    layout->addLayout(buttons);

    connect(table_, &QTableWidget::cellDoubleClicked, this,
            [this](int, int) { guard_.Run([this] { ForSelected(actions_.edit); }); });
    connect(table_, &QWidget::customContextMenuRequested, this, &WatchListWindow::ShowContextMenu);
    connect(ckStartAll, &QCheckBox::clicked, this,
            [this](bool on) { guard_.Run([this, on] { actions_.setStartAll(on); }); });
}

void WatchListWindow::ShowList() {
    if (!centred_) {
        centred_ = true;
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            move(screen->availableGeometry().center() - rect().center());
        }
    }
    show();
    raise();
    activateWindow();
}

void WatchListWindow::ShowRows(const std::vector<WatchRow>& rows) {
    const std::string selected = SelectedName();
    table_->setUpdatesEnabled(false);
    table_->setRowCount(static_cast<int>(rows.size()));
    rowOf_.clear();
    for (int index = 0; index < static_cast<int>(rows.size()); ++index) {
        rowOf_[rows[index].name] = index;
        ShowRowAt(index, rows[index]);
    }
    if (auto it = rowOf_.find(selected); it != rowOf_.end()) table_->selectRow(it->second);
    table_->setUpdatesEnabled(true);
}

void WatchListWindow::ShowRow(const WatchRow& row) {
    if (auto it = rowOf_.find(row.name); it != rowOf_.end()) ShowRowAt(it->second, row);
}

void WatchListWindow::ShowRowAt(int index, const WatchRow& row) {
    const std::string* texts[] = {&row.name, &row.address, &row.state, &row.responseTime, &row.dayUptime, &row.nextRun};
    for (int column = 0; column < static_cast<int>(std::size(texts)); ++column) {
        const QString text = FromBytes(*texts[column]);
        if (QTableWidgetItem* item = table_->item(index, column)) {
            if (item->text() != text) item->setText(text);
        } else {
            table_->setItem(index, column, new QTableWidgetItem(text));
        }
    }
}

void WatchListWindow::SetStartAll(bool on) { ckStartAll->setChecked(on); }

std::string WatchListWindow::SelectedName() const {
    const QList<QTableWidgetItem*> selected = table_->selectedItems();
    if (selected.isEmpty()) return {};
    QTableWidgetItem* name = table_->item(selected.front()->row(), 0);
    return name ? ToBytes(name->text()) : std::string();
}

void WatchListWindow::ForSelected(const std::function<void(const std::string&)>& action) {
    const std::string name = SelectedName();
    if (!name.empty()) action(name);
}

void WatchListWindow::ShowContextMenu(const QPoint& pos) {
    const int row = table_->rowAt(pos.y());
    if (row < 0) return;
    table_->selectRow(row);
    QMenu menu(this);
    const auto entry = [&](const char* text, const std::function<void()>& action) {
        connect(menu.addAction(text), &QAction::triggered, this, [this, action] { guard_.Run(action); });
    };
    entry("Start", [this] { ForSelected(actions_.start); });
    entry("Stop", [this] { ForSelected(actions_.stop); });
    entry("Edit", [this] { ForSelected(actions_.edit); });
    entry("History...", [this] { ForSelected(actions_.history); });
    menu.addSeparator();
    entry("Remove", [this] { RemoveClick(); });
    menu.exec(table_->viewport()->mapToGlobal(pos));
}

void WatchListWindow::NewWatchClick() {
    if (const std::optional<QString> name = AskName(this)) actions_.newWatch(ToBytes(name->trimmed()));
}

void WatchListWindow::RemoveClick() {
    const std::string name = SelectedName();
    if (!name.empty() && AskRemove(this, FromBytes(name))) actions_.remove(name);
}

}  // namespace corvasse

#pragma once
// The About box: the program's name and version on navy, a short description,
// a credit line and a link that writes a mail to the author.

#include <QWidget>

class QLabel;

namespace corvasse {

class SmoothLabel;

class AboutBox : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidthPx = 339;
    static constexpr int kHeightPx = 340;

    // A hidden box, centred on the screen; a parent keeps it above that window.
    explicit AboutBox(QWidget* parent = nullptr);

    // Shows the box without blocking; when it is visible already, brings it to the front.
    void ShowAbout();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateLabels();

    SmoothLabel* lblHeading_ = nullptr;
    SmoothLabel* lblVersion_ = nullptr;
    QLabel* lblDescription_ = nullptr;
    QLabel* lblCredit_ = nullptr;
    QLabel* lblMail_ = nullptr;
};

}  // namespace corvasse

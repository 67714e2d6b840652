#include "app/monitor/tick_boxes.h"

namespace corvasse {

namespace {

// Counts a box as open for as long as it is shown, however it is closed.
class OpenBox {
public:
    explicit OpenBox(int& open) : open_(open) { ++open_; }
    ~OpenBox() { --open_; }
    OpenBox(const OpenBox&) = delete;
    OpenBox& operator=(const OpenBox&) = delete;

private:
    int& open_;
};

}  // namespace

void TickBoxes::ShowMessage(const std::string& text) {
    OpenBox box(open_);
    dialogs_.ShowMessage(text);
}

void TickBoxes::ShowError(const std::string& text) {
    OpenBox box(open_);
    dialogs_.ShowError(text);
}

}  // namespace corvasse

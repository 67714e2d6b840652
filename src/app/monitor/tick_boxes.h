#pragma once
// The boxes that watch ticks open: the HTTPS refusal and the error box of a
// tick that failed. While one is open the timer keeps running, and every tick
// that falls due would run inside it and open the next box inside that one;
// left alone for a weekend that is thousands of nested boxes. So a tick that
// falls due while a tick's box is open is skipped (it watches nothing and is
// not counted), and the next tick after the box closes runs as usual.

#include <string>

#include "app/view/dialogs.h"

namespace corvasse {

class TickBoxes : public Dialogs {
public:
    // Shows the boxes through `dialogs`, which must outlive this object.
    explicit TickBoxes(Dialogs& dialogs) : dialogs_(dialogs) {}

    void Beep() override { dialogs_.Beep(); }
    void ShowMessage(const std::string& text) override;
    void ShowError(const std::string& text) override;

    // True while a box shown through this object is open.
    bool AnyOpen() const { return open_ > 0; }

private:
    Dialogs& dialogs_;
    int open_ = 0;
};

}  // namespace corvasse

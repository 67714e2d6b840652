#pragma once
// Message boxes without a window: each message is written to a stream as one
// entry, and the program goes on at once, as after the box's OK.

#include <cstdio>
#include <string>
#include <utility>

#include "app/view/dialogs.h"

namespace corvasse {

// Writes the text and a line end to the stream in one write, flushed at
// once, so that the entries of several processes never mix.
void WriteEntry(std::FILE* out, const std::string& text);

class ConsoleDialogs : public Dialogs {
public:
    // prefix begins every message: a watch among several names itself ("[shop] ").
    explicit ConsoleDialogs(std::FILE* out, std::string prefix = {}) : out_(out), prefix_(std::move(prefix)) {}

    // There is no one to hear it.
    void Beep() override {}
    void ShowMessage(const std::string& text) override;
    void ShowError(const std::string& text) override;

private:
    std::FILE* out_;
    std::string prefix_;
};

}  // namespace corvasse

#pragma once
// A message the user is told once while it stands: told again only after it
// changed or was taken back.
//
//     if (historySaid_.IsNew(error.what())) view.ShowLogFailure(error.what());
//     historySaid_.Clear();  // the history works again

#include <string>

namespace corvasse {

class SaidOnce {
public:
    // True when text differs from the one told last; from now on it is the
    // one told last.
    bool IsNew(const std::string& text) {
        if (text == last_) return false;
        last_ = text;
        return true;
    }

    void Clear() { last_.clear(); }

private:
    std::string last_;
};

}  // namespace corvasse

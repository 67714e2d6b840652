#pragma once
// Holds a work bracket of a component open for a scope: StartWork on entry,
// FinishWork however the scope is left, so the nesting level returns to 0
// also when an exception passes.
//
//     WorkBracket work(*this, WorkMode::Read, announcedBytes);  // 0: unknown

#include <cstdint>

#include "net/net_component.h"

namespace corvasse {

class WorkBracket {
public:
    WorkBracket(NetComponent& component, WorkMode mode, int64_t countMax) : component_(component), mode_(mode) {
        component_.StartWork(mode_, countMax);
    }
    ~WorkBracket() { component_.FinishWork(mode_); }
    WorkBracket(const WorkBracket&) = delete;
    WorkBracket& operator=(const WorkBracket&) = delete;

private:
    NetComponent& component_;
    WorkMode mode_;
};

}  // namespace corvasse

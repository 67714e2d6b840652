#include "net/net_component.h"

#include "net/socket_stack.h"

namespace corvasse {

NetComponent::NetComponent() { SocketStack::AddComponent(); }

NetComponent::~NetComponent() { SocketStack::RemoveComponent(); }

std::string NetComponent::FormatStatus(Status status, const std::string& arg) {
    switch (status) {
        case Status::Resolving: return "Resolving hostname " + arg + ".";
        case Status::Connecting: return "Connecting to " + arg + ".";
        case Status::Connected: return "Connected.";
        case Status::Disconnecting: return "Disconnecting.";
        case Status::Disconnected: return "Disconnected.";
        case Status::StatusText: return arg;
    }
    return arg;
}

void NetComponent::ReportStatus(Status status, const std::string& arg) {
    if (OnStatus) OnStatus(status, FormatStatus(status, arg));
}

void NetComponent::StartWork(WorkMode mode, int64_t countMax) {
    WorkState& work = work_[Index(mode)];
    if (++work.level == 1) {
        work.countMax = countMax;
        work.count = 0;
        if (OnWorkBegin) OnWorkBegin(mode, countMax);
    }
}

void NetComponent::AdvanceWork(WorkMode mode, int64_t n) {
    WorkState& work = work_[Index(mode)];
    if (work.level < 1) return;
    work.count += n;
    if (OnWork) OnWork(mode, work.count);
}

void NetComponent::FinishWork(WorkMode mode) {
    WorkState& work = work_[Index(mode)];
    // Lowered before the event so that a throwing handler cannot leave the
    // bracket open; a finish without a start leaves the level at 0.
    bool outermost = work.level == 1;
    if (work.level > 0) --work.level;
    if (outermost && OnWorkEnd) OnWorkEnd(mode);
}

}  // namespace corvasse

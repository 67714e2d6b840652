#pragma once
// The base of every network component: status events (what the component is
// doing, as a text) and work events (progress of reading and writing).
// Creating a NetComponent counts it in the process-wide count that keeps the
// socket stack alive (src/net/socket_stack.h).

#include <cstdint>
#include <functional>
#include <string>

namespace corvasse {

// What a status event reports. The texts are in NetComponent::FormatStatus.
enum class Status {
    Resolving,      // "Resolving hostname %s."
    Connecting,     // "Connecting to %s."
    Connected,      // "Connected."
    Disconnecting,  // "Disconnecting."
    Disconnected,   // "Disconnected."
    StatusText,     // "%s"
};

// The direction work events count.
enum class WorkMode { Read, Write };

class NetComponent {
public:
    // Counts the component in; the first one creates the socket stack, which
    // may throw SocketLibraryError or StackInitializationFailedError (then the
    // component is not created).
    NetComponent();
    virtual ~NetComponent();
    NetComponent(const NetComponent&) = delete;
    NetComponent& operator=(const NetComponent&) = delete;

    // The text of a status with its argument ("Connecting to 127.0.0.1.").
    static std::string FormatStatus(Status status, const std::string& arg);

    // Calls OnStatus with the formatted text when it is set.
    void ReportStatus(Status status, const std::string& arg = "");

    // Opens a work bracket of a mode. Brackets nest; only the outermost one
    // stores countMax, resets the running count and fires OnWorkBegin.
    void StartWork(WorkMode mode, int64_t countMax);
    // Adds n to the running count of an open bracket and fires OnWork with the
    // total so far; outside any bracket it does nothing.
    void AdvanceWork(WorkMode mode, int64_t n);
    // Closes a bracket; closing the outermost one fires OnWorkEnd.
    void FinishWork(WorkMode mode);

    // Nesting level and running count of a mode (0 outside any bracket).
    int WorkLevel(WorkMode mode) const { return work_[Index(mode)].level; }
    int64_t WorkCount(WorkMode mode) const { return work_[Index(mode)].count; }

    std::function<void(Status, const std::string& text)> OnStatus;
    std::function<void(WorkMode, int64_t countMax)> OnWorkBegin;
    std::function<void(WorkMode, int64_t count)> OnWork;
    std::function<void(WorkMode)> OnWorkEnd;

private:
    struct WorkState {
        int level = 0;
        int64_t countMax = 0;
        int64_t count = 0;
    };
    static int Index(WorkMode mode) { return mode == WorkMode::Read ? 0 : 1; }

    WorkState work_[2];
};

}  // namespace corvasse

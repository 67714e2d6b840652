#include "app/offline/resume_detector.h"

namespace corvasse {

ResumeDetector::ResumeDetector(const SuspendClock& clock) : clock_(clock) {}

bool ResumeDetector::SleptSinceLastCheck() {
    const std::chrono::nanoseconds suspended = clock_.TimeSuspended();
    const bool slept = lastSuspended_ && suspended - *lastSuspended_ >= kShortestSleep;
    lastSuspended_ = suspended;
    return slept;
}

}  // namespace corvasse

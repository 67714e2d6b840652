#pragma once
// The warning that an https site's certificate ends soon. With
// "certWarnDays" (kCertWarnDaysMin to kCertWarnDaysMax) a certificate that
// ends within that many days shows its pane line at every watch, and is
// mailed once when it is first seen so and once more when one day or less
// is left. A warning is no failure: the watch's result stays the page's.

#include <string>

#include "app/view/said_once.h"

namespace corvasse {

class AlertSender;
class MonitorView;
class ResultKeeper;
struct PeerCertificate;
struct WatchSpec;

class CertificateWarnings {
public:
    // Every object must outlive this one.
    CertificateWarnings(MonitorView& view, AlertSender& alert, ResultKeeper& results);

    // The certificate that brought the page of the watch. "certWarnDays"
    // as the watch read it; a value that is not a whole number in range is said once
    // ("Certificate warnings are off: certWarnDays=500 in the settings file
    // must be a whole number from 1 to 365.") and warns of nothing. A mail
    // that fails is said in the pane and goes again with the next watch;
    // AbortedError passes to the caller. The mails sent are kept by results.
    void Check(const WatchSpec& watchSpec, const PeerCertificate& certificate);

private:
    MonitorView& view_;
    AlertSender& alert_;
    ResultKeeper& results_;
    // The last problem with the setting that was said.
    SaidOnce settingSaid_;
};

}  // namespace corvasse

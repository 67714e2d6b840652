#pragma once
// What one watch found: its result (up, down or unknown, with the failure's
// own words, the response time and the page's size) and what the alert
// report, the pane and the plugin tell of besides.

#include <cstdint>
#include <string>
#include <vector>

#include "core/history_records.h"
#include "core/peer_certificate.h"

namespace corvasse {

struct WatchOutcome {
    WatchResult result;
    // The HTTP reply as the client last had it: its status line, and its
    // code (-1: no reply came).
    std::string statusLine;
    int statusCode = -1;
    // The page the report tells of (with "ipFamily=each", that of the first
    // family that failed): its length in bytes, 0 when none came, and
    // whether the latest content check found the text; a watch that brought
    // no page leaves what an earlier watch's check found.
    int64_t pageLength = 0;
    bool textFound = false;
    // The watch went over each family separately ("ipFamily=each"): a line
    // for each family it failed over (FamilyFailureText); a failure that is
    // not among them was not counted.
    bool watchedEachFamily = false;
    std::vector<std::string> familyFailures;
    // The certificates the server showed, each once.
    std::vector<PeerCertificate> certificates;
};

}  // namespace corvasse

#pragma once
// Why a watch failed, in the failure's own words on one line: what the
// history keeps, the outage mails' "Reason:" and the plugin's line show.
//     Socket Error # 10061 Connection refused.
//     HTTP/1.1 404 Not Found

#include <exception>
#include <string>

namespace corvasse {

// The error's message with each line break (CR LF, CR or LF) and every other
// control character as one blank (BlankedControls: the message may quote a
// server) and the blanks at either end removed; the one error without a
// message says what it means ("protocol not supported").
std::string FailureReason(const std::exception& error);

}  // namespace corvasse

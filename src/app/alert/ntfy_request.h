#pragma once
// A notice as an ntfy server takes it (https://docs.ntfy.sh/publish/): the
// text as the message, the mail's subject as its title, a priority and a tag
// by the kind of notice, and the access token when there is one.

#include <string>

#include "app/alert/push_request.h"

namespace corvasse {

struct Notice;

// POST to url: the body the notice's text in UTF-8 ("text/plain;
// charset=utf-8"); "Title:" the subject (beyond ASCII as an RFC 2047 encoded
// word, which ntfy decodes; control characters as blanks); "Priority:" high
// for an alert or a reminder, else default; "Tags:" rotating_light for an
// alert or a reminder, white_check_mark for a recovery, warning for a
// certificate warning, none for a test; "Authorization: Bearer TOKEN" when
// token is not empty.
PushRequest NtfyRequest(const Notice& notice, const std::string& url, const std::string& token);

}  // namespace corvasse

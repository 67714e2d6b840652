#pragma once
// The product's web page and the author's mail address, and opening them in
// the user's browser or mail program.

namespace corvasse {

inline constexpr char kProductWebPageUrl[] = "https://www.example.org/corvasse/";
inline constexpr char kAuthorMailAddress[] = "corvasse@example.org";

// Opens the product's web page in the default browser. A failure is not reported.
void OpenProductWebPage();

// Opens a new mail to the author in the default mail program. A failure is not reported.
void OpenAuthorMail();

}  // namespace corvasse

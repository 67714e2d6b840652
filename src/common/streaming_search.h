#pragma once
// Looks for a text in bytes that arrive in pieces of any size, as a body
// does from a connection: a match inside one piece and a match across any
// number of pieces are found alike. Only the last len(text) - 1 bytes fed
// are kept, so memory does not grow with what is searched. The comparison
// is ContainsBytes's: exact bytes, and an empty text is never found.

#include <string>
#include <string_view>

namespace corvasse {

class StreamingSearch {
public:
    explicit StreamingSearch(std::string text);

    // Searches the next piece, together with the end of what came before.
    void Feed(std::string_view piece);
    // The text was in what has been fed so far.
    bool Found() const { return found_; }

private:
    std::string text_;
    // The last text_.size() - 1 bytes fed: where a match may have begun.
    std::string tail_;
    bool found_ = false;
};

}  // namespace corvasse

#pragma once
// Where bytes go as they arrive: a body read from a connection is handed on
// piece by piece, so that whoever takes it decides what to keep.

#include <string_view>

namespace corvasse {

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Takes the next bytes; the view is valid only during the call.
    virtual void Write(std::string_view bytes) = 0;
};

}  // namespace corvasse

#include "net/io_handler.h"

namespace corvasse {

void IOHandler::Open() { active_ = true; }

void IOHandler::Close() { active_ = false; }

}  // namespace corvasse

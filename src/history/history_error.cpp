#include "history/history_error.h"

namespace corvasse {

HistoryError::HistoryError(const std::filesystem::path& file, std::string_view reason)
    : std::runtime_error("Cannot use the history database \"" + file.string() + "\": " + std::string(reason)) {}

}  // namespace corvasse

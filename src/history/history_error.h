#pragma once
// The one error of the history: the database cannot be used, with its path
// and the reason (SQLite's own text, with the system's where there is one).
//     Cannot use the history database "/home/ann/.local/state/Corvasse/history.sqlite3": file is not a database

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace corvasse {

class HistoryError : public std::runtime_error {
public:
    HistoryError(const std::filesystem::path& file, std::string_view reason);
};

}  // namespace corvasse

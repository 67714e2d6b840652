#pragma once
// The activity log "Corvasse.log": records of plain text, each ended by CR LF,
// appended by the monitor and shown by the log viewer.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace corvasse {

// The log's file name when none is given.
inline constexpr std::string_view kActivityLogFileName = "Corvasse.log";

// A failed log operation; Code is the I/O error number of the message,
// SystemError the errno behind it (0 when there is none).
class IoError : public std::runtime_error {
public:
    IoError(int code, const std::string& message, int systemError = 0);
    int Code;
    int SystemError;
};

class ActivityLog {
public:
    // A relative name lives in the working directory at the time of each access.
    explicit ActivityLog(std::filesystem::path fileName = kActivityLogFileName);

    // Appends the text and CR LF; the file is open only inside the call.
    // Throws IoError ("File access denied", "Disk full", ...).
    void AppendLogLine(std::string_view text);

    // A failure of AppendLogLine in words for a reader who has to act on it:
    // "Cannot write the log "<full path>": <system text>".
    std::string WriteFailureText(const IoError& error) const;

    // The whole file, for the viewer. Throws IoError
    // "Cannot open file "<full path>". <system text>".
    std::string ReadAll() const;

    // Truncates the file to zero bytes, creating it when missing. Throws
    // IoError "Cannot create file "<full path>". <system text>".
    void Clear();

    std::filesystem::path FullPath() const;

    // What the viewer shows for a file's content: its lines, then a line
    // holding one space and the line "--- End of File --".
    static std::string ViewerText(const std::string& content);

private:
    std::filesystem::path fileName_;
};

}  // namespace corvasse

#pragma once
// The activity log "Corvasse.log": records of plain text, each ended by CR LF,
// appended by the monitor and shown by the log viewer.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace corvasse {

// A failed log operation; Code is the I/O error number of the message.
class IoError : public std::runtime_error {
public:
    IoError(int code, const std::string& message);
    int Code;
};

class ActivityLog {
public:
    // A relative name lives in the working directory at the time of each access.
    explicit ActivityLog(std::filesystem::path fileName = "Corvasse.log");

    // Appends the text and CR LF; the file is open only inside the call.
    // Throws IoError ("File access denied", "Disk full", ...).
    void AppendLogLine(std::string_view text);

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

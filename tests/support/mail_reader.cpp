#include "support/mail_reader.h"

#include <cstdio>
#include <stdexcept>
#include <vector>

#include "support/message_lines.h"
#include "support/smtp_server.h"
#include "support/temp_dir.h"

namespace corvasse::test {

namespace {

constexpr size_t kFieldCount = 5;

}  // namespace

DecodedMail DecodeMail(const std::string& message) {
    TempDir dir;
    const std::filesystem::path file = dir.Path() / "message.eml";
    WriteFile(file, message);
    const std::string command = std::string(kPython3Binary) + " '" + CORVASSE_SOURCE_DIR +
                                "/tests/support/mail_reader.py' '" + file.string() + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) throw std::runtime_error("cannot run " + command);
    std::string output;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = ::pclose(pipe);

    std::vector<std::string> fields;
    for (size_t start = 0, end; (end = output.find('\0', start)) != std::string::npos; start = end + 1) {
        fields.push_back(output.substr(start, end - start));
    }
    if (status != 0 || fields.size() != kFieldCount) throw std::runtime_error("mail_reader.py failed:\n" + output);
    return {fields[0], fields[1], fields[2], fields[3], SplitLines(fields[4])};
}

}  // namespace corvasse::test

// Reply parsing from raw lines, and the command client reading a reply from
// the connection.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "input_answer.h"
#include "mail/message_client.h"
#include "mail/rfc_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    corvasse::RfcReply reply;
    reply.ParseReplyLines(lines);
    reply.DisplayName();
    corvasse::ReplyTextWithLineEnds(reply);

    corvasse::test::ScriptedTransport transport(corvasse::fuzz::InputAnswer(data, size));
    corvasse::MessageClient client;
    // A silent peer ends the run at once instead of after the mail time-out.
    client.ReadTimeout = 0;
    client.SetIOHandler(&transport);
    try {
        client.Connect();
        client.GetResponse({});
        client.SendCmd("NOOP", 250);
    } catch (const std::exception&) {}
    return 0;
}

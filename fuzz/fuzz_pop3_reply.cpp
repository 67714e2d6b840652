// A POP3 login and mailbox check answered by the input.
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "input_answer.h"
#include "mail/pop3_client.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    corvasse::test::ScriptedTransport transport(corvasse::fuzz::InputAnswer(data, size));
    corvasse::Pop3Client client;
    client.SetIOHandler(&transport);
    client.Username = "user";
    client.Password = "secret";
    client.APOP = size > 0 && (data[0] & 0x40) != 0;
    try {
        client.Connect();
        client.CheckMessages();
    } catch (const std::exception&) {}
    return 0;
}

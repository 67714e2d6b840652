// One address and an address list parsed from the input, and written back.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "mail/email_address.h"
#include "mail/email_address_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        corvasse::EmailAddress address;
        address.SetText(text);
        address.BracketedAddress();
        address.Text();
    } catch (const std::exception&) {}
    try {
        corvasse::EmailAddressList list;
        list.AddressListText(text);
        for (const corvasse::EmailAddress& item : list) item.Text();
    } catch (const std::exception&) {}
    return 0;
}

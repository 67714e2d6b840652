#pragma once
// What a call threw, as its type's name (without the corvasse:: namespace),
// the reply code of a refusal, and the message, so a table row can name the
// exact error it expects; "" when the call returned.
//
//     EXPECT_EQ(test::Thrown([&] { client.ReadReply(); }), "ReadTimeoutError: Read Timeout");
//     EXPECT_EQ(test::Thrown([&] { client.Connect(); }), "ProtocolReplyError 554: go away\r\n");

#include <cxxabi.h>

#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <typeinfo>

#include "net/net_error.h"

namespace corvasse::test {

inline std::string TypeName(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> name(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                     &std::free);
    std::string text = status == 0 ? name.get() : type.name();
    const std::string ours = "corvasse::";
    return text.rfind(ours, 0) == 0 ? text.substr(ours.size()) : text;
}

template <typename Call>
std::string Thrown(Call&& call) {
    try {
        call();
    } catch (const ProtocolReplyError& error) {
        return TypeName(typeid(error)) + " " + std::to_string(error.ReplyCode) + ": " + error.what();
    } catch (const std::exception& error) {
        return TypeName(typeid(error)) + ": " + error.what();
    }
    return "";
}

}  // namespace corvasse::test

#pragma once
// Checks that a call throws an error of one type with one message, and hands
// the error back for whatever else a test looks at (a reply code, say).
//
//     auto e = test::ExpectThrowWithMessage<HttpProtocolError>([&] { client.Get(url); }, "HTTP/1.1 404 Not Found");
//     if (e) EXPECT_EQ(e->ReplyCode, 404);
//
// An error of another type passes through and fails the test as gtest reports it.

#include <optional>
#include <string>
#include <string_view>
#include <typeinfo>

#include <gtest/gtest.h>

namespace corvasse::test {

template <typename Error, typename Call>
std::optional<Error> ExpectThrowWithMessage(Call&& call, std::string_view message) {
    try {
        call();
    } catch (const Error& error) {
        EXPECT_EQ(std::string_view(error.what()), message);
        return error;
    }
    ADD_FAILURE() << "no " << typeid(Error).name() << " was thrown";
    return std::nullopt;
}

}  // namespace corvasse::test

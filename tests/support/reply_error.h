#pragma once
// Checks that a call throws ProtocolReplyError with one reply code, for the
// refusals whose text comes from a real server or does not matter, and hands
// the error back for whatever else a test looks at. The call runs once.
//
//     test::ExpectReplyCode([&] { client.Connect(); }, 554);
//
// An error of another type passes through and fails the test as gtest reports it.

#include <optional>

#include <gtest/gtest.h>

#include "net/net_error.h"

namespace corvasse::test {

template <typename Call>
std::optional<ProtocolReplyError> ExpectReplyCode(Call&& call, int code) {
    try {
        call();
    } catch (const ProtocolReplyError& error) {
        EXPECT_EQ(error.ReplyCode, code) << error.what();
        return error;
    }
    ADD_FAILURE() << "no ProtocolReplyError was thrown";
    return std::nullopt;
}

}  // namespace corvasse::test

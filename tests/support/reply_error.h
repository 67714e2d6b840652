#pragma once
// Matches a call that throws ProtocolReplyError with one reply code, for the
// refusals whose text comes from a real server or does not matter:
//
//     EXPECT_THAT([&] { client.Connect(); }, test::ThrowsReplyCode(554));

#include <gmock/gmock.h>

#include "net/net_error.h"

namespace corvasse::test {

inline auto ThrowsReplyCode(int code) {
    return testing::Throws<ProtocolReplyError>(testing::Field(&ProtocolReplyError::ReplyCode, code));
}

}  // namespace corvasse::test

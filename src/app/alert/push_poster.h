#pragma once
// Sends one push request over a connection of its own, with the watch's
// https setting and address family.

#include <chrono>

#include "common/address_family.h"

namespace corvasse {

// How long a push may wait to connect, for each read, and in all: a channel
// that does not answer fails well before the next watch is due.
inline constexpr std::chrono::milliseconds kPushConnectTimeout{30000};
inline constexpr std::chrono::milliseconds kPushReadTimeout{30000};
inline constexpr std::chrono::milliseconds kPushFetchTimeout{60000};

struct ChannelSettings;
struct PushRequest;

// One POST; no redirect is followed, and the connection is closed after it.
// Throws what HttpClient::Post throws: for a reply other than 2xx,
// HttpProtocolError; for an https:// address without "allowHttps",
// IOHandlerPropInvalidError; every connection error; AbortedError when the
// running work is cut.
void PostPush(const PushRequest& request, const ChannelSettings& channels, AddressFamily family);

}  // namespace corvasse

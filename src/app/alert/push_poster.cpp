#include "app/alert/push_poster.h"

#include "app/alert/push_request.h"
#include "app/settings/channel_settings.h"
#include "http/http_client.h"

namespace corvasse {

void PostPush(const PushRequest& request, const ChannelSettings& channels, AddressFamily family) {
    HttpClient client;
    client.AllowHttps = channels.httpsAllowed;
    client.Family = family;
    client.ConnectTimeout = static_cast<int>(kPushConnectTimeout.count());
    client.ReadTimeout = static_cast<int>(kPushReadTimeout.count());
    client.FetchTimeout = kPushFetchTimeout;
    client.Post(request.url, request.contentType, request.body, request.fields);
    client.Disconnect();
}

}  // namespace corvasse

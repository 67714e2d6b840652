#pragma once
// Where notices go beside the mail: a push to an ntfy topic ("ntfyUrl", with
// an access token "ntfyToken" set by hand) and a webhook for a chat
// ("webhookUrl"). Each is off while its address is empty or missing. The
// watch's https setting holds for them as for the watch, and its address
// family as for the mail (MailSettings::family).

#include <optional>
#include <string>
#include <string_view>

namespace corvasse {

class FormFields;
class SettingsStore;

struct ChannelSettings {
    std::string ntfyUrl;
    std::string ntfyToken;
    std::string webhookUrl;
    // "allowHttps": without it an https:// address fails as the watch's does.
    bool httpsAllowed = false;

    // Whether any channel is set.
    bool Any() const { return !ntfyUrl.empty() || !webhookUrl.empty(); }
};

// As the store holds them, each address trimmed. Throws RegistryError.
ChannelSettings ReadChannelSettings(const SettingsStore& settings);

// From the fields of "Alerts" and "URL Details" as they stand (for "Send
// Test"); the token from the store. Throws RegistryError.
ChannelSettings FormChannelSettings(const FormFields& form, const SettingsStore& settings);

// Why an address typed for a channel (named as in "The ntfy address ...")
// cannot be saved: it must be empty, or an http:// or https:// address with a
// host, and https:// needs httpsAllowed. None when it can be saved.
std::optional<std::string> ChannelUrlRefusal(std::string_view channel, const std::string& url, bool httpsAllowed);

}  // namespace corvasse

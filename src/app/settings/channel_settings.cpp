#include "app/settings/channel_settings.h"

#include "app/settings/form_fields.h"
#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "common/byte_string.h"
#include "http/uri.h"

namespace corvasse {

namespace {

std::string Setting(const SettingsStore& settings, const SettingKey& key) {
    const std::string value = ReadSetting(settings, key);
    return value == kAbsentSetting ? std::string() : Trim(value);
}

}  // namespace

ChannelSettings ReadChannelSettings(const SettingsStore& settings) {
    ChannelSettings channels;
    channels.ntfyUrl = Setting(settings, setting::ntfyUrl);
    channels.ntfyToken = Setting(settings, setting::ntfyToken);
    channels.webhookUrl = Setting(settings, setting::webhookUrl);
    channels.httpsAllowed = IsSettingOn(settings, setting::allowHttps);
    return channels;
}

ChannelSettings FormChannelSettings(const FormFields& form, const SettingsStore& settings) {
    ChannelSettings channels;
    channels.ntfyUrl = Trim(form.Text(Field::txtNtfyUrl));
    channels.ntfyToken = Setting(settings, setting::ntfyToken);
    channels.webhookUrl = Trim(form.Text(Field::txtWebhookUrl));
    channels.httpsAllowed = form.Checked(Field::ckAllowHttps);
    return channels;
}

std::optional<std::string> ChannelUrlRefusal(std::string_view channel, const std::string& url, bool httpsAllowed) {
    const std::string text = Trim(url);
    if (text.empty()) return std::nullopt;
    const Uri uri(text);
    const bool https = EqualsNoCase(uri.Protocol, "https");
    const bool http = EqualsNoCase(uri.Protocol, "http");
    const std::string name(channel);
    if ((!http && !https) || uri.Host.empty() || text.find("://") == std::string::npos) {
        return "Sorry, the " + name + " address must be an http:// or https:// address.";
    }
    if (https && !httpsAllowed) {
        return "Sorry, an https:// " + name + " address needs \"Allow https:// addresses (TLS)\" on \"URL Details\".";
    }
    return std::nullopt;
}

}  // namespace corvasse

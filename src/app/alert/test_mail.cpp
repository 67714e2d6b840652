#include "app/alert/test_mail.h"

#include <string>
#include <vector>

#include "app/alert/alert_delivery.h"
#include "app/settings/channel_settings.h"
#include "app/settings/form_fields.h"
#include "app/settings/mail_settings.h"
#include "app/settings/settings_store.h"
#include "app/view/dialogs.h"
#include "app/view/handler_guard.h"
#include "app/view/monitor_view.h"
#include "common/byte_string.h"

namespace corvasse {

namespace {

// The items' texts, separated, the last two by lastSeparator.
template <typename Item, typename Text>
std::string Listed(const std::vector<Item>& items, const std::string& separator, const std::string& lastSeparator,
                   Text text) {
    std::string listed;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) listed += i + 1 == items.size() ? lastSeparator : separator;
        listed += text(items[i]);
    }
    return listed;
}

}  // namespace

void SendTestMail(AlertDelivery& delivery, const FormFields& form, const SettingsStore& settings, MonitorView& view,
                  Dialogs& boxes) {
    HandlerGuard(boxes).Run([&] {
        const bool ping = form.Checked(Field::ckPingOnly);
        const TestDelivery test = delivery.SendTest(
            FormMailSettings(form, settings), FormChannelSettings(form, settings), settings.FilePath().stem().string(),
            ping ? Trim(form.Text(Field::editIPaddr)) : form.Text(Field::txtURL2watch));
        view.SetStatusText(test.pushed.empty() ? "Test e-mail sent..." : "Test sent...");
        std::vector<std::string> lines;
        if (test.mailed) {
            lines.push_back("The test mail went out to " +
                            Listed(test.mailedTo, ", ", ", ", [](const std::string& address) { return address; }) +
                            ".");
        }
        if (!test.pushed.empty()) {
            lines.push_back("The test notice went out to " +
                            Listed(test.pushed, ", ", " and ",
                                   [](NoticeChannel channel) { return std::string(NoticeChannelName(channel)); }) +
                            ".");
        }
        lines.insert(lines.end(), test.failures.begin(), test.failures.end());
        boxes.ShowMessage(Listed(lines, "\n", "\n", [](const std::string& line) { return line; }));
    });
}

}  // namespace corvasse

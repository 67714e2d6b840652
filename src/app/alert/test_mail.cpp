#include "app/alert/test_mail.h"

#include <string>
#include <vector>

#include "app/alert/alert_delivery.h"
#include "app/settings/form_fields.h"
#include "app/settings/mail_settings.h"
#include "app/view/dialogs.h"
#include "app/view/handler_guard.h"
#include "app/view/monitor_view.h"

namespace corvasse {

void SendTestMail(AlertDelivery& delivery, const FormFields& form, const SettingsStore& settings, MonitorView& view,
                  Dialogs& boxes) {
    HandlerGuard(boxes).Run([&] {
        const std::vector<std::string> reached = delivery.SendTestMail(FormMailSettings(form, settings));
        view.SetStatusText("Test e-mail sent...");
        std::string recipients;
        for (const std::string& address : reached) {
            recipients += (recipients.empty() ? "" : ", ") + address;
        }
        boxes.ShowMessage("The test mail went out to " + recipients + ".");
    });
}

}  // namespace corvasse

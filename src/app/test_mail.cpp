#include "app/test_mail.h"

#include <string>
#include <vector>

#include "app/alert_delivery.h"
#include "app/dialogs.h"
#include "app/form_fields.h"
#include "app/handler_guard.h"
#include "app/mail_settings.h"
#include "app/monitor_view.h"

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

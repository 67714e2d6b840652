#include "app/settings/form_values.h"

#include "app/settings/setting_keys.h"

namespace corvasse {

FormValues::FormValues()
    : texts_{{Field::txtURL2watch, std::string(setting::url2watch.initial)},
             {Field::txtWatchFreq, std::string(setting::txtWatchFreq.initial)},
             {Field::txtSendto, std::string(setting::txtSendTo.initial)},
             {Field::txtYourEmail, std::string(setting::txtYourEmail.initial)},
             {Field::cboAddressFamily, std::string(setting::ipFamily.initial)},
             {Field::txtAlertAfter, std::string(setting::alertAfter.initial)},
             {Field::txtRemindMinutes, std::string(setting::remindMinutes.initial)},
             {Field::txtRecoverAfter, std::string(setting::recoverAfter.initial)},
             {Field::txtCertWarnDays, std::string(setting::certWarnDays.initial)}},
      checks_{{Field::ckRecoveryMail, true}} {}

FormValues FormValues::Of(const FormFields& form) {
    FormValues values;
    for (int i = 0; i <= static_cast<int>(kLastField); ++i) {
        const auto field = static_cast<Field>(i);
        values.texts_[field] = form.Text(field);
        values.checks_[field] = form.Checked(field);
    }
    return values;
}

std::string FormValues::Text(Field field) const {
    auto it = texts_.find(field);
    return it == texts_.end() ? std::string() : it->second;
}

void FormValues::SetText(Field field, const std::string& text) { texts_[field] = text; }

bool FormValues::Checked(Field field) const {
    auto it = checks_.find(field);
    return it != checks_.end() && it->second;
}

void FormValues::SetChecked(Field field, bool checked) { checks_[field] = checked; }

}  // namespace corvasse

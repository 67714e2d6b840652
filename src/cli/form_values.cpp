#include "cli/form_values.h"

#include "app/settings_form.h"

namespace corvasse {

FormValues::FormValues()
    : texts_{{Field::txtURL2watch, kInitialAddress},
             {Field::txtWatchFreq, kInitialWatchFreq},
             {Field::txtSendto, kPlaceholderAddress},
             {Field::txtYourEmail, kPlaceholderAddress}} {}

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

#include "app/watch_target.h"

#include "app/form_fields.h"
#include "app/setting_keys.h"
#include "common/byte_string.h"

namespace corvasse {

std::string WatchTarget(const FormFields& form, const SettingsStore& settings) {
    if (IsSettingOn(settings, setting::PingOnly)) return Trim(form.Text(Field::editIPaddr));
    return form.Text(Field::txtURL2watch);
}

}  // namespace corvasse

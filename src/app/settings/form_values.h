#pragma once
// The settings form without a window: every field's text and state in
// memory, starting from the values the window's fields start with, so that
// loading the settings into it gives what the window would show. A copy of
// the window's form is what a watch on another thread reads.

#include <map>
#include <string>

#include "app/settings/form_fields.h"

namespace corvasse {

class FormValues : public FormFields {
public:
    FormValues();
    // Every field's text and state as form holds them now.
    static FormValues Of(const FormFields& form);

    std::string Text(Field field) const override;
    void SetText(Field field, const std::string& text) override;
    bool Checked(Field field) const override;
    void SetChecked(Field field, bool checked) override;

private:
    std::map<Field, std::string> texts_;
    std::map<Field, bool> checks_;
};

}  // namespace corvasse

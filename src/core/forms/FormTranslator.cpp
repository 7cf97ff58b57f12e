#include "core/forms/FormTranslator.h"

#include "core/ModErrors.h"
#include "platform/ui/Controls.h"

namespace qz {
namespace {

// The id at the start of a tab caption ("4037 Name" -> 4037); 0 when the
// caption does not begin with one.
std::int32_t leadingId(const std::string& caption) {
    std::int64_t n = 0;
    std::size_t i = 0;
    while (i < caption.size() && caption[i] == ' ') ++i;
    for (; i < caption.size() && caption[i] >= '0' && caption[i] <= '9'; ++i) {
        n = n * 10 + (caption[i] - '0');
        if (n > 0x7FFFFFFF) return 0;
    }
    return static_cast<std::int32_t>(n);
}

template <typename T>
bool setCaption(ui::Control* c, const std::string& text) {
    if (auto* t = dynamic_cast<T*>(c)) {
        t->Caption = text;
        return true;
    }
    return false;
}

} // namespace

void FormTranslator::Translate(ui::Form* form) {
    Handled("FormTranslator", "Translate", kErrLog | kErrRaise, [&] {
        if (!form) return;
        if (form->HelpContextID != 0) form->Caption = GetResourceString(form->HelpContextID);
        for (ui::Control* c : form->Controls()) {
            if (!c || c->WhatsThisHelpID == 0) continue;
            if (auto* tabs = dynamic_cast<ui::TabStrip*>(c)) {
                for (auto& caption : tabs->TabCaptions) {
                    std::int32_t id = leadingId(caption);
                    if (id == 0)
                        throw AutomationError(5, std::string(kErrorSource), "Invalid procedure call or argument");
                    caption = GetResourceString(id);
                }
                continue;
            }
            std::string text = GetResourceString(c->WhatsThisHelpID);
            setCaption<ui::Label>(c, text) || setCaption<ui::Frame>(c, text) ||
                setCaption<ui::CommandButton>(c, text) || setCaption<ui::CheckBox>(c, text) ||
                setCaption<ui::OptionButton>(c, text);
        }
    });
}

} // namespace qz

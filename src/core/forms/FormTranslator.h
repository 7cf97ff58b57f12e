// Puts message-table texts on a form: its caption from HelpContextID, the
// captions of its controls from their WhatsThisHelpID, and tab captions that
// begin with a message id and a space.
#pragma once

#include "platform/ui/Form.h"

namespace qz {

class FormTranslator {
public:
    // Nothing happens for a null form. A tab caption that does not begin with
    // a message id fails (error 5).
    void Translate(ui::Form* form);
};

} // namespace qz

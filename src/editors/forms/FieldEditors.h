// The field editors as the designer reaches them: one statement editor, one
// expression editor and one repeating-paragraph picker, each made on its
// first use and then reused.
#pragma once

#include "designer/FieldEditors.h"

namespace qz::editors {

// Makes the designer's field commands open these editors.
void InstallFieldEditors() noexcept;

} // namespace qz::editors

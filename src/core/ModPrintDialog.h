// The print dialog of the field editors: chooses the printer and its
// settings before a field is printed.
#pragma once

#include "platform/ui/Form.h"

#include <cstdint>

namespace qz {

// Print-dialog flag that hides "print the selection only"; always added.
inline constexpr std::int32_t PD_NOSELECTION = 4;

// Shows the print dialog over the owner, opened on the current printer's
// device, orientation, paper size and duplex mode, never offering the
// selection as print range. On OK the chosen printer becomes the current one
// (whole names compared without regard to case; an exact match wins, else the
// last installed printer whose name matches) and the chosen
// copies, duplex mode, orientation, paper size, print quality, colour mode
// and paper bin are set on it; returns true. Cancel changes nothing and
// returns false.
bool ShowPrinterDialog(ui::Form* owner, std::int32_t flags);

} // namespace qz

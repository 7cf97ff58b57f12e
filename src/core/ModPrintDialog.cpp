#include "core/ModPrintDialog.h"

#include "platform/ui/Printer.h"
#include "platform/ui/UiHost.h"

#include <algorithm>
#include <cctype>

namespace qz {
namespace {

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

} // namespace

// The host's dialog opens over the active window and takes no raw flags:
// the request says that the selection is not offered.
bool ShowPrinterDialog(ui::Form* /*owner*/, std::int32_t /*flags*/) {
    ui::Printer& current = ui::CurrentPrinter();
    const std::vector<ui::Printer> installed = ui::Printers();

    ui::PrintDialogRequest request;
    request.allowSelection = false;
    request.current.printerName = current.DeviceName;
    request.current.orientation = current.Orientation;
    request.current.paperSize = current.PaperSize;
    request.current.duplex = current.Duplex;
    request.current.copies = current.Copies;
    request.current.printQuality = current.PrintQuality;
    request.current.colorMode = current.ColorMode;
    request.current.defaultSource = current.PaperBin;
    request.current.outputFile = current.OutputFileName;
    for (const ui::Printer& p : installed) request.printers.push_back(p.DeviceName);

    const ui::PrintDialogResult result = ui::currentHost().printDialog(request);
    if (!result.ok) return false;

    const ui::PrintSettings& chosen = result.settings;
    if (chosen.printerName != current.DeviceName) {
        const ui::Printer* exact = nullptr;
        const ui::Printer* folded = nullptr;  // the last one that differs only in case
        for (const ui::Printer& p : installed) {
            if (p.DeviceName == chosen.printerName) {
                exact = &p;
                break;
            }
            if (sameName(p.DeviceName, chosen.printerName)) folded = &p;
        }
        const ui::Printer* match = exact ? exact : folded;
        // A name that is no installed printer leaves the current printer.
        if (match) {
            // The current printer's font and output file belong to the
            // document, not to the device: they stay.
            ui::Printer next = *match;
            next.FontName = current.FontName;
            next.FontSize = current.FontSize;
            next.OutputFileName = current.OutputFileName;
            ui::SetCurrentPrinter(next);
        }
    }
    current.Copies = chosen.copies;
    current.Duplex = chosen.duplex;
    current.Orientation = chosen.orientation;
    current.PaperSize = chosen.paperSize;
    current.PrintQuality = chosen.printQuality;
    current.ColorMode = chosen.colorMode;
    current.PaperBin = chosen.defaultSource;
    // The file chosen in the dialog (printing to a file) is where the print goes.
    current.OutputFileName = chosen.outputFile;
    return true;
}

} // namespace qz

// Printing through Qt. The installed printers are those CUPS knows; where
// none is set up, the list holds one printer, "Print to File (PDF)", that
// writes a PDF file. A document goes to a PDF file instead of the device
// whenever the printer's OutputFileName is set, and always for the PDF
// printer: to OutputFileName, or, when that is empty, to
// "Quorvane Print.pdf" in the user's documents folder (an existing file of
// that name is replaced).
//
// The desktop installs it with ui::setPrinterBackend at start-up.
#pragma once

#include "platform/ui/Printer.h"

#include <memory>

class QPainter;
class QPrinter;

namespace qz::views {

class QtPrinterBackend : public ui::PrinterBackend {
public:
    static constexpr const char* kPdfPrinterName = "Print to File (PDF)";

    QtPrinterBackend();
    ~QtPrinterBackend() override;

    std::vector<ui::PrinterInfo> printers() override;
    void startDoc(const ui::Printer& printer) override;
    void printLine(const std::string& text, const std::string& fontName, double fontSize) override;
    void newPage() override;
    void endDoc() override;
    void killDoc() override;

    // The file the current (or last) document was written to, "" for a device.
    const std::string& outputFile() const noexcept { return outputFile_; }
    // The paper of the next document, twips, instead of the printer's paper
    // size and orientation (a word document prints on its own page size);
    // the document starts with the paper's corner as the painter's origin.
    void setNextPageSize(int widthTwips, int heightTwips) { nextPage_ = {widthTwips, heightTwips}; }
    // The open document's painter and device, for pages drawn whole; null when none is open.
    QPainter* painter() const noexcept { return painter_.get(); }
    QPrinter* device() const noexcept { return printer_.get(); }

private:
    void finish();
    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QPainter> painter_;
    double y_ = 0;  // the next line's top, in device pixels from the page's top
    std::string outputFile_;
    std::pair<int, int> nextPage_{0, 0};
};

} // namespace qz::views

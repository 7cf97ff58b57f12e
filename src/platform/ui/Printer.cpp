#include "platform/ui/Printer.h"

#include "platform/automation/AutomationError.h"

#include <atomic>
#include <memory>

namespace qz::ui {
namespace {

std::atomic<PrinterBackend*> gBackend{nullptr};
std::unique_ptr<Printer> gCurrent;
std::atomic<bool> gReseed{false};

[[noreturn]] void printerError(const std::string& why) {
    throw AutomationError(482, "Printer", "Printer error: " + why);
}

Printer defaultPrinter() {
    const std::vector<PrinterInfo> list = printerBackend().printers();
    return list.empty() ? Printer{} : Printer{list.front()};
}

} // namespace

void Printer::assign(const Printer& o) {
    DeviceName = o.DeviceName;
    DriverName = o.DriverName;
    Port = o.Port;
    Orientation = o.Orientation;
    PaperSize = o.PaperSize;
    Copies = o.Copies;
    Duplex = o.Duplex;
    PrintQuality = o.PrintQuality;
    ColorMode = o.ColorMode;
    PaperBin = o.PaperBin;
    FontName = o.FontName;
    FontSize = o.FontSize;
    OutputFileName = o.OutputFileName;
}

void Printer::startDoc() {
    if (docOpen_) return;
    if (DeviceName.empty() && OutputFileName.empty()) printerError("no printer is installed");
    if (Copies < 1 || Copies > 9999) printerError("the number of copies must lie between 1 and 9999");
    printerBackend().startDoc(*this);
    docOpen_ = true;
}

void Printer::Print(const std::string& text) {
    if (!(FontSize > 0 && FontSize <= 2048)) printerError("invalid font size");
    startDoc();
    std::size_t from = 0;
    for (;;) {
        const std::size_t end = text.find_first_of("\r\n", from);
        printerBackend().printLine(text.substr(from, end == std::string::npos ? end : end - from), FontName, FontSize);
        if (end == std::string::npos) break;
        from = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        if (from == text.size()) break;  // a final line break ends the last line
    }
}

void Printer::NewPage() {
    startDoc();
    printerBackend().newPage();
}

void Printer::EndDoc() {
    if (!docOpen_) return;
    docOpen_ = false;
    printerBackend().endDoc();
}

void Printer::KillDoc() {
    if (!docOpen_) return;
    docOpen_ = false;
    printerBackend().killDoc();
}

void HeadlessPrinterBackend::startDoc(const Printer& printer) { documents.push_back({printer, {}, false, false}); }

void HeadlessPrinterBackend::printLine(const std::string& text, const std::string&, double) {
    if (!documents.empty()) documents.back().lines.push_back(text);
}

void HeadlessPrinterBackend::newPage() {
    if (!documents.empty()) documents.back().lines.push_back("\f");
}

void HeadlessPrinterBackend::endDoc() {
    if (!documents.empty()) documents.back().ended = true;
}

void HeadlessPrinterBackend::killDoc() {
    if (!documents.empty()) documents.back().killed = true;
}

HeadlessPrinterBackend& defaultPrinterBackend() {
    static HeadlessPrinterBackend backend;
    return backend;
}

PrinterBackend& printerBackend() {
    PrinterBackend* b = gBackend.load(std::memory_order_acquire);
    return b ? *b : defaultPrinterBackend();
}

void setPrinterBackend(PrinterBackend* backend) {
    gBackend.store(backend, std::memory_order_release);
    gReseed = true;
}

std::vector<Printer> Printers() {
    std::vector<Printer> out;
    for (const PrinterInfo& info : printerBackend().printers()) out.emplace_back(info);
    return out;
}

Printer& CurrentPrinter() {
    if (!gCurrent) {
        gReseed = false;
        gCurrent = std::make_unique<Printer>(defaultPrinter());
    } else if (gReseed.exchange(false)) {
        // A document open on the old backend is that backend's to finish.
        *gCurrent = defaultPrinter();
        gCurrent->docOpen_ = false;
        gCurrent->FontName = Printer{}.FontName;
        gCurrent->FontSize = Printer{}.FontSize;
        gCurrent->OutputFileName.clear();
    }
    return *gCurrent;
}

void SetCurrentPrinter(const Printer& printer) { CurrentPrinter() = printer; }

} // namespace qz::ui

// The printer object: the application's current printer with its settings,
// the list of installed printers, and a document printed line by line.
// A document begins with the first Print or NewPage and ends with EndDoc
// (it goes to the printer) or KillDoc (it is thrown away).
//
// The printing itself is a backend's: the headless backend (the default)
// records every document for tests; the desktop installs one that prints
// through the toolkit (or to a PDF file where no printer is set up, see
// OutputFileName). Printing happens on the user-interface thread.
#pragma once

#include <string>
#include <vector>

namespace qz::ui {

struct PrinterInfo {
    std::string DeviceName;
    std::string DriverName;
    std::string Port;
};

class Printer {
public:
    std::string DeviceName, DriverName, Port;
    int Orientation = 1;    // 1 portrait, 2 landscape
    int PaperSize = 9;      // 1 letter, 5 legal, 8 A3, 9 A4, 11 A5
    int Copies = 1;
    int Duplex = 1;         // 1 simplex, 2 vertical, 3 horizontal
    int PrintQuality = -4;  // -4 high ... -1 draft, or dots per inch
    int ColorMode = 2;      // 1 monochrome, 2 colour
    int PaperBin = 7;       // 7 automatic
    std::string FontName = "Courier New";
    double FontSize = 10;
    // Where the document goes instead of the device when not empty: a PDF
    // file of that path. Printers that only print to a file use it too.
    std::string OutputFileName;

    Printer() = default;
    explicit Printer(const PrinterInfo& info)
        : DeviceName(info.DeviceName), DriverName(info.DriverName), Port(info.Port) {}
    // Copies the device and settings; the document in progress stays.
    Printer(const Printer& other) { assign(other); }
    Printer& operator=(const Printer& other) {
        assign(other);
        return *this;
    }
    ~Printer() = default;

    // Prints text in the current font, each of its lines (CR LF, LF or CR
    // end a line) on a line of its own; "" prints an empty line.
    void Print(const std::string& text);
    void NewPage();
    void EndDoc();
    void KillDoc();
    bool Printing() const noexcept { return docOpen_; }

private:
    friend Printer& CurrentPrinter();
    void assign(const Printer& other);
    void startDoc();
    bool docOpen_ = false;
};

class PrinterBackend {
public:
    virtual ~PrinterBackend() = default;
    // The installed printers, the system's default first.
    virtual std::vector<PrinterInfo> printers() = 0;
    // A document on the printer's device and settings. Failures raise.
    virtual void startDoc(const Printer& printer) = 0;
    virtual void printLine(const std::string& text, const std::string& fontName, double fontSize) = 0;
    virtual void newPage() = 0;
    virtual void endDoc() = 0;
    virtual void killDoc() = 0;
};

// Records documents instead of printing them.
class HeadlessPrinterBackend : public PrinterBackend {
public:
    struct Document {
        Printer settings;                      // as they were at the start
        std::vector<std::string> lines;        // a page break is "\f"
        bool ended = false, killed = false;
    };
    std::vector<PrinterInfo> installed{{"Print to File (PDF)", "pdf", "FILE:"}};
    std::vector<Document> documents;

    std::vector<PrinterInfo> printers() override { return installed; }
    void startDoc(const Printer& printer) override;
    void printLine(const std::string& text, const std::string&, double) override;
    void newPage() override;
    void endDoc() override;
    void killDoc() override;
};

// The backend in use; never null. Until one is set this is a process-wide
// HeadlessPrinterBackend (defaultPrinterBackend). The caller keeps a set
// backend alive while it is set; nullptr restores the default.
PrinterBackend& printerBackend();
void setPrinterBackend(PrinterBackend* backend);
HeadlessPrinterBackend& defaultPrinterBackend();

// The installed printers as printer objects with default settings.
std::vector<Printer> Printers();
// The current printer: at first the backend's default printer; setting a
// backend makes it that backend's default again (the object stays, so
// references to it stay valid).
Printer& CurrentPrinter();
// Makes a printer current (its device and settings are copied).
void SetCurrentPrinter(const Printer& printer);

} // namespace qz::ui

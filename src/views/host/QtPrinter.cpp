#include "views/host/QtPrinter.h"

#include "platform/automation/AutomationError.h"
#include "views/host/Text.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

namespace qz::views {
namespace {

[[noreturn]] void printerError(const std::string& why) {
    throw AutomationError(482, "Printer", "Printer error: " + why);
}

QPageSize pageSizeOf(int paperSize) {
    switch (paperSize) {
    case 1: return QPageSize(QPageSize::Letter);
    case 5: return QPageSize(QPageSize::Legal);
    case 8: return QPageSize(QPageSize::A3);
    case 11: return QPageSize(QPageSize::A5);
    case 7: return QPageSize(QPageSize::Executive);
    default: return QPageSize(QPageSize::A4);
    }
}

} // namespace

QtPrinterBackend::QtPrinterBackend() = default;

QtPrinterBackend::~QtPrinterBackend() {
    if (painter_) killDoc();
}

std::vector<ui::PrinterInfo> QtPrinterBackend::printers() {
    std::vector<ui::PrinterInfo> out;
    const QString def = QPrinterInfo::defaultPrinterName();
    for (const QPrinterInfo& p : QPrinterInfo::availablePrinters()) {
        ui::PrinterInfo info{us(p.printerName()), "cups", us(p.location())};
        if (p.printerName() == def) out.insert(out.begin(), info);
        else out.push_back(info);
    }
    if (out.empty()) out.push_back({kPdfPrinterName, "pdf", "FILE:"});
    return out;
}

void QtPrinterBackend::startDoc(const ui::Printer& p) {
    if (painter_) finish();
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    const bool device = p.OutputFileName.empty() && p.DeviceName != kPdfPrinterName &&
                        !QPrinterInfo::printerInfo(qs(p.DeviceName)).isNull();
    if (device) {
        printer->setPrinterName(qs(p.DeviceName));
        outputFile_.clear();
    } else {
        QString path = qs(p.OutputFileName);
        if (path.isEmpty()) {
            QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
            if (folder.isEmpty()) folder = QDir::homePath();
            QDir().mkpath(folder);
            path = QDir(folder).filePath(QStringLiteral("Quorvane Print.pdf"));
        }
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(path);
        outputFile_ = us(path);
    }
    printer->setDocName(QStringLiteral("Quorvane Studio"));
    if (nextPage_.first > 0 && nextPage_.second > 0) {
        const QSizeF inches(nextPage_.first / 1440.0, nextPage_.second / 1440.0);
        printer->setPageSize(QPageSize(inches, QPageSize::Inch, QString(), QPageSize::ExactMatch));
        printer->setPageOrientation(QPageLayout::Portrait);
        printer->setFullPage(true);
        printer->setPageMargins(QMarginsF(0, 0, 0, 0));
    } else {
        printer->setPageOrientation(p.Orientation == 2 ? QPageLayout::Landscape : QPageLayout::Portrait);
        printer->setPageSize(pageSizeOf(p.PaperSize));
    }
    nextPage_ = {0, 0};
    printer->setCopyCount(p.Copies);
    printer->setDuplex(p.Duplex == 2 ? QPrinter::DuplexLongSide : p.Duplex == 3 ? QPrinter::DuplexShortSide
                                                                                : QPrinter::DuplexNone);
    printer->setColorMode(p.ColorMode == 1 ? QPrinter::GrayScale : QPrinter::Color);
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(printer.get()))
        printerError(device ? "cannot print to \"" + p.DeviceName + "\""
                            : "cannot write the file \"" + outputFile_ + "\"");
    printer_ = std::move(printer);
    painter_ = std::move(painter);
    y_ = 0;
}

void QtPrinterBackend::printLine(const std::string& text, const std::string& fontName, double fontSize) {
    if (!painter_) printerError("no document is open");
    QFont font(qs(fontName));
    font.setPointSizeF(fontSize);
    painter_->setFont(font);
    const QFontMetricsF metrics(font, painter_->device());
    const double page = printer_->pageLayout().paintRectPixels(printer_->resolution()).height();
    if (y_ > 0 && y_ + metrics.height() > page) newPage();
    painter_->drawText(QPointF(0, y_ + metrics.ascent()), qs(text));
    y_ += metrics.lineSpacing();
}

void QtPrinterBackend::newPage() {
    if (!painter_) printerError("no document is open");
    if (!printer_->newPage()) printerError("cannot start a new page");
    y_ = 0;
}

void QtPrinterBackend::finish() {
    painter_->end();
    painter_.reset();
    printer_.reset();
}

void QtPrinterBackend::endDoc() {
    if (painter_) finish();
}

void QtPrinterBackend::killDoc() {
    if (!painter_) return;
    printer_->abort();
    finish();
    // A file that was being written is no document: it goes.
    if (!outputFile_.empty()) QFile::remove(qs(outputFile_));
}

} // namespace qz::views

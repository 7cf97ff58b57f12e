// Printing a document as its pages show in the page view: on the document's
// own paper, with headers, footers, borders and pictures, through the
// printer layer (the current printer's device, or the PDF file it writes).
#pragma once

#include "platform/ui/Printer.h"

class QPainter;
class QPrinter;
class QWidget;

namespace qz::views {

class DocumentView;
class QtPrinterBackend;

// Prints the view's document on the printer through the backend; raises the
// printer's error when it cannot.
void printDocument(DocumentView& view, QtPrinterBackend& backend, const ui::Printer& printer);

// The print preview of the view's document: a window of its own (deleted
// when closed) over the parent.
QWidget* previewDocument(DocumentView& view, QWidget* parent);

} // namespace qz::views

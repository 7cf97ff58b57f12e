#include "views/word/DocumentPrint.h"

#include "views/host/QtPrinter.h"
#include "views/host/Text.h"
#include "views/word/DocumentView.h"

#include <QPageSize>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace qz::views {

namespace {

// A page's paper.
QPageSize paperOf(const word::PageSetup& page) {
    return QPageSize(QSizeF(page.width / 1440.0, page.height / 1440.0), QPageSize::Inch, QString(), QPageSize::ExactMatch);
}

// Draws every page of the view on a device of the document's paper, a page
// of the device a page; newPage(k) starts page k on its section's paper.
template <class NewPage>
void paintPages(DocumentView& view, QPainter& painter, double deviceDpi, NewPage&& newPage) {
    view.finishRendering();
    // The view draws at its zoom, 96 pixels an inch at 100%.
    const double scale = deviceDpi / 96.0 / view.zoom();
    const int pages = view.pageCount();
    for (int k = 0; k < pages; ++k) {
        if (k > 0) newPage(k);
        painter.save();
        painter.scale(scale, scale);
        view.paintPage(painter, k);
        painter.restore();
    }
}

} // namespace

void printDocument(DocumentView& view, QtPrinterBackend& backend, const ui::Printer& printer) {
    view.finishRendering();
    const word::PageSetup page = view.pageSetup(0);
    backend.setNextPageSize(page.width, page.height);
    backend.startDoc(printer);
    try {
        paintPages(view, *backend.painter(), backend.device()->resolution(), [&](int k) {
            backend.device()->setPageSize(paperOf(view.pageSetup(k)));
            backend.newPage();
        });
    } catch (...) {
        backend.killDoc();
        throw;
    }
    backend.endDoc();
}

QWidget* previewDocument(DocumentView& view, QWidget* parent) {
    view.finishRendering();
    auto* dialog = new QPrintPreviewDialog(parent);
    dialog->setObjectName("printPreview");
    dialog->setWindowTitle("Print Preview - " + qs(view.model().Name()));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QPrinter* printer = dialog->printer();
    printer->setPageSize(paperOf(view.pageSetup(0)));
    printer->setPageOrientation(QPageLayout::Portrait);
    printer->setFullPage(true);
    QObject::connect(dialog, &QPrintPreviewDialog::paintRequested, &view, [&view](QPrinter* device) {
        device->setPageSize(paperOf(view.pageSetup(0)));
        QPainter painter(device);
        paintPages(view, painter, device->resolution(), [device, &view](int k) {
            device->setPageSize(paperOf(view.pageSetup(k)));
            device->newPage();
        });
    });
    QObject::connect(&view, &QObject::destroyed, dialog, &QWidget::close);
    dialog->resize(900, 800);
    dialog->show();
    return dialog;
}

} // namespace qz::views

// quorvane-studio [FILE.rtf ...]: the word processor in which templates are
// designed, with the designer's menu and toolbar.
//
// How the program is composed, in the order main() builds it:
//   1. the toolkit's application object and the command line;
//   2. the windows of the forms, the Qt host of the user interface through
//      which every form of the layers below is shown in its window, and the
//      printers;
//   3. the word processor's model, with the add-in template whose menu and
//      toolbar run the designer's macros;
//   4. the designer on that model: it opens its own windows (its dialogs, the
//      field editors, the data sources and the query builder);
//   5. the studio window over the model, which turns a macro of the add-in
//      into a command id and hands it to the designer;
//   6. the files named on the command line, then the event loop.
// The designer hears 100 (the active document changed) and 10 (build the
// menu) at start, and 100 again at every change of the active document.
#include "core/ModGlobal.h"
#include "designer/Designer.h"
#include "designer/ModMSWordMenuToolbar.h"
#include "platform/word/Application.h"
#include "views/FormViews.h"
#include "views/host/QtPrinter.h"
#include "views/host/QtUiHost.h"
#include "views/studio/StudioWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QSize>
#include <QStringList>

#include <cstdio>

namespace {

struct Options {
    QStringList files;
    QString screenshot;  // empty: run the program
    QSize windowSize;    // invalid: the window's own size
};

Options ParseCommandLine(const QApplication& qt) {
    QCommandLineParser parser;
    parser.setApplicationDescription("The word processor in which Quorvane templates are designed.\n\n" +
                                     QString::fromStdString(qz::FilesLocationText()));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("files", "RTF documents to open.", "[FILE.rtf ...]");
    const QCommandLineOption screenshot("screenshot", "Open the files, save a picture of the window to FILE.png and quit.",
                                        "FILE.png");
    parser.addOption(screenshot);
    const QCommandLineOption windowSize("window-size", "The window's size, for example 1000x1300.", "WxH");
    parser.addOption(windowSize);
    parser.process(qt);

    Options o;
    o.files = parser.positionalArguments();
    if (parser.isSet(screenshot)) o.screenshot = parser.value(screenshot);
    if (parser.isSet(windowSize)) {
        const QStringList wh = parser.value(windowSize).split('x');
        const int w = wh.value(0).toInt(), h = wh.size() == 2 ? wh[1].toInt() : 0;
        if (w >= 200 && h >= 200 && w <= 10000 && h <= 10000) o.windowSize = QSize(w, h);
        else std::fprintf(stderr, "--window-size: expected WIDTHxHEIGHT, each 200 to 10000\n");
    }
    return o;
}

} // namespace

int main(int argc, char** argv) {
    // 1. The toolkit and the command line.
    QApplication qt(argc, argv);
    QApplication::setApplicationName("Quorvane Studio");
    QApplication::setApplicationVersion(QZ_VERSION);
    QApplication::setWindowIcon(QIcon(":/quorvane-studio.png"));
    QApplication::setDesktopFileName("quorvane-studio");
    const Options options = ParseCommandLine(qt);

    // 2. The forms' windows, the user interface host and the printers.
    qz::views::registerFormViews();
    qz::views::QtUiHost host;
    qz::ui::setCurrentHost(&host);
    qz::views::QtPrinterBackend printers;
    qz::ui::setPrinterBackend(&printers);
    const auto uninstall = [] {
        qz::ui::setPrinterBackend(nullptr);
        qz::ui::setCurrentHost(nullptr);
    };

    // 3. The word processor's model with the add-in template.
    qz::word::Application word;
    qz::designer::InstallAddinTemplate(word);

    // 4. The designer on the model.
    qz::designer::Designer designer;
    designer.Initialize(word);

    // 5. The studio window: the add-in's macros reach the designer as command ids.
    qz::views::StudioWindow window(word, qz::designer::CommandIdOfMacro,
                                   [&designer](int id) { designer.HandleCmd(id); });
    window.runCommand(qz::designer::qzCmdItemDocumentChange);
    window.runCommand(qz::designer::qzCmdItemMenu);

    // 6. The files, then the event loop (or one picture of the window).
    for (const QString& file : options.files) window.openFile(file);
    if (options.windowSize.isValid()) window.resize(options.windowSize);
    window.show();
    if (!options.screenshot.isEmpty()) {
        QApplication::processEvents();
        const bool saved = window.grab().save(options.screenshot);
        uninstall();
        return saved ? 0 : 1;
    }
    const int rc = QApplication::exec();
    uninstall();
    return rc;
}

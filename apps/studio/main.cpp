// quorvane-studio [FILE.rtf ...]: the word processor in which templates are
// designed, with the designer's menu and toolbar.
//
// Start-up: the application object and the Qt host of the user interface,
// the word processor's model with the add-in template and its toolbar, one
// designer initialised with it; then the files named on the command line are
// opened. The designer hears 100 (the active document changed) and 10 (build
// the menu) at start, and 100 again at every change of the active document.
#include "core/ModGlobal.h"
#include "designer/Designer.h"
#include "designer/ModMSWordMenuToolbar.h"
#include "platform/word/Application.h"
#include "views/host/QtPrinter.h"
#include "views/host/QtUiHost.h"
#include "views/studio/StudioWindow.h"

#include <QApplication>
#include <cstdio>
#include <QCommandLineParser>
#include <QIcon>

int main(int argc, char** argv) {
    QApplication qt(argc, argv);
    QApplication::setApplicationName("Quorvane Studio");
    QApplication::setApplicationVersion(QZ_VERSION);
    QApplication::setWindowIcon(QIcon(":/quorvane-studio.png"));
    QApplication::setDesktopFileName("quorvane-studio");
    QCommandLineParser options;
    options.setApplicationDescription("The word processor in which Quorvane templates are designed.\n\n" +
                                      QString::fromStdString(qz::FilesLocationText()));
    options.addHelpOption();
    options.addVersionOption();
    options.addPositionalArgument("files", "RTF documents to open.", "[FILE.rtf ...]");
    const QCommandLineOption screenshot("screenshot", "Open the files, save a picture of the window to FILE.png and quit.",
                                        "FILE.png");
    options.addOption(screenshot);
    const QCommandLineOption windowSize("window-size", "The window's size, for example 1000x1300.", "WxH");
    options.addOption(windowSize);
    options.process(qt);

    qz::views::QtUiHost host;
    qz::ui::setCurrentHost(&host);
    qz::views::QtPrinterBackend printers;
    qz::ui::setPrinterBackend(&printers);
    qz::word::Application word;
    qz::designer::InstallAddinTemplate(word);
    qz::designer::Designer designer;
    designer.Initialize(word);

    qz::views::StudioWindow window(word, qz::designer::CommandIdOfMacro,
                                   [&designer](int id) { designer.HandleCmd(id); });
    window.runCommand(100);
    window.runCommand(10);
    for (const QString& file : options.positionalArguments()) window.openFile(file);
    if (options.isSet(windowSize)) {
        const QStringList wh = options.value(windowSize).split('x');
        const int w = wh.value(0).toInt(), h = wh.size() == 2 ? wh[1].toInt() : 0;
        if (w >= 200 && h >= 200 && w <= 10000 && h <= 10000) window.resize(w, h);
        else std::fprintf(stderr, "--window-size: expected WIDTHxHEIGHT, each 200 to 10000\n");
    }
    window.show();
    if (options.isSet(screenshot)) {
        QApplication::processEvents();
        const bool saved = window.grab().save(options.value(screenshot));
        qz::ui::setPrinterBackend(nullptr);
        qz::ui::setCurrentHost(nullptr);
        return saved ? 0 : 1;
    }
    const int rc = QApplication::exec();
    qz::ui::setPrinterBackend(nullptr);
    qz::ui::setCurrentHost(nullptr);
    return rc;
}

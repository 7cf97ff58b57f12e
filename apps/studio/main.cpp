// quorvane-studio [FILE.rtf ...]: the word processor in which templates are
// designed, with the designer's menu and toolbar.
//
// How the program is composed, in the order main() builds it:
//   1. the command line (--help and --version need no display), then the
//      toolkit's application object;
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
#include "core/ManPage.h"
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
#include <QList>
#include <QSize>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

constexpr char kProgram[] = "quorvane-studio";
constexpr char kDescription[] = "The word processor in which Quorvane templates are designed.";

// The command line, read before the toolkit starts, so that --help, --version
// and --help-man need no display.
struct CommandLine {
    QCommandLineOption help{{"h", "help"}, "Display this help and exit."};
    QCommandLineOption version{{"v", "version"}, "Display the version and exit."};
    QCommandLineOption helpMan{"help-man", "Print this help as a manual page (man(7) markup) and exit."};
    QCommandLineOption screenshot{"screenshot", "Open the files, save a picture of the window to FILE.png and quit.",
                                  "FILE.png"};
    QCommandLineOption windowSize{"window-size", "The window's size, for example 1000x1300.", "WxH"};
    QCommandLineParser parser;

    CommandLine() {
        parser.setApplicationDescription(kDescription);
        parser.addOptions({help, version, helpMan, screenshot, windowSize});
        parser.addPositionalArgument("files", "RTF documents to open.", "[FILE.rtf ...]");
    }
    const QList<QCommandLineOption> options() const { return {help, version, helpMan, screenshot, windowSize}; }

    QString helpText() const {
        QString text = parser.helpText();
        text.replace("<executable_name>", kProgram);
        return text + "\n" + QString::fromStdString(qz::FilesLocationText()) + "\n";
    }

    // The manual page, from the same options and texts as the help.
    std::string manPage() const {
        qz::ManPage page{kProgram, "design Quorvane templates", std::string("Quorvane Studio ") + QZ_VERSION,
                         {"[OPTIONS] [FILE.rtf ...]"}, {}};
        qz::ManPageSection description{"DESCRIPTION", kDescription, {{"FILE.rtf ...", "RTF documents to open."}}};
        for (const QCommandLineOption& o : options()) {
            QString names;
            for (const QString& n : o.names()) names += (names.isEmpty() ? "" : ", ") + QString(n.size() == 1 ? "-" : "--") + n;
            if (!o.valueName().isEmpty()) names += " " + o.valueName();
            description.entries.push_back({names.toStdString(), o.description().toStdString()});
        }
        page.sections.push_back(std::move(description));
        page.sections.push_back({"FILES", qz::FilesLocationRules(), {}});
        page.sections.push_back({"SEE ALSO", "qzstudio(1)", {}});
        return qz::ManPageText(page);
    }
};

struct Options {
    QStringList files;
    QString screenshot;  // empty: run the program
    QSize windowSize;    // invalid: the window's own size
};

// A command line that cannot be run: one line, and exit status 2.
[[noreturn]] void UsageError(const QString& what) {
    std::fprintf(stderr, "%s: %s; see \"%s --help\"\n", kProgram, qPrintable(what.endsWith('.') ? what.chopped(1) : what), kProgram);
    std::exit(2);
}

Options ReadOptions(CommandLine& line, const QStringList& arguments) {
    if (!line.parser.parse(arguments)) UsageError(line.parser.errorText());
    Options o;
    o.files = line.parser.positionalArguments();
    if (line.parser.isSet(line.screenshot)) o.screenshot = line.parser.value(line.screenshot);
    if (line.parser.isSet(line.windowSize)) {
        const QStringList wh = line.parser.value(line.windowSize).split('x');
        const int w = wh.value(0).toInt(), h = wh.size() == 2 ? wh[1].toInt() : 0;
        if (w >= 200 && h >= 200 && w <= 10000 && h <= 10000) o.windowSize = QSize(w, h);
        else UsageError("--window-size: expected WIDTHxHEIGHT, each 200 to 10000");
    }
    return o;
}

// The arguments without the toolkit's own options (-platform offscreen,
// -style=Fusion, --reverse, ...), which the toolkit takes out of the command
// line itself once it runs: so that the program's own options are checked
// before a display is needed, and a wrong one is a usage error with or without
// a display.
QStringList WithoutToolkitOptions(const QStringList& arguments) {
    static const QStringList withValue{"platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
                                       "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "display",
                                       "geometry", "title", "icon", "name", "style", "stylesheet", "dialogs",
                                       "fontengine"};
    static const QStringList flags{"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == "--") {
            kept << arguments.mid(i);
            break;
        }
        if (i == 0 || !a.startsWith('-')) {
            kept << a;
            continue;
        }
        const QString word = a.mid(a.startsWith("--") ? 2 : 1);
        const QString name = word.section('=', 0, 0);
        if (flags.contains(name) && !word.contains('=')) continue;
        if (!withValue.contains(name)) kept << a;
        else if (!word.contains('=')) ++i;  // the value is the next argument
    }
    return kept;
}

// Without a display the toolkit cannot start: one line says so, in place of
// the toolkit's own lines and its abort.
QtMessageHandler gToolkitHandler = nullptr;

void StartupMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) {
        const char* platform = std::getenv("QT_QPA_PLATFORM");
        const char* display = std::getenv("DISPLAY");
        const std::string why = platform && *platform ? std::string("the platform \"") + platform + "\" cannot start"
                                : display && *display ? std::string("cannot connect to the display ") + display
                                                      : std::string("DISPLAY is not set");
        std::fprintf(stderr, "%s: no display to open windows on (%s); only --help and --version work without one\n",
                     kProgram, why.c_str());
        std::_Exit(1);
    }
    // The platform's own complaints are said by the line above.
    if (context.category && std::string_view(context.category).starts_with("qt.qpa")) return;
    if (gToolkitHandler) gToolkitHandler(type, context, message);
    else std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

int main(int argc, char** argv) {
    // 1. The command line, then the toolkit.
    CommandLine line;
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    // A wrong option is said before the toolkit starts, so without a display too.
    const Options options = ReadOptions(line, WithoutToolkitOptions(arguments));
    if (line.parser.isSet(line.help)) {
        std::fputs(qPrintable(line.helpText()), stdout);
        return 0;
    }
    if (line.parser.isSet(line.version)) {
        std::printf("%s %s\n", kProgram, QZ_VERSION);
        return 0;
    }
    if (line.parser.isSet(line.helpMan)) {
        std::fputs(line.manPage().c_str(), stdout);
        return 0;
    }
    gToolkitHandler = qInstallMessageHandler(StartupMessage);
    QApplication qt(argc, argv);
    qInstallMessageHandler(gToolkitHandler);
    QApplication::setApplicationName("Quorvane Studio");
    QApplication::setApplicationVersion(QZ_VERSION);
    QApplication::setWindowIcon(QIcon(":/quorvane-studio.png"));
    QApplication::setDesktopFileName("quorvane-studio");

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

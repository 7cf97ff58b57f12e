// Renders every window that has a sample to OUT_DIR/<form name>.png, on Qt's
// offscreen platform unless another is chosen.
//   qz_screenshots OUT_DIR [FORM_NAME...]
#include "platform/automation/AutomationError.h"
#include "views/FormViews.h"
#include "views/samples/Samples.h"

#include <QApplication>
#include <QDir>

#include <cstdio>
#include <cstdlib>
#include <exception>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR [FORM_NAME...]\n", argv[0]);
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    qz::views::registerFormViews();
    const QString out = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(out)) {
        std::fprintf(stderr, "qz_screenshots: the folder %s cannot be made\n", argv[1]);
        return 1;
    }
    std::vector<std::string> names;
    for (int i = 2; i < argc; ++i) names.emplace_back(argv[i]);
    if (names.empty()) names = qz::views::registeredSamples();
    int failed = 0;
    for (const std::string& name : names) {
        const std::string path = QDir(out).filePath(QString::fromStdString(name) + ".png").toStdString();
        try {
            qz::views::renderSample(name, path);
            std::printf("%s\n", path.c_str());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "qz_screenshots: %s: %s\n", name.c_str(), e.what());
            ++failed;
        }
    }
    return failed ? 1 : 0;
}

#include "views/samples/Samples.h"

#include "platform/automation/AutomationError.h"
#include "views/host/ViewRegistry.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>

#include <map>

namespace qz::views {

namespace {

std::map<std::string, SampleFactory>& samples() {
    static std::map<std::string, SampleFactory> s;
    return s;
}

[[noreturn]] void fail(const std::string& description) {
    throw AutomationError(kErrorFail, "Screenshots", description);
}

} // namespace

void registerSample(const std::string& formName, SampleFactory factory) {
    samples()[formName] = std::move(factory);
}

std::vector<std::string> registeredSamples() {
    std::vector<std::string> names;
    for (const auto& [name, factory] : samples()) names.push_back(name);
    return names;
}

std::unique_ptr<ui::Form> makeSample(const std::string& formName) {
    const auto it = samples().find(formName);
    if (it == samples().end()) fail("The window \"" + formName + "\" has no sample.");
    std::unique_ptr<ui::Form> form = it->second();
    if (!form) fail("The sample of the window \"" + formName + "\" made no form.");
    return form;
}

void renderSample(const std::string& formName, const std::string& path) {
    std::unique_ptr<ui::Form> form = makeSample(formName);
    std::unique_ptr<FormView> view(createView(*form, nullptr));
    if (!view) fail("The window \"" + formName + "\" cannot be shown.");
    // Laid out and painted as on screen, without being on any screen.
    view->setAttribute(Qt::WA_DontShowOnScreen);
    view->show();
    QApplication::processEvents();
    const QImage image = view->grab().toImage();
    view->hide();
    if (image.isNull()) fail("The window \"" + formName + "\" could not be drawn.");
    if (!image.save(QString::fromStdString(path), "PNG"))
        fail("The picture \"" + path + "\" cannot be written.");
}

} // namespace qz::views

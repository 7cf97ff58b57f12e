// One QApplication for the test binary, on the offscreen platform unless the
// caller chose another, with its settings and files in a folder of its own.
#include "production/TestFiles.h"
#include "views/FormViews.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class QtApp : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        setenv("XDG_DATA_HOME", dir_.path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
        static int argc = 1;
        static char name[] = "qz_views_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
        qz::views::registerFormViews();
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

private:
    qz::test::TempDir dir_;
    QApplication* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kQtApp = ::testing::AddGlobalTestEnvironment(new QtApp);

} // namespace

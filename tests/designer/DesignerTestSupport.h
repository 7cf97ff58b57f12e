// Shared set-up of the designer's tests: a private application-data folder
// for the error log, and a word-processor application with one document.
#pragma once

#include "core/ModErrors.h"
#include "designer/modMSWordFields.h"
#include "platform/word/Application.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>

namespace qz::designer::testing {

inline std::filesystem::path TempDir(const std::string& name) {
    auto dir = std::filesystem::temp_directory_path() /
               ("qz_designer_" + name + "_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir;
}

// Errors are logged into the application-data folder: keep it private, and
// remove it when the test process ends.
inline void UsePrivateDataFolder() {
    static const struct DataFolder {
        std::filesystem::path dir = TempDir("data");
        DataFolder() { ::setenv("XDG_DATA_HOME", dir.c_str(), 1); }
        ~DataFolder() {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        }
    } folder;
    (void)folder;
}

inline std::int32_t ErrorNumberOf(const std::function<void()>& f, std::string* description = nullptr) {
    try {
        f();
    } catch (const AutomationError& e) {
        if (description) *description = e.Description;
        return e.Number;
    }
    return 0;
}

class DesignerDocument : public ::testing::Test {
protected:
    void SetUp() override {
        UsePrivateDataFolder();
        doc = &app.GetDocuments().Add();
    }
    word::Selection& sel() { return app.GetSelection(); }
    std::string text() { return doc->Content().Text(); }
    long length() { return doc->Content().End(); }
    int ColorAt(long pos) {
        word::Range r(doc, sel().GetStory(), pos, pos + 1);
        return r.GetFont().ColorIndex();
    }

    word::Application app;
    word::Document* doc = nullptr;
    modMSWordFields fields{app};
};

} // namespace qz::designer::testing

// The set-up shared by the foundation tests: a private home (so the log and
// the settings land in a temporary folder), a headless UI host that records
// what the user was shown, and helpers to read the daily log.
#pragma once

#include "core/ModErrors.h"
#include "core/ModGlobal.h"
#include "core/forms/frmErrors.h"
#include "platform/ui/UiHost.h"
#include "system/TestEnv.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace qz::test {

inline std::vector<std::string> split(const std::string& s, const std::string& sep) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t p; (p = s.find(sep, start)) != std::string::npos; start = p + sep.size())
        out.push_back(s.substr(start, p - start));
    out.push_back(s.substr(start));
    return out;
}

// The Number of the automation error the call raises, 0 when it raises none.
inline std::int32_t numberOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const AutomationError& e) {
        return e.Number;
    }
    return 0;
}

// Remembers what each error dialog said when it was shown.
struct RecordingHost : ui::HeadlessUiHost {
    std::vector<std::string> errorTexts, frameCaptions, captions;
    void showModal(ui::Form& form) override {
        if (auto* e = dynamic_cast<frmErrors*>(&form)) {
            errorTexts.push_back(e->txtError.Text);
            frameCaptions.push_back(e->fraMain.Caption);
            captions.push_back(e->Caption);
        }
        HeadlessUiHost::showModal(form);
    }
};

struct CoreFixture : ::testing::Test {
    TestHome home;
    RecordingHost host;

    void SetUp() override {
        ui::setCurrentHost(&host);
        SetApplicationObject(nullptr);
    }
    void TearDown() override {
        ui::setCurrentHost(nullptr);
        SetErrorLogClock({});
        SetApplicationObject(nullptr);
    }

    // The records of today's log, one vector of fields per line (without the
    // CR LF that ends every line).
    std::vector<std::vector<std::string>> logLines() {
        std::string text = TestHome::read(ErrorLogFileName());
        std::vector<std::vector<std::string>> lines;
        if (text.empty()) return lines;
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
        auto raw = split(text.substr(0, text.size() - 2), "\r\n");
        for (auto& l : raw) lines.push_back(split(l, "\t"));
        return lines;
    }
};

} // namespace qz::test

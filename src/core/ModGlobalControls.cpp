#include "core/ModGlobalControls.h"

#include "core/InstalledLocales.h"
#include "core/ModErrors.h"

#include <algorithm>
#include <string>

namespace qz {
namespace {

constexpr std::string_view kModule = "ModGlobal";

// Type-ahead state, shared by the combos of a thread: which combo was typed
// in last, when, and what.
struct TypeAhead {
    const ui::ComboBox* combo = nullptr;
    std::chrono::steady_clock::time_point last{};
    bool started = false;
    std::string prefix;
};
thread_local TypeAhead tTypeAhead;
std::function<std::chrono::steady_clock::time_point()> gClock;

std::chrono::steady_clock::time_point now() { return gClock ? gClock() : std::chrono::steady_clock::now(); }

char lower(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithNoCase(const std::string& text, const std::string& prefix) noexcept {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (lower(text[i]) != lower(prefix[i])) return false;
    return true;
}

} // namespace

void FillInstalledLocaleCombo(ui::ComboBox& combo, std::int32_t mode) {
    Handled(kModule, "FillInstalledLocaleCombo", kErrLog | kErrRaise, [&] {
        combo.Clear();
        combo.AddItem(mode == 1 ? "<Template Default>" : "<System Default>", -1);
        for (const InstalledLocaleRecord& r : InstalledLocales())
            combo.AddItem(r.sName, static_cast<std::int32_t>(r.lLcid));
    });
}

void SelectQzTemplateLocaleItem(ui::ComboBox& combo, std::int32_t lcid) {
    Handled(kModule, "SelectQzTemplateLocaleItem", kErrLog | kErrRaise, [&] {
        if (lcid == -1) {
            combo.Select(0);
            return;
        }
        for (int i = 1; i < combo.ListCount(); ++i) {
            if (combo.ItemData(i) == lcid) {
                combo.Select(i);
                return;
            }
        }
    });
}

void ComboIncrementalSearch(ui::ComboBox& combo, std::int32_t& keyAscii) {
    Handled(kModule, "ComboIncrementalSearch", kErrLog | kErrRaise, [&] {
        if (keyAscii < 32 || keyAscii > 127) return;
        TypeAhead& t = tTypeAhead;
        const auto at = now();
        const bool restart = !t.started || at - t.last >= std::chrono::milliseconds(250);
        const char typed = static_cast<char>(keyAscii);
        if (restart || t.combo != &combo) {
            t.prefix.assign(1, typed);
            t.combo = &combo;
        } else {
            t.prefix += typed;
        }
        for (int i = 0; i < combo.ListCount(); ++i) {
            if (startsWithNoCase(combo.List(i), t.prefix)) {
                combo.Select(i);
                break;
            }
        }
        keyAscii = 0;
        t.last = at;
        t.started = true;
    });
}

void SetIncrementalSearchClock(std::function<std::chrono::steady_clock::time_point()> clock) {
    gClock = std::move(clock);
}

void FillNumberOfDigitsCombo(ui::ComboBox& combo) {
    Handled(kModule, "FillNumberOfDigitsCombo", kErrLog | kErrRaise, [&] {
        combo.Clear();
        for (int d = 0; d <= 9; ++d) combo.AddItem(std::to_string(d), d);
    });
}

void FillNumberCombo(ui::ComboBox& combo) {
    Handled(kModule, "FillNumberCombo", kErrLog | kErrRaise, [&] {
        combo.Clear();
        combo.AddItem("True", -1);
        combo.AddItem("False", 0);
    });
}

void SelectNumberOption(ui::ComboBox& combo, std::int32_t value) {
    Handled(kModule, "SelectNumberOption", kErrLog | kErrRaise, [&] {
        for (int i = 0; i < combo.ListCount(); ++i) {
            if (combo.ItemData(i) == value) {
                combo.Select(i);
                return;
            }
        }
        // Only a combo that takes typed text can show a value of no entry.
        if (combo.Style != 2) {
            combo.ListIndex = -1;
            combo.Text = std::to_string(value);
        }
    });
}

std::int32_t GetCaretLineOrColumn(std::int32_t mode, const ui::TextBox& box) {
    // Walk the characters up to the caret, remembering where its line starts.
    const int caret = std::max(box.SelStart, 0) + std::max(box.SelLength, 0);
    const std::string& s = box.Text;
    std::int32_t line = 1, lineStart = 0, pos = 0;
    for (std::size_t i = 0; i < s.size() && pos < caret; ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) continue;  // inside a character
        ++pos;
        const bool lf = s[i] == '\n';
        const bool loneCr = s[i] == '\r' && (i + 1 >= s.size() || s[i + 1] != '\n');
        if (lf || loneCr) {
            ++line;
            lineStart = pos;
        }
    }
    return mode == 1 ? line : pos - lineStart + 1;
}

} // namespace qz

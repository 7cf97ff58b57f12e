// Word model RTF: load arbitrary bytes, save, and load the saved text again,
// a few times over. Each saved text must load and keep the document's text,
// and the saved RTF must settle: a document opened and saved again and again
// may be normalised once or twice, but must not keep changing (or growing).
#include "common/FuzzEntries.h"

#include "platform/automation/AutomationError.h"
#include "platform/word/Application.h"
#include "platform/word/Document.h"

#include <string>
#include <string_view>

namespace qz::fuzz {

namespace {

// The number of save and reload rounds within which the RTF must settle.
constexpr int kRounds = 4;

} // namespace

void WordRtf(const std::uint8_t* data, std::size_t size) {
    const std::string_view rtf(reinterpret_cast<const char*>(data), size);
    std::string text, saved;
    {
        word::Application app;
        word::Document& doc = app.GetDocuments().Add();
        try {
            doc.LoadRtfText(rtf);
        } catch (const AutomationError&) {
            return;
        }
        text = doc.Content().Text();
        saved = doc.ToRtf();
    }
    for (int round = 0; round < kRounds; ++round) {
        word::Application app;
        word::Document& doc = app.GetDocuments().Add();
        try {
            doc.LoadRtfText(saved);
        } catch (const AutomationError&) {
            Fail("the saved RTF does not load");
        }
        if (doc.Content().Text() != text) Fail("the saved RTF holds another text");
        std::string again = doc.ToRtf();
        if (again == saved) return;
        saved = std::move(again);
    }
    Fail("the saved RTF keeps changing with every save");
}

} // namespace qz::fuzz

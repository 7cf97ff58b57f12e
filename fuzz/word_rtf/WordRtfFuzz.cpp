// Word model RTF: load arbitrary bytes, save, and load the saved text again.
// The saved text must load and keep the document's text, and saving the
// document read back must give the same RTF: a damaged document is mended
// once, at its first save, and never changes again.
#include "common/FuzzEntries.h"

#include "platform/automation/AutomationError.h"
#include "platform/word/Application.h"
#include "platform/word/Document.h"

#include <string>
#include <string_view>

namespace qz::fuzz {

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
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    try {
        doc.LoadRtfText(saved);
    } catch (const AutomationError&) {
        Fail("the saved RTF does not load");
    }
    if (doc.Content().Text() != text) Fail("the saved RTF holds another text");
    if (doc.ToRtf() != saved) Fail("the saved RTF changes when it is saved again");
}

} // namespace qz::fuzz

// Word model RTF: load arbitrary bytes, save, load the saved text again.
// The saved text must load, must keep the document's text, and saving the
// reloaded document must give the same RTF (the writer's output is stable).
#include "common/FuzzEntries.h"

#include "platform/automation/AutomationError.h"
#include "platform/word/Application.h"
#include "platform/word/Document.h"

#include <string>
#include <string_view>

namespace qz::fuzz {

void WordRtf(const std::uint8_t* data, std::size_t size) {
    const std::string_view rtf(reinterpret_cast<const char*>(data), size);
    word::Application app;
    word::Document& first = app.GetDocuments().Add();
    try {
        first.LoadRtfText(rtf);
    } catch (const AutomationError&) {
        return;
    }
    const std::string saved = first.ToRtf();
    word::Document& second = app.GetDocuments().Add();
    try {
        second.LoadRtfText(saved);
    } catch (const AutomationError&) {
        Fail("the saved RTF does not load");
    }
    if (second.Content().Text() != first.Content().Text()) Fail("the saved RTF holds another text");
    if (second.ToRtf() != saved) Fail("saving the reloaded document changes the RTF");
}

} // namespace qz::fuzz

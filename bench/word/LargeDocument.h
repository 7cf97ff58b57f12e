// The large document of the word benchmarks, shared by the model's and the
// studio view's benchmarks.
#pragma once

#include "designer/modMSWordFields.h"
#include "platform/word/Application.h"

#include <cstdlib>
#include <string>

namespace qz::bench {

// About 10 MB of RTF: paragraphs of mixed formats, a statement or an
// expression field in every fifth paragraph.
inline const std::string& LargeRtf() {
    static const std::string rtf = [] {
        ::setenv("XDG_DATA_HOME", "/tmp", 0);
        word::Application app;
        word::Document& doc = app.GetDocuments().Add();
        designer::modMSWordFields fields(app);
        word::Selection& sel = app.GetSelection();
        const std::string words =
            "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
            "incididunt ut labore et dolore magna aliqua. Caf\xC3\xA9 na\xC3\xAFve \xC2\xA7 12 {x} \\ y. ";
        for (int p = 0; p < 16000; ++p) {
            sel.GetFont().SetColorIndex(p % 3 == 0 ? 2 : 0);
            sel.TypeText(words);
            sel.GetFont().SetColorIndex(0);
            sel.TypeText(words);
            if (p % 5 == 0) {
                if (p % 10 == 0) fields.InsertStatementField({0, 0, "Row " + std::to_string(p), 0, 0, "x = x + 1"});
                else fields.InsertExpressionField("Total", "rs.Fields(\"T\").Value", "Number;NumDigits:2", "-1");
            }
            sel.TypeText(words);
            sel.TypeText("\r");
        }
        return doc.ToRtf();
    }();
    return rtf;
}

} // namespace qz::bench

// Field maintenance: colours and codes restored, the conditional paragraph,
// opening the next field in its editor, and the 5.16.29 conversion.
#include "DesignerTestSupport.h"

#include <vector>

using namespace qz;
using namespace qz::designer;
using namespace qz::designer::testing;

namespace {

// Stands in for the designer: records the commands and reads the field the
// way the edit commands do.
class RecordingDesigner : public DesignerCommands {
public:
    explicit RecordingDesigner(modMSWordFields& f) : fields(f) {}
    void HandleCmd(std::int32_t id) override {
        commands.push_back(id);
        if (id == qzCmdEditStatementField) {
            StatementFieldInfo s = fields.ReadStatementField();
            labels.push_back(s.Label);
            codes.push_back(s.Code);
        } else if (id == qzCmdEditExpressionField) {
            ExpressionFieldInfo e = fields.ReadExpressionField();
            labels.push_back(e.Label);
            codes.push_back(e.Expression);
        }
    }
    modMSWordFields& fields;
    std::vector<std::int32_t> commands;
    std::vector<std::string> labels;
    std::vector<std::string> codes;
};

class FieldMaintenance : public DesignerDocument {
protected:
    // Label text and code of every statement field of the main story, in order.
    std::vector<std::pair<std::string, std::string>> Statements() {
        std::vector<std::pair<std::string, std::string>> out;
        for (const word::Field& f : doc->Content().GetFields().All()) {
            if (f.Type() != word::kFieldMacroButton) continue;
            f.Select();
            StatementFieldInfo s = fields.ReadStatementField();
            out.emplace_back(s.Label, s.Code);
        }
        return out;
    }
};

} // namespace

TEST_F(FieldMaintenance, ConditionalParagraphIsIfTextElseTextEndIf) {
    fields.InsertConditionalParagraph();
    EXPECT_EQ(sel().Start(), length());
    auto st = Statements();
    ASSERT_EQ(st.size(), 3u);
    EXPECT_EQ(st[0], std::make_pair(std::string("If"), std::string("if()Then")));
    EXPECT_EQ(st[1], std::make_pair(std::string("Else"), std::string("Else")));
    EXPECT_EQ(st[2], std::make_pair(std::string("EndIf"), std::string("End If")));
    std::string t = text();
    std::size_t a = t.find(" Text if true ");
    std::size_t b = t.find(" Text if False ");
    ASSERT_NE(a, std::string::npos);
    ASSERT_NE(b, std::string::npos);
    EXPECT_LT(a, b);
    EXPECT_EQ(t.find('\r'), std::string::npos); // all on one paragraph
    EXPECT_EQ(t.back(), '\x15');
}

TEST_F(FieldMaintenance, ConditionalParagraphGoesAtTheCaretBeforeAFieldInTheParagraphsFont) {
    // "DoWhile", then "Row" and a paragraph that starts with "Loop": the
    // text is Arial 10, the paragraph marks plain, as files often have them.
    doc->LoadRtfText(R"({\rtf1\ansi{\fonttbl{\f0 Times New Roman;}{\f1 Arial;}})"
                     R"({\f1\fs20 x}\par {\f1\fs20 Row}\par {\f1\fs20 y}\par})");
    sel().SetRange(6, 7);
    fields.InsertStatementField({0, 0, "Loop", 0, 0, "rs.MoveNext_QZCRLFLoop"});
    sel().SetRange(0, 1);
    fields.InsertStatementField({0, 0, "DoWhile", 0, 0, "Do While(Not rs.EOF)"});
    const long loopStart = sel().Start() + 5;  // after "Row" and its mark
    const long before = length();
    sel().SetRange(loopStart, loopStart);
    fields.InsertConditionalParagraph();
    // Inserted where the caret stood, which ends before the Loop field.
    const long end = sel().Start();
    EXPECT_EQ(end, loopStart + (length() - before));
    auto st = Statements();
    ASSERT_EQ(st.size(), 5u);
    const char* const order[] = {"DoWhile", "If", "Else", "EndIf", "Loop"};
    for (std::size_t k = 0; k < st.size(); ++k) EXPECT_EQ(st[k].first, order[k]);
    const std::string t = text();
    EXPECT_NE(t.find("\x15 Text if true \x13"), std::string::npos);
    // Every atom inserted, placeholder texts and fields alike, is Arial 10.
    const word::Story& story = doc->MainStory();
    for (long i = loopStart; i < end; ++i) {
        const word::CharFormat& f = doc->Format(story[static_cast<std::size_t>(i)].fmt);
        if (story[static_cast<std::size_t>(i)].Kind() == word::AtomKind::Symbol) continue;  // the markers' own font
        EXPECT_EQ(f.font, 1) << i;
        EXPECT_EQ(f.size, 20) << i;
    }
}

TEST_F(FieldMaintenance, RestoreFieldsColorRecoloursLabelsAndNormalisesCodes) {
    sel().TypeText("Before ");
    fields.InsertStatementField({0, 0, "Customer", 0, 0, "x = 1"});
    sel().TypeText(" middle ");
    long exprAt = sel().Start();
    fields.InsertExpressionField("Total", "y", "String;UseDefaultProperties:-1", "-1");
    sel().TypeText(" after");
    // The author recolours a label and some text; a code gains a blank.
    sel().SetRange(7 + 33, 7 + 41);
    sel().GetFont().SetColorIndex(1);
    sel().SetRange(0, 6);
    sel().GetFont().SetColorIndex(4);
    word::Range code(doc, &doc->MainStory(), 8, 8);
    code.SetText(" ");
    EXPECT_NE(text().find("\x13  MACROBUTTON modStatementMacro"), std::string::npos);

    fields.RestoreFieldsColor();
    EXPECT_EQ(text().find("\x13  MACROBUTTON"), std::string::npos);
    EXPECT_NE(text().find("\x13 MACROBUTTON modStatementMacro"), std::string::npos);
    for (long p = 7 + 31; p <= 7 + 41; ++p) EXPECT_EQ(ColorAt(p), 6) << p;
    for (long p = 7 + 43; p < 7 + 69; ++p) EXPECT_EQ(ColorAt(p), 0) << p;
    EXPECT_EQ(ColorAt(0), 4); // text outside fields keeps the author's colour
    EXPECT_EQ(ColorAt(7 + 72), 0);
    // The expression pass colours from one character after the macro name.
    EXPECT_EQ(ColorAt(exprAt + 33), 9);
    EXPECT_EQ(ColorAt(exprAt + 34), 9);
    EXPECT_FALSE(app.ActiveWindow().GetView().ShowFieldCodes);
}

TEST_F(FieldMaintenance, ColouringStaysInsideTheFieldItFound) {
    // A damaged field (its SET field is gone), then plain text, then a good field.
    fields.InsertStatementField({0, 0, "Broken", 0, 0, "b"});
    word::Field set = doc->Content().GetFields().Item(2);
    word::Range setAll(doc, &doc->MainStory(), set.Start(), set.End());
    setAll.SetText("");
    sel().EndKey(word::kUnitStory);
    sel().TypeText(" plain text ");
    long plainStart = sel().Start() - 12;
    fields.InsertStatementField({0, 0, "Good", 0, 0, "g"});
    for (long p = plainStart; p < plainStart + 12; ++p) ASSERT_EQ(ColorAt(p), 0);
    long good = plainStart + 12;
    sel().SetRange(good + 33, good + 37);
    sel().GetFont().SetColorIndex(2);
    fields.RestoreFieldsColor();
    for (long p = plainStart; p < plainStart + 12; ++p) EXPECT_EQ(ColorAt(p), 0) << p;
    EXPECT_EQ(ColorAt(good + 33), 6);
}

TEST_F(FieldMaintenance, HeadersAndFootersAreVisited) {
    word::Section& sec = doc->Sections(1);
    for (word::HeaderFooter* hf : {&sec.Headers(word::kHeaderFooterPrimary), &sec.Footers(word::kHeaderFooterPrimary)}) {
        hf->GetRange().Select();
        fields.InsertStatementField({0, 0, "Hdr", 0, 0, "h"});
        word::Range label(doc, &hf->story, 33, 36);
        label.GetFont().SetColorIndex(3);
    }
    doc->Content().Select();
    fields.RestoreFieldsColor();
    for (word::HeaderFooter* hf : {&sec.Headers(word::kHeaderFooterPrimary), &sec.Footers(word::kHeaderFooterPrimary)}) {
        word::Range label(doc, &hf->story, 33, 36);
        EXPECT_EQ(label.Text(), "Hdr");
        EXPECT_EQ(label.GetFont().ColorIndex(), 6);
    }
}

TEST_F(FieldMaintenance, OpenSelectedFieldOpensTheFieldAtTheCursorOrTheNextOne) {
    RecordingDesigner designer(fields);
    modMSWordFields withDesigner(app, &designer);
    sel().TypeText("ab");
    withDesigner.InsertStatementField({0, 0, "Stmt", 0, 0, "s = 1"});
    const long between = sel().Start();
    withDesigner.InsertExpressionField("Expr", "e", "String;UseDefaultProperties:-1", "-1");
    long end = length();
    auto opens = [&](long at) {
        sel().SetRange(at, at);
        const std::size_t before = designer.commands.size();
        withDesigner.OpenSelectedField();
        return designer.commands.size() == before ? std::string() : designer.labels.back();
    };

    EXPECT_EQ(opens(0), "Stmt");  // none at the cursor: the next one
    ASSERT_EQ(designer.commands, std::vector<std::int32_t>{qzCmdEditStatementField});
    EXPECT_EQ(designer.codes.back(), "s = 1");
    EXPECT_EQ(opens(36), "Stmt");      // in the statement's label
    EXPECT_EQ(opens(between), "Expr");  // between two fields: the one that starts there
    EXPECT_EQ(opens(end), "Expr");      // just after the last field
    EXPECT_EQ(designer.commands.back(), qzCmdEditExpressionField);

    // Nothing at or after the cursor: nothing opens, nothing changes (no wrap).
    sel().SetRange(end, end);
    sel().TypeText(" z");
    std::string before = text();
    EXPECT_EQ(opens(end + 2), "");
    EXPECT_EQ(text(), before);
    EXPECT_EQ(sel().Start(), end + 2);
}

TEST_F(FieldMaintenance, Version51629FieldsTakeTheCurrentNames) {
    // Build an old field with the model's own members, codes shown.
    app.ActiveWindow().GetView().ShowFieldCodes = true;
    sel().TypeText("Total: ");
    word::Range at = sel().GetRange();
    sel().GetFields().Add(at, word::kFieldMacroButton, "AplValue");
    sel().MoveLeft(word::kUnitCharacter, 1);
    sel().InsertSymbol(-3978, "Wingdings", true);
    sel().TypeText("Sum");
    sel().InsertSymbol(-3978, "Wingdings", true);
    word::Range in = sel().GetRange();
    word::Field f = sel().GetFields().Add(in, word::kFieldSet);
    f.Code().SetText(" SET _AplValue 1" + std::string(kFieldSeparator) + "String;" + kFieldSeparator + "-1");
    sel().EndKey(word::kUnitStory);
    sel().TypeText(" AplValue stays");
    fields.ConvertFields51629To60000();
    std::string t = text();
    EXPECT_NE(t.find("MACROBUTTON modExpressionMacro"), std::string::npos);
    EXPECT_NE(t.find(" SET _QZExpression377 1\xC2\xA7String;\xC2\xA7-1"), std::string::npos);
    EXPECT_NE(t.find(" AplValue stays"), std::string::npos);
    sel().SetRange(7, length() - 15);
    ExpressionFieldInfo e = fields.ReadExpressionField();
    EXPECT_EQ(e.Label, "Sum");
    EXPECT_EQ(e.Expression, "1");
    EXPECT_EQ(e.Format, "String;");
    EXPECT_EQ(e.Locale, "-1");
}

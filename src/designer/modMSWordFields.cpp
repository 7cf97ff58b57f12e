#include "designer/modMSWordFields.h"

#include "core/ModErrors.h"
#include "platform/word/DisplayWalk.h"
#include "platform/word/Utf8.h"
#include "resources/MessageIds.h"

#include <vector>

namespace qz::designer {

namespace {

constexpr std::string_view kModule = "modMSWordFields";

const std::string kStatementMacro = "modStatementMacro";
const std::string kExpressionMacro = "modExpressionMacro";
const std::string kStatementName = "QZStatement377";
const std::string kExpressionName = "QZExpression377";
// A field's label is drawn in its kind's colour: statements red, expressions dark blue.
int FieldColor(bool statement) { return statement ? word::kColorRed : word::kColorDarkBlue; }

std::string MacroKey(bool statement) {
    return modMSWordFields::GetMacroButtonKeyword() + " " + (statement ? kStatementMacro : kExpressionMacro);
}
// " SET _QZStatement377"; the trimmed key drops the leading blank.
std::string SetKey(bool statement) {
    return modMSWordFields::GetSetKeyword() + " _" + (statement ? kStatementName : kExpressionName);
}
std::string TrimmedSetKey(bool statement) { return SetKey(statement).substr(1); }

std::string LTrim(const std::string& s) {
    std::size_t b = s.find_first_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b);
}

std::string Trim(const std::string& s) {
    std::string t = LTrim(s);
    while (!t.empty() && t.back() == ' ') t.pop_back();
    return t;
}



} // namespace

// Runs one public operation: between Begin/EndFieldManipulation, with the
// document's edits journalled. On failure the error is logged as it came, the
// document, selection and saved state are restored, the view is put back,
// and the operation's own message is logged and raised.
template <class Fn>
void modMSWordFields::Guarded(const char* routine, std::int32_t messageId, Fn&& fn) {
    word::Document* doc = app_.Active();
    std::size_t mark = 0;
    word::Story* selStory = nullptr;
    long selStart = 0, selEnd = 0;
    bool wasSaved = true;
    if (doc) {
        mark = doc->BeginJournal();
        word::Selection& sel = doc->GetSelection();
        selStory = sel.GetStory();
        selStart = sel.Start();
        selEnd = sel.End();
        wasSaved = doc->Saved();
    }
    bool saved = false;
    bool begun = false;
    HandledWithError(kModule, routine, kErrLog, [&] {
        BeginFieldManipulation(saved);
        begun = true;
        fn();
        EndFieldManipulation(saved);
        if (doc) doc->EndJournal();
    }, [&](const AutomationError&) {
        if (doc) {
            doc->RollBack(mark);
            doc->EndJournal();
            doc->GetSelection().MoveTo(selStory, selStart, selEnd);
            doc->SetSaved(wasSaved);
        }
        if (begun) Quietly([&] { EndFieldManipulation(saved); });
        AutomationError own = OwnError(messageId, std::string());
        HandleError(own, kModule, routine, kErrLog | kErrRaise);
    });
}

void modMSWordFields::BeginFieldManipulation(bool& saved) {
    Handled(kModule, "BeginFieldManipulation", kErrLog | kErrRaise, [&] {
        app_.ScreenUpdating = false;
        word::View& view = app_.ActiveWindow().GetView();
        saved = view.ShowFieldCodes;
        viewType_ = view.Type;
        // The author's caret at a field's edge is outside the field: it stays
        // so once the codes show.
        if (!saved) app_.GetSelection().LeaveFieldEdges();
        view.ShowFieldCodes = true;
    });
}

void modMSWordFields::EndFieldManipulation(bool saved) {
    Handled(kModule, "EndFieldManipulation", kErrLog | kErrRaise, [&] {
        word::View& view = app_.ActiveWindow().GetView();
        view.ShowFieldCodes = saved;
        view.Type = viewType_;
        app_.ScreenUpdating = true;
    });
}

// ---------------------------------------------------------------------------
// Inserting

void modMSWordFields::InsertField(bool statement, const std::string& label, const std::string& payload) {
    word::Selection& sel = app_.GetSelection();
    word::Range at = sel.GetRange();
    const word::Field button =
        sel.GetFields().Add(at, word::kFieldMacroButton, statement ? kStatementMacro : kExpressionMacro, false);
    sel.MoveLeft(word::kUnitCharacter, 1);
    sel.GetFont().SetColorIndex(FieldColor(statement));
    if (statement) sel.InsertSymbol(215, "Wingdings");
    else sel.InsertSymbol(-3978, "Wingdings", true);
    sel.TypeText(label);
    if (statement) sel.InsertSymbol(216, "Wingdings");
    else sel.InsertSymbol(-3978, "Wingdings", true);
    sel.GetFont().SetColorIndex(0);
    word::Range setAt = sel.GetRange();
    word::Field f = sel.GetFields().Add(setAt, word::kFieldSet, std::string(), false);
    word::Range code = f.Code();
    code.SetText(" " + Trim(code.Text()) + " _" + (statement ? kStatementName : kExpressionName) + " " + payload);
    f.Code().Select();
    sel.MoveRight(word::kUnitCharacter, 3);
    // A statement where a table row starts stands before the row, so that a
    // loop or a condition there takes the whole row; an expression stays in
    // the row's first cell.
    if (statement) word::Range(sel.GetDocument(), sel.GetStory(), button.Start(), button.End()).StandBeforeRow();
}

void modMSWordFields::InsertStatementField(const StatementFieldInfo& info) {
    Guarded("InsertStatementField", msg::CannotInsertStatement, [&] { InsertField(true, info.Label, info.Code); });
}

void modMSWordFields::InsertExpressionField(const std::string& label, const std::string& expression,
                                            const std::string& format, const std::string& locale) {
    Guarded("InsertExpressionField", msg::CannotInsertExpression, [&] {
        InsertField(false, label, expression + kFieldSeparator + format + kFieldSeparator + locale);
    });
}

// ---------------------------------------------------------------------------
// Reading

void modMSWordFields::SetUpFind() {
    word::Find& find = app_.GetSelection().GetFind();
    find.Forward = true;
    find.ClearFormatting();
    find.MatchWholeWord = false;
    find.MatchCase = false;
    find.Wrap = 0;
}

void modMSWordFields::ExtractStatementCode(StatementFieldInfo& rec, long s, long e) {
    word::Selection& sel = app_.GetSelection();
    sel.SetRange(s, e);
    const std::string key = TrimmedSetKey(true);
    bool found = false;
    for (const word::Field& f : sel.GetFields().All()) {
        if (LTrim(f.Code().Text()).starts_with(key)) {
            f.Select();
            found = true;
        }
    }
    if (!found) return;
    rec.CodeEnd = static_cast<std::int32_t>(sel.End() - 1);
    if (!sel.GetFind().Execute(SetKey(true))) RaiseError(msg::EmptyStatement);
    rec.CodeStart = static_cast<std::int32_t>(sel.End() + 1);
    if (rec.CodeStart != rec.CodeEnd) {
        sel.SetRange(rec.CodeStart, rec.CodeEnd);
        rec.Code = sel.Text();
    }
}

void modMSWordFields::ExtractLabel(bool statement, std::int32_t& labelStart, std::int32_t& labelEnd,
                                   std::string& label, long s, long e) {
    word::Selection& sel = app_.GetSelection();
    sel.SetRange(s, e);
    const std::string macroKey = MacroKey(statement);
    const std::string setKey = TrimmedSetKey(statement);
    long setStart = 0;
    bool found = false;
    for (const word::Field& f : sel.GetFields().All()) {
        word::Range code = f.Code();
        std::string text = LTrim(code.Text());
        if (text.starts_with(macroKey)) {
            f.Select();
            found = true;
        } else if (text.starts_with(setKey)) {
            setStart = code.Start();
        }
    }
    if (setStart == 0 || !found) return;
    if (!sel.GetFind().Execute(statement ? kStatementMacro : kExpressionMacro))
        RaiseError(statement ? msg::EmptyStatement : msg::EmptyExpression);
    labelStart = static_cast<std::int32_t>(sel.End() + 2);
    labelEnd = static_cast<std::int32_t>(setStart - 2);
    if (labelEnd < labelStart) RaiseError(statement ? msg::EmptyStatement : msg::EmptyExpression);
    if (labelStart != labelEnd) {
        sel.SetRange(labelStart, labelEnd);
        label = sel.Text();
    }
}

void modMSWordFields::ExtractStatementLabel(StatementFieldInfo& rec, long s, long e) {
    ExtractLabel(true, rec.LabelStart, rec.LabelEnd, rec.Label, s, e);
}

void modMSWordFields::ExtractExpressionLabel(ExpressionFieldInfo& rec, long s, long e) {
    ExtractLabel(false, rec.LabelStart, rec.LabelEnd, rec.Label, s, e);
}

// Splits the payload at its last two section signs, as the production
// engine does, so that an expression may itself hold the sign.
void modMSWordFields::ExtractExpressionInfo(ExpressionFieldInfo& rec, long s, long e) {
    word::Selection& sel = app_.GetSelection();
    sel.SetRange(s, e);
    rec.CodeEnd = static_cast<std::int32_t>(sel.End() - 2);
    // The selection must end with the SET field's and the outer field's end
    // characters; otherwise the positions would point into other text.
    const word::Story& story = *sel.GetStory();
    if (rec.CodeEnd < 0 || story[static_cast<std::size_t>(rec.CodeEnd)].Kind() != word::AtomKind::FieldEnd ||
        story[static_cast<std::size_t>(rec.CodeEnd + 1)].Kind() != word::AtomKind::FieldEnd)
        RaiseError(msg::EmptyExpression);
    if (!sel.GetFind().Execute(SetKey(false))) RaiseError(msg::EmptyExpression);
    rec.CodeStart = static_cast<std::int32_t>(sel.End() + 1);
    std::string payload;
    if (rec.CodeStart < rec.CodeEnd) {
        sel.SetRange(rec.CodeStart, rec.CodeEnd);
        payload = sel.Text();
    }
    const std::string sep = kFieldSeparator;
    std::size_t j = payload.rfind(sep);
    if (j == std::string::npos) RaiseError(msg::ExpressionFormatMissing);
    std::size_t i = j == 0 ? std::string::npos : payload.rfind(sep, j - 1);
    if (i == std::string::npos) RaiseError(msg::ExpressionLocaleMissing);
    rec.Expression = payload.substr(0, i);
    rec.Format = payload.substr(i + sep.size(), j - i - sep.size());
    rec.Locale = payload.substr(j + sep.size());
}

StatementFieldInfo modMSWordFields::ReadStatementField() {
    StatementFieldInfo rec;
    Guarded("ReadStatementField", msg::CannotReadStatement, [&] {
        word::Selection& sel = app_.GetSelection();
        if (sel.Start() == sel.End()) return;
        long s = sel.Start(), e = sel.End();
        SetUpFind();
        ExtractStatementCode(rec, s, e);
        ExtractStatementLabel(rec, s, e);
    });
    return rec;
}

ExpressionFieldInfo modMSWordFields::ReadExpressionField() {
    ExpressionFieldInfo rec;
    Guarded("ReadExpressionField", msg::CannotReadExpression, [&] {
        word::Selection& sel = app_.GetSelection();
        if (sel.Start() == sel.End()) return;
        long s = sel.Start(), e = sel.End();
        SetUpFind();
        ExtractExpressionInfo(rec, s, e);
        ExtractExpressionLabel(rec, s, e);
    });
    return rec;
}

// ---------------------------------------------------------------------------
// Saving

void modMSWordFields::SaveField(std::int32_t labelStart, std::int32_t labelEnd, const std::string& label,
                                std::int32_t codeStart, std::int32_t codeEnd, const std::string& payload) {
    word::Selection& sel = app_.GetSelection();
    // A record that was not read from a field of this story is refused
    // rather than written at position 0.
    long len = sel.StoryLength();
    if (labelStart <= 0 || labelStart > labelEnd || labelEnd >= codeStart || codeStart > codeEnd || codeEnd > len)
        RaiseError(msg::CannotReadStatement);
    sel.SetRange(labelStart, labelEnd);
    word::Range labelRange = sel.GetRange();
    labelRange.SetText(label);
    long delta = (labelRange.End() - labelRange.Start()) - (labelEnd - labelStart);
    long start = codeStart + delta, end = codeEnd + delta;
    sel.SetRange(start, end);
    word::Range codeRange = sel.GetRange();
    codeRange.SetText(payload);
    sel.SetRange(start, codeRange.End());
    sel.MoveRight(word::kUnitCharacter, 3);
}

void modMSWordFields::SaveStatementField(const StatementFieldInfo& info) {
    Guarded("SaveStatementField", msg::CannotSaveStatement, [&] {
        SaveField(info.LabelStart, info.LabelEnd, info.Label, info.CodeStart, info.CodeEnd, info.Code);
    });
}

void modMSWordFields::SaveExpressionField(const ExpressionFieldInfo& info) {
    Guarded("SaveExpressionField", msg::CannotSaveExpression, [&] {
        SaveField(info.LabelStart, info.LabelEnd, info.Label, info.CodeStart, info.CodeEnd,
                  info.Expression + kFieldSeparator + info.Format + kFieldSeparator + info.Locale);
    });
}

// ---------------------------------------------------------------------------
// Maintenance

void modMSWordFields::CorrectMacroName() {
    Handled(kModule, "CorrectMacroName", kErrLog | kErrRaise, [&] {
        word::Selection& sel = app_.GetSelection();
        sel.HomeKey(word::kUnitStory);
        word::Find& find = sel.GetFind();
        for (bool statement : {true, false}) {
            const std::pair<std::string, std::string> pairs[2] = {
                {"  " + MacroKey(statement), " " + MacroKey(statement)},
                {" " + SetKey(statement), SetKey(statement)},
            };
            for (const auto& [from, to] : pairs) {
                find.ClearFormatting();
                find.Replacement.ClearFormatting();
                find.Execute(from, 2, to, true);
            }
        }
    });
}

// Colours the delimiters and label of every field of one kind in the story
// of the selection. The search for the nested SET field is bounded by the
// outer field, so a damaged field never colours the text after it.
void modMSWordFields::ColorPass(bool statement) {
    word::Selection& sel = app_.GetSelection();
    word::Story& story = *sel.GetStory();
    word::Find& find = sel.GetFind();
    sel.HomeKey(word::kUnitStory);
    for (;;) {
        find.ClearFormatting();
        if (!find.Execute(MacroKey(statement))) return;
        long keyStart = sel.Start();
        long a = statement ? sel.End() : sel.End() + 1;
        // The outer field: the innermost field begin before the key that is still open.
        long fb = -1;
        int depth = 0;
        for (long i = keyStart - 1; i >= 0; --i) {
            word::AtomKind k = story[static_cast<std::size_t>(i)].Kind();
            if (k == word::AtomKind::FieldEnd) ++depth;
            else if (k == word::AtomKind::FieldBegin && depth-- == 0) {
                fb = i;
                break;
            }
        }
        long fe = fb < 0 ? -1 : word::MatchingFieldEnd(story, fb);
        if (fe < 0) {
            sel.SetRange(sel.End(), sel.End());
            continue;
        }
        sel.SetRange(a, fe);
        find.ClearFormatting();
        if (a >= fe || !find.Execute(SetKey(statement))) {
            sel.SetRange(fe, fe);
            continue;
        }
        long b = sel.Start() - 1;
        word::Range r = sel.GetRange();
        r.SetRange(a, b);
        r.Select();
        sel.GetFont().SetColorIndex(FieldColor(statement));
        sel.MoveRight(word::kUnitCharacter, 1);
    }
}

void modMSWordFields::ColorFieldLabels() {
    Handled(kModule, "ColorFieldLabels", kErrLog | kErrRaise, [&] {
        ColorPass(true);
        ColorPass(false);
    });
}

void modMSWordFields::RestoreFieldsColor() {
    Guarded("RestoreFieldsColor", msg::CannotRestoreFieldColor, [&] {
        word::Document& doc = app_.ActiveDocument();
        // Headers, footers and the main text of every section.
        for (int pass = 0; pass < 2; ++pass) {
            for (int i = 1; i <= doc.SectionCount(); ++i) {
                word::Section& sec = doc.Sections(i);
                for (int h = 1; h <= 3; ++h) {
                    for (word::HeaderFooter* hf : {&sec.Headers(h), &sec.Footers(h)}) {
                        if (!hf->Exists()) continue;
                        hf->GetRange().Select();
                        if (pass == 0) CorrectMacroName();
                        else ColorFieldLabels();
                    }
                }
                sec.GetRange().Select();
                if (pass == 0) CorrectMacroName();
                else ColorFieldLabels();
            }
        }
    });
}

void modMSWordFields::InsertConditionalParagraph() {
    Guarded("InsertConditionalParagraph", msg::CannotInsertConditionalParagraph, [&] {
        // Each insert leaves the caret just after its field: the fields and
        // texts follow each other at the caret, and whatever stood after it
        // (another field, text) stays after the End If.
        word::Selection& sel = app_.GetSelection();
        InsertStatementField({0, 0, "If", 0, 0, "if()Then"});
        sel.TypeText(" Text if true ");
        InsertStatementField({0, 0, "Else", 0, 0, "Else"});
        sel.TypeText(" Text if False ");
        InsertStatementField({0, 0, "EndIf", 0, 0, "End If"});
    });
}

void modMSWordFields::OpenSelectedField() {
    std::int32_t command = 0;
    Guarded("OpenSelectedField", msg::CannotOpenField, [&] {
        word::Selection& sel = app_.GetSelection();
        // The field under the caret, or touching it on either side, opens
        // first; otherwise the next one after the caret.
        if (sel.Start() == sel.End()) {
            const word::Story& story = *sel.GetStory();
            std::string macro;
            long at = word::MacroButtonAt(story, sel.Start(), &macro);
            const auto ours = [&] {
                return equalsNoCaseAscii(macro, kStatementMacro) || equalsNoCaseAscii(macro, kExpressionMacro);
            };
            if ((at < 0 || !ours()) && sel.Start() > 0) at = word::MacroButtonAt(story, sel.Start() - 1, &macro);
            if (at >= 0 && ours()) {
                word::Field(sel.GetDocument(), sel.GetStory(), at).Select();
                command = equalsNoCaseAscii(macro, kStatementMacro) ? qzCmdEditStatementField : qzCmdEditExpressionField;
                return;
            }
        }
        word::Range r = sel.GetRange();
        word::Find& find = sel.GetFind();
        find.Forward = true;
        find.Wrap = 0;
        long s = find.Execute(MacroKey(true)) ? sel.Start() : 0;
        r.Select();
        long x = find.Execute(MacroKey(false)) ? sel.Start() : 0;
        long pos;
        if (x != 0 && (x < s || s == 0)) {
            pos = x;
            command = qzCmdEditExpressionField;
        } else if (s != 0) {
            pos = s;
            command = qzCmdEditStatementField;
        } else {
            r.Select();
            return;
        }
        sel.SetRange(pos, pos);
        sel.MoveLeft(word::kUnitCharacter, 2);
        sel.MoveRight(word::kUnitWord, 1, word::kExtend);
    });
    if (command == 0) return;
    HandledWithError(kModule, "OpenSelectedField", kErrLog, [&] {
        if (!designer_) RaiseError(msg::CannotOpenField);
        designer_->HandleCmd(command);
    }, [&](const AutomationError&) {
        AutomationError own = OwnError(msg::CannotOpenField, std::string());
        HandleError(own, kModule, "OpenSelectedField", kErrLog | kErrRaise);
    });
}

void modMSWordFields::ConvertFields51629To60000() {
    Guarded("ConvertFields51629To60000", msg::CannotConvertTemplate, [&] {
        word::Selection& sel = app_.GetSelection();
        word::Find& find = sel.GetFind();
        const std::string mb = GetMacroButtonKeyword() + " ";
        const std::string set = GetSetKeyword() + " _";
        for (bool statement : {true, false}) {
            const std::string old = statement ? "AplStmnt" : "AplValue";
            sel.HomeKey(word::kUnitStory);
            find.ClearFormatting();
            find.Replacement.ClearFormatting();
            find.Execute(mb + old, 2, MacroKey(statement), true);
            find.ClearFormatting();
            find.Replacement.ClearFormatting();
            find.Execute(set + old, 2, SetKey(statement), true);
        }
    });
}

} // namespace qz::designer

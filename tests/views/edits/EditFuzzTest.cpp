// Randomised edits of real templates, as an author makes them in the document
// view: text typed, cut, pasted and deleted anywhere, the designer's fields
// inserted, deleted and selected through the field's context menu, text typed
// in table cells, Enter in a field's label, undo and redo. After each step the
// model is consistent (Document::CheckModel), the designer's fields hold no
// paragraph mark, saving and loading it gives the same model, and the view's
// position map agrees with a view drawn afresh.
//
// Each sequence is seeded: a failure names its seed and step, and the steps
// taken. QZ_EDIT_FUZZ_SEQUENCES and QZ_EDIT_FUZZ_SEED run more sequences,
// or one again; QZ_EDIT_FUZZ_STEPS sets the steps of each; with
// QZ_EDIT_FUZZ_TRACE the story is shown after each step.
#include "designer/modMSWordFields.h"
#include "platform/automation/AutomationError.h"
#include "platform/word/Application.h"
#include "platform/word/DisplayWalk.h"
#include "platform/word/Range.h"
#include "platform/word/Table.h"
#include "views/word/DocumentView.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <unistd.h>

using namespace qz;

// Under the address sanitizer, which reports a fault itself and ends the process.
extern "C" void __sanitizer_set_death_callback(void (*)()) __attribute__((weak));

namespace {

long EnvNumber(const char* name, long fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::strtol(v, nullptr, 10) : fallback;
}

// The sequence and step under way, told when the process dies in it.
char gWhere[160] = "";
void WriteWhere() {
    const ssize_t n = write(2, gWhere, strlen(gWhere));
    (void)n;
}
void TellWhere(int sig) {
    WriteWhere();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

// The model in a form that does not depend on table ids: each story's
// atoms with what they refer to, formats by their content.
std::string Dump(const word::Document& doc) {
    std::ostringstream out;
    const auto story = [&](const word::Story& s) {
        for (std::size_t i = 0; i < s.size(); ++i) {
            const word::Atom& a = s[i];
            const word::CharFormat& f = doc.Format(a.fmt);
            const word::FontDef* font = f.font >= 0 ? doc.FontByNumber(f.font) : nullptr;
            out << static_cast<int>(a.Kind()) << ':';
            switch (a.Kind()) {
            case word::AtomKind::ParaEnd: {
                const word::ParaEndInfo& pe = doc.ParaEnd(a.value);
                out << pe.word << '|' << pe.props << '|' << pe.row;
                break;
            }
            case word::AtomKind::FieldBegin: out << doc.FieldInfoAt(a.value).prefix; break;
            case word::AtomKind::Opaque: out << doc.Opaque(a.value); break;
            default: out << a.value;
            }
            // A field's begin and end characters and a row's start have no
            // format of their own in the file (their groups state none):
            // what they read back with is not compared.
            if (a.Kind() == word::AtomKind::FieldBegin || a.Kind() == word::AtomKind::FieldEnd ||
                word::IsRowStartMark(doc, a)) {
                out << '\n';
                continue;
            }
            out << " [" << (font ? font->name : "-") << ' ' << f.size << ' ' << doc.ColorRgb(f.color) << ' ' << f.bold
                << f.italic << f.underline << ' ' << f.extra << "]\n";
        }
    };
    story(doc.MainStory());
    out << "last: " << doc.mainLastProps << '\n';
    for (int k = 1; k <= doc.SectionCount(); ++k) {
        const word::Section& sec = const_cast<word::Document&>(doc).Sections(k);
        out << "section: " << sec.props << '\n';
        for (int h = 1; h <= word::kHeaderFooterKinds; ++h) {
            story(sec.Headers(h).story);
            story(sec.Footers(h).story);
        }
    }
    return out.str();
}

// A small template: a table whose second row repeats, its loop's fields in
// the row's cells.
std::string OrdersTemplate() {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    designer::modMSWordFields fields(app);
    word::Selection& sel = doc.GetSelection();
    sel.TypeText("Orders:\r");
    sel.InsertTable(2, 2);
    sel.TypeText("Date");
    sel.MoveToCell(false);
    sel.TypeText("Amount");
    sel.MoveToCell(false);
    fields.InsertStatementField({0, 0, "Each order", 0, 0, "Do While Not rs.EOF"});
    fields.InsertExpressionField("Date", "rs(\"date\")", "", "-1");
    sel.MoveToCell(false);
    sel.Collapse(true);
    fields.InsertExpressionField("Amount", "rs(\"amount\")", "", "-1");
    fields.InsertStatementField({0, 0, "Next order", 0, 0, "rs.MoveNext_QZCRLFLoop"});
    sel.EndKey(word::kUnitStory);
    sel.TypeText("After the table");
    return doc.ToRtf();
}

std::string Invoice() {
    std::ifstream in(QZ_SOURCE_DIR "/examples/invoice.rtf", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

const char* const kWords[] = {"x", "Date ", " ", "\r", "total", "\t", "Ünï ", "a\rb"};
const char* const kLabels[] = {"Each order", "Next order", "Loop", "DoWhile", "If"};

class EditSequence {
public:
    EditSequence(const std::string& rtf, unsigned seed) : rng_(seed), fields_(app_) {
        doc_ = &app_.GetDocuments().Add();
        doc_->LoadRtfText(rtf);
        doc_->ClearUndo();
        // What an earlier sequence cut is not pasted into this one.
        QApplication::clipboard()->clear();
        view_ = std::make_unique<views::DocumentView>(*doc_);
        view_->resize(900, 700);
        view_->show();
        view_->finishRendering();
        if (std::getenv("QZ_EDIT_FUZZ_TRACE")) std::fprintf(stderr, "template:\n%s\n", Outline().c_str());
    }

    // Runs the steps; the first fault found, "" when none.
    std::string Run(int steps, const std::string& where) {
        for (int k = 0; k < steps; ++k) {
            std::snprintf(gWhere, sizeof gWhere, "\n%s step %d died\n", where.c_str(), k);
            std::string op;
            try {
                op = Step();
            } catch (const std::exception& e) {
                return Fail(k, op, std::string("exception: ") + e.what());
            }
            if (std::getenv("QZ_EDIT_FUZZ_TRACE")) std::fprintf(stderr, "%s\n%s\n", log_.c_str(), Outline().c_str());
            if (std::string fault = Check(); !fault.empty()) return Fail(k, op, fault);
        }
        return {};
    }

private:
    std::string Fail(int k, const std::string& op, const std::string& fault) const {
        return "step " + std::to_string(k) + " (" + op + "): " + fault + "\nsteps:\n" + log_ + "text: " + Outline();
    }

    // The story with its marks shown: | a cell's end, || a row's, / a paragraph's, {} a field.
    std::string Outline() const {
        std::string out;
        const word::Story& s = doc_->MainStory();
        for (std::size_t i = 0; i < s.size() && out.size() < 4000; ++i) {
            const word::Atom& a = s[i];
            if (a.Kind() == word::AtomKind::ParaEnd) {
                const std::string& w = doc_->ParaEnd(a.value).word;
                out += w == "cell" ? "|" : w == "row" ? "||\n" : "/\n";
            } else if (a.Kind() == word::AtomKind::FieldBegin) out += "{";
            else if (a.Kind() == word::AtomKind::FieldEnd) out += "}";
            else if (a.Kind() == word::AtomKind::Opaque) out += "#";
            else out += word::StoryText(*doc_, s, static_cast<long>(i), static_cast<long>(i) + 1);
        }
        return out;
    }

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    long Length() const { return static_cast<long>(doc_->MainStory().size()); }
    int ViewLength() const { return view_->document()->characterCount() - 1; }

    // A caret or a selection of up to a few dozen characters at a random place of the view.
    void PlaceCursor(bool range) {
        QTextCursor c(view_->document());
        const int at = Pick(ViewLength() + 1);
        c.setPosition(at);
        if (range) c.setPosition(std::min(ViewLength(), at + 1 + Pick(40)), QTextCursor::KeepAnchor);
        view_->setTextCursor(c);
        const word::Selection& sel = doc_->GetSelection();
        Note("at " + std::to_string(c.anchor()) + "-" + std::to_string(c.position()) + " (model " +
             std::to_string(sel.Start()) + "-" + std::to_string(sel.End()) + ")");
    }

    void Note(const std::string& s) { log_ += "  " + s + "\n"; }

    // The begin characters of the designer's fields (MACROBUTTON) in the main story.
    std::vector<long> FieldBegins() const {
        std::vector<long> out;
        const word::Story& s = doc_->MainStory();
        for (long i = 0; i < Length(); ++i)
            if (s[static_cast<std::size_t>(i)].Kind() == word::AtomKind::FieldBegin &&
                word::FieldDisplayStart(s, i) >= 0)
                out.push_back(i);
        return out;
    }

    // A field's context-menu command, the menu opened on its label.
    bool FieldCommand(const char* command) {
        const std::vector<long> begins = FieldBegins();
        if (begins.empty()) return false;
        const long begin = begins[static_cast<std::size_t>(Pick(static_cast<int>(begins.size())))];
        const long label = word::FieldDisplayStart(doc_->MainStory(), begin) + 1;
        QTextCursor c(view_->document());
        c.setPosition(view_->viewPosition(label));
        std::unique_ptr<QMenu> menu(view_->contextMenuAt(view_->cursorRect(c).center()));
        Note(std::string(command) + " on the field at " + std::to_string(begin));
        for (QAction* a : menu->actions())
            if (a->text() == command) {
                a->trigger();
                return true;
            }
        Note("  no such command there");
        return false;
    }

    void InsertField() {
        PlaceCursor(Pick(4) == 0);
        const std::string label = kLabels[Pick(std::size(kLabels))];
        Note("insert field " + label);
        // As the studio runs a designer command: one undo step, the view drawn again.
        view_->pullSelection();
        doc_->BeginUndoStep();
        try {
            if (Pick(2) == 0) fields_.InsertStatementField({0, 0, label, 0, 0, "rs.MoveNext"});
            else fields_.InsertExpressionField(label, "rs(\"x\")", "", "-1");
        } catch (const AutomationError&) {
            Note("  refused");
        }
        doc_->EndUndoStep();
        view_->renderAll();
    }

    void TypeInCell() {
        std::vector<long> cells;
        const word::Story& s = doc_->MainStory();
        for (long i = 0; i < Length(); ++i)
            if (s[static_cast<std::size_t>(i)].Kind() == word::AtomKind::ParaEnd &&
                doc_->ParaEnd(s[static_cast<std::size_t>(i)].value).word == "cell")
                cells.push_back(i);
        if (cells.empty()) return;
        // The caret at the end of a cell's text, or the cell's text selected by Tab.
        const long mark = cells[static_cast<std::size_t>(Pick(static_cast<int>(cells.size())))];
        doc_->GetSelection().MoveTo(&doc_->MainStory(), mark, mark);
        view_->pushSelection();
        Note("in the cell ending at " + std::to_string(mark));
        if (Pick(3) == 0) {
            view_->moveToCell(Pick(2) == 0);
            Note("  tab");
        }
        view_->typeText(kWords[Pick(std::size(kWords))], true);
    }

    // The caret inside a field's label, then Enter (or text typed there).
    void EnterInField() {
        const std::vector<long> begins = FieldBegins();
        if (begins.empty()) return;
        const long begin = begins[static_cast<std::size_t>(Pick(static_cast<int>(begins.size())))];
        const long at = word::FieldDisplayStart(doc_->MainStory(), begin) + 1 + Pick(3);
        doc_->GetSelection().SetRange(at, at);
        view_->pushSelection();
        Note("in the field at " + std::to_string(begin) + ", at " + std::to_string(at));
        if (Pick(3) == 0) view_->typeText(kWords[Pick(std::size(kWords))], true);
        else view_->newParagraph();
    }

    std::string Step() {
        switch (Pick(11)) {
        case 0:
            PlaceCursor(Pick(3) == 0);
            Note("type");
            view_->typeText(kWords[Pick(std::size(kWords))], true);
            return "type";
        case 1:
            PlaceCursor(true);
            Note("cut");
            view_->cutToClipboard();
            return "cut";
        case 2:
            PlaceCursor(Pick(4) == 0);
            Note("paste");
            view_->pasteFromClipboard();
            return "paste";
        case 3:
            PlaceCursor(Pick(2) == 0);
            Note("delete");
            if (Pick(2) == 0) view_->deleteForward();
            else view_->deleteBackward();
            return "delete";
        case 4: FieldCommand("&Delete Field"); return "delete field";
        case 5:
            if (FieldCommand("&Select Field") && Pick(2) == 0) {
                Note("cut");
                view_->cutToClipboard();
            }
            return "select field";
        case 6: InsertField(); return "insert field";
        case 7: TypeInCell(); return "type in a cell";
        case 8: Note("undo"); view_->undo(); return "undo";
        case 9: EnterInField(); return "enter in a field";
        default: Note("redo"); view_->redo(); return "redo";
        }
    }

    std::string Check() {
        if (std::string fault = doc_->CheckModel(); !fault.empty()) return "model: " + fault;
        const word::Story& s = doc_->MainStory();
        for (const long b : FieldBegins())
            for (long i = b; i < word::MatchingFieldEnd(s, b); ++i)
                if (s[static_cast<std::size_t>(i)].Kind() == word::AtomKind::ParaEnd)
                    return "a paragraph mark in the field at " + std::to_string(b);
        // What a tab switch reads of the selection.
        (void)view_->modelCharFormat();
        (void)view_->modelParaFormat();
        // Saved and loaded, the same model.
        word::Application other;
        word::Document& again = other.GetDocuments().Add();
        again.LoadRtfText(doc_->ToRtf());
        if (std::string fault = again.CheckModel(); !fault.empty()) return "model read back: " + fault;
        if (Dump(again) != Dump(*doc_)) return "read back as another model:\n" + Diff(Dump(*doc_), Dump(again));
        return CheckView();
    }

    // Every model position maps into the view and back, in order, as a view
    // drawn afresh maps it.
    std::string CheckView() {
        view_->finishRendering();
        views::DocumentView fresh(*doc_);
        fresh.finishRendering();
        if (fresh.document()->toPlainText() != view_->document()->toPlainText())
            return "the view shows other text than a view drawn afresh (blocks " + std::to_string(view_->blockCount()) +
                   " of " + std::to_string(view_->document()->blockCount()) + ", afresh " +
                   std::to_string(fresh.blockCount()) + "):\n" +
                   Diff(view_->document()->toPlainText().toStdString() + "\n",
                        fresh.document()->toPlainText().toStdString() + "\n");
        int last = 0;
        for (long p = 0; p <= Length(); ++p) {
            const int v = view_->viewPosition(p);
            if (v != fresh.viewPosition(p))
                return "model position " + std::to_string(p) + " maps to " + std::to_string(v) +
                       ", afresh to " + std::to_string(fresh.viewPosition(p));
            if (v < last || v > ViewLength()) return "model position " + std::to_string(p) + " maps out of order";
            last = v;
            const long back = view_->modelPosition(v);
            if (back < 0 || back > Length()) return "view position " + std::to_string(v) + " maps outside the story";
        }
        return {};
    }

    // The first line that differs, with two before it.
    static std::string Diff(const std::string& a, const std::string& b) {
        std::size_t i = 0;
        while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
        std::size_t from = i;
        for (int lines = 0; from > 0 && lines < 3; --from)
            if (a[from - 1] == '\n') ++lines;
        const auto upTo = [&](const std::string& s) { return s.substr(from, i - from + 120); };
        const auto shown = [](std::string t) {
            for (char& c : t)
                if (c == '\n') c = '~';
            return t;
        };
        return "at " + std::to_string(i) + ", was: ..." + shown(upTo(a)) + "\nnow: ..." + shown(upTo(b));
    }

    std::mt19937 rng_;
    word::Application app_;
    designer::modMSWordFields fields_;
    word::Document* doc_ = nullptr;
    std::unique_ptr<views::DocumentView> view_;
    std::string log_;
};

void RunSequences(const std::string& name, const std::string& rtf, long defaultCount) {
    std::signal(SIGSEGV, TellWhere);
    std::signal(SIGABRT, TellWhere);
    if (__sanitizer_set_death_callback) __sanitizer_set_death_callback(WriteWhere);
    const long first = EnvNumber("QZ_EDIT_FUZZ_SEED", 1);
    const long count = std::getenv("QZ_EDIT_FUZZ_SEED") ? EnvNumber("QZ_EDIT_FUZZ_SEQUENCES", 1)
                                                        : EnvNumber("QZ_EDIT_FUZZ_SEQUENCES", defaultCount);
    const int steps = static_cast<int>(EnvNumber("QZ_EDIT_FUZZ_STEPS", 25));
    int failures = 0;
    for (long seed = first; seed < first + count && failures < 3; ++seed) {
        const std::string where = name + " seed " + std::to_string(seed);
        EditSequence run(rtf, static_cast<unsigned>(seed));
        if (std::string fault = run.Run(steps, where); !fault.empty()) {
            ADD_FAILURE() << where << ", " << fault;
            ++failures;
        }
    }
    gWhere[0] = '\0';
}

} // namespace

TEST(EditFuzz, OrdersTableWithLoopFieldsInARow) { RunSequences("orders", OrdersTemplate(), 60); }

TEST(EditFuzz, Invoice) { RunSequences("invoice", Invoice(), 30); }

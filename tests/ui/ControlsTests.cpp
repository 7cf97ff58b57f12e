// The control models as a user meets them: the tree, the report list, the
// bars, focus and key events, popup menus and the printer object.
#include "platform/automation/AutomationError.h"
#include "platform/ui/Bars.h"
#include "platform/ui/ListView.h"
#include "platform/ui/Printer.h"
#include "platform/ui/TreeView.h"
#include "platform/ui/UiHost.h"

#include <gtest/gtest.h>

using namespace qz;
using namespace qz::ui;

namespace {

int errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const AutomationError& e) {
        return e.Number;
    }
    return 0;
}

std::vector<std::string> texts(const std::vector<Node*>& nodes) {
    std::vector<std::string> out;
    for (const Node* n : nodes) out.push_back(n->Text);
    return out;
}

} // namespace

TEST(TreeView, AddsByRelationshipAndRefusesBadKeys) {
    TreeView t;
    t.Add("root", "Root").Expanded = true;
    t.Add("root", tvwChild, "b", "B");
    t.Add("b", tvwPrevious, "a", "A");
    t.Add("b", tvwNext, "c", "C");
    t.Add("a", tvwFirst, "first", "First");
    t.Add("b", tvwChild, "b1", "B1");
    t.Add("", tvwFirst, "top", "Top");
    EXPECT_EQ(texts(t.Roots()), (std::vector<std::string>{"Top", "Root"}));
    EXPECT_EQ(texts(t.Item("root").Children()), (std::vector<std::string>{"First", "A", "B", "C"}));
    EXPECT_EQ(t.Item("b1").Parent(), t.Find("b"));
    EXPECT_EQ(t.Item("b1").Depth(), 2);
    // B is collapsed: its child is not shown.
    EXPECT_EQ(texts(t.VisibleNodes()), (std::vector<std::string>{"Top", "Root", "First", "A", "B", "C"}));

    EXPECT_EQ(errorOf([&] { t.Add("root", tvwChild, "a", "again"); }), 35602);
    EXPECT_EQ(errorOf([&] { t.Add("nothere", tvwChild, "x", "X"); }), 35601);
    EXPECT_EQ(errorOf([&] { t.Item("nothere"); }), 35601);
    // Keys compare exactly; nodes without a key do not collide.
    t.Add("root", tvwChild, "A", "Upper a");
    t.Add("root", tvwChild, "", "no key 1");
    t.Add("root", tvwChild, "", "no key 2");
    EXPECT_EQ(t.Count(), 10u);
}

TEST(TreeView, RemovingTheSelectionSelectsANeighbour) {
    TreeView t;
    t.Add("root", "Root");
    for (const char* k : {"c1", "c2", "c3"}) t.Add("root", tvwChild, k, k);
    t.Add("c3", tvwChild, "c3x", "deep");
    t.Select(t.Find("c3x"));
    t.Remove("c3");  // the selection goes with its parent
    EXPECT_EQ(t.SelectedItem(), t.Find("c2"));
    EXPECT_EQ(t.Find("c3x"), nullptr);
    t.Remove("c2");  // last child: the previous one
    EXPECT_EQ(t.SelectedItem(), t.Find("c1"));
    t.Remove("c1");  // only child: the parent
    EXPECT_EQ(t.SelectedItem(), t.Find("root"));
    EXPECT_TRUE(t.Item("root").Selected());
    t.Add("root", tvwChild, "c1", "again");  // the key is free again
    t.Clear();
    EXPECT_EQ(t.SelectedItem(), nullptr);
    EXPECT_EQ(t.Count(), 0u);
}

TEST(TreeView, LabelEditingAsksBeforeAndAfter) {
    TreeView t;
    t.Add("root", "Root").Expanded = true;
    t.Add("root", tvwChild, "cn", "Old");
    EXPECT_FALSE(t.StartLabelEdit());  // nothing selected

    t.BeforeLabelEdit = [&](bool& cancel) { cancel = t.SelectedItem()->Key() == "root"; };
    std::string seen;
    t.AfterLabelEdit = [&](bool& cancel, const std::string& text) {
        seen = text;
        cancel = text.empty();
    };
    t.Select(t.Find("root"));
    EXPECT_FALSE(t.StartLabelEdit());
    EXPECT_EQ(t.EditingNode(), nullptr);

    t.Select(t.Find("cn"));
    ASSERT_TRUE(t.StartLabelEdit());
    EXPECT_FALSE(t.EndLabelEdit(""));
    EXPECT_EQ(t.Item("cn").Text, "Old");
    ASSERT_TRUE(t.StartLabelEdit());
    EXPECT_TRUE(t.EndLabelEdit("New"));
    EXPECT_EQ(seen, "New");
    EXPECT_EQ(t.Item("cn").Text, "New");
    EXPECT_FALSE(t.EndLabelEdit("Again"));  // no edit in progress

    // A handler that removes the node it was asked about.
    t.AfterLabelEdit = [&](bool&, const std::string&) { t.Remove("cn"); };
    t.Select(t.Find("cn"));
    ASSERT_TRUE(t.StartLabelEdit());
    EXPECT_FALSE(t.EndLabelEdit("Gone"));
}

TEST(TreeView, HeadlessGeometryFollowsTheShownRows) {
    TreeView t;
    t.Add("root", "Root").Expanded = true;
    t.Add("root", tvwChild, "kid", "Kid");
    t.Add("kid", tvwChild, "hidden", "Hidden");
    Rect r{1, 2, 3, 4};
    EXPECT_FALSE(t.NodeRect(t.Item("hidden"), r));
    EXPECT_EQ(r, (Rect{1, 2, 3, 4}));
    ASSERT_TRUE(t.NodeRect(t.Item("kid"), r));
    EXPECT_EQ(r.Top, t.RowHeight);
    EXPECT_EQ(r.Left, 2 * t.Indentation);
    EXPECT_EQ(r.Right, r.Left + 3 * t.CharWidth + 4);
    EXPECT_EQ(t.HitTest(r.Left + 1, r.Top + 1), t.Find("kid"));
    EXPECT_EQ(t.HitTest(r.Right + 50, r.Top + 1), nullptr);
    EXPECT_EQ(t.HitTest(5, 5 * t.RowHeight), nullptr);
    t.EnsureVisible(t.Item("hidden"));
    EXPECT_EQ(t.HitTest(3 * t.Indentation, 2 * t.RowHeight + 3), t.Find("hidden"));
}

TEST(ListView, ColumnSortingAndKeys) {
    ListView lv;
    lv.AddColumn("Name");
    lv.AddColumn("Type");
    auto add = [&](const char* name, const char* type) { lv.Add(name).SetSubItem(1, type); };
    add("beta", "Table");
    add("Alpha", "View");
    add("gamma", "table");
    lv.Add("delta", "k1").Checked = true;
    EXPECT_EQ(errorOf([&] { lv.Add("x", "k1"); }), 35602);
    EXPECT_EQ(lv.Item(3).SubItem(1), "");  // no sub-item
    EXPECT_EQ(lv.Find("k1")->Text, "delta");

    lv.SortByColumn(0);  // ascending, case ignored
    EXPECT_EQ(lv.Item(0).Text, "Alpha");
    EXPECT_EQ(lv.Item(3).Text, "gamma");
    lv.SortByColumn(0);  // again: descending
    EXPECT_EQ(lv.Item(0).Text, "gamma");
    EXPECT_EQ(lv.SortOrder, lvwDescending);
    lv.SortByColumn(1);  // another column: ascending; equal texts keep their order
    EXPECT_EQ(lv.SortKey, 1);
    EXPECT_EQ(lv.Item(0).Text, "delta");  // no sub-item sorts first
    EXPECT_EQ(lv.Item(1).Text, "gamma");
    EXPECT_EQ(lv.Item(2).Text, "beta");
    lv.Add("zzz");  // sorted on: placed in order at once
    EXPECT_EQ(lv.Item(1).Text, "zzz");
    lv.Remove(1);

    lv.Select(&lv.Item(2));
    EXPECT_EQ(lv.SelectedItem(), &lv.Item(2));
    lv.Remove(2);
    EXPECT_EQ(lv.SelectedItem(), nullptr);
    EXPECT_EQ(errorOf([&] { lv.Remove(99); }), 35600);
}

TEST(Bars, PanelsAndButtons) {
    StatusBar sb;
    sb.AddPanel("type");
    sb.AddPanel("line", "Line");
    sb.Panel(1).Text = "Long";
    EXPECT_EQ(sb.Panel("type").Text, "Long");
    EXPECT_EQ(errorOf([&] { sb.Panel(3); }), 35600);
    EXPECT_EQ(errorOf([&] { sb.Panel(0); }), 35600);
    EXPECT_EQ(errorOf([&] { sb.Panel("nope"); }), 35601);

    Toolbar tb;
    tb.AddButton("AddCn", "Add connection");
    tb.AddButton("", "", tbrSeparator);
    tb.AddButton("Delete", "Delete");
    tb.Button("Delete").Enabled = false;
    EXPECT_FALSE(tb.Buttons[2].Enabled);
    EXPECT_EQ(errorOf([&] { tb.Button("Nope"); }), 35601);
    EXPECT_EQ(errorOf([&] { tb.AddButton("AddCn"); }), 35602);
}

namespace {

struct FocusForm : Form {
    FocusForm() : Form("frmFocus") {
        a.Name = "a";
        b.Name = "b";
        a.Validate = [this](bool& cancel) {
            log += "validate(a" + std::string(TabKeyDown() ? ",tab) " : ") ");
            cancel = refuse;
        };
        a.LostFocus = [this] { log += "lost(a) "; };
        b.GotFocus = [this] { log += "got(b) "; };
        a.KeyPress = [](int& k) {
            if (k == '\'') k = 0;
            else if (k >= 'a' && k <= 'z') k -= 32;
        };
        b.KeyDown = [this](int& code, int shift) {
            if (code == 'A' && shift == 2) {
                b.SelStart = 0;
                b.SelLength = static_cast<int>(b.Text.size());
                code = 0;
            }
        };
    }
    TextBox a, b;
    std::string log;
    bool refuse = false;
};

} // namespace

TEST(FormEvents, FocusRunsValidateLostAndGotInOrder) {
    FocusForm f;
    EXPECT_TRUE(f.SetFocusTo(f.a));
    EXPECT_EQ(f.log, "");  // nothing had the focus, and a has no GotFocus
    f.refuse = true;
    EXPECT_FALSE(f.SetFocusTo(f.b, true));
    EXPECT_EQ(f.ActiveControl(), &f.a);
    EXPECT_EQ(f.log, "validate(a,tab) ");
    EXPECT_FALSE(f.TabKeyDown());
    f.refuse = false;
    f.log.clear();
    EXPECT_TRUE(f.SetFocusTo(f.b));
    EXPECT_EQ(f.log, "validate(a) lost(a) got(b) ");
    EXPECT_TRUE(f.SetFocusTo(f.b));  // already there: nothing runs
    EXPECT_EQ(f.log, "validate(a) lost(a) got(b) ");
    f.a.Enabled = false;
    EXPECT_FALSE(f.SetFocusTo(f.a));
}

TEST(FormEvents, KeysReachHandlersBeforeTheBox) {
    FocusForm f;
    f.a.Text = "xy";
    f.a.SelStart = 1;
    EXPECT_EQ(Form::TypeKey(f.a, 'Q', 0, 'q'), 'Q');  // the handler changed it
    EXPECT_EQ(f.a.Text, "xQy");
    EXPECT_TRUE(f.a.DataChanged);
    EXPECT_EQ(Form::TypeKey(f.a, 222, 0, '\''), 0);    // discarded
    EXPECT_EQ(f.a.Text, "xQy");
    Form::TypeKey(f.a, 8, 0, 8);  // backspace
    EXPECT_EQ(f.a.Text, "xy");
    EXPECT_EQ(f.a.SelStart, 1);

    f.b.Text = "héllo";
    f.b.MaxLength = 5;
    EXPECT_EQ(Form::TypeKey(f.b, 'A', 2, 1), 0);  // Ctrl+A consumed in KeyDown
    EXPECT_EQ(f.b.SelText(), "héllo");
    Form::TypeKey(f.b, 'Z', 0, 'z');  // replaces the whole selection
    EXPECT_EQ(f.b.Text, "z");
    f.b.Text = "12345";
    f.b.SelStart = 5;
    f.b.SelLength = 0;
    Form::TypeKey(f.b, '6', 0, '6');  // full: the box takes no more
    EXPECT_EQ(f.b.Text, "12345");
    f.b.Locked = true;
    f.b.SelStart = 0;
    Form::TypeKey(f.b, 'X', 0, 'x');
    EXPECT_EQ(f.b.Text, "12345");
}

TEST(FormEvents, PopupMenuRunsTheChosenEnabledItem) {
    HeadlessUiHost host;
    setCurrentHost(&host);
    Form f("frmMenu");
    Menu m;
    m.Name = "mnuPopupCon";
    int props = 0, del = 0;
    m.Add("mnuProperties", "Properties", [&] { ++props; });
    m.Add("mnuSep", "-");
    m.Add("mnuDelete", "Delete", [&] { ++del; }).Enabled = false;
    host.queuePopupMenu("mnuProperties");
    host.queuePopupMenu("mnuDelete");
    EXPECT_EQ(f.PopupMenu(m, 10, 20, "mnuProperties"), "mnuProperties");
    EXPECT_EQ(f.PopupMenu(m, 0, 0), "");  // disabled: nothing runs
    EXPECT_EQ(f.PopupMenu(m, 0, 0), "");  // no answer queued: dismissed
    EXPECT_EQ(props, 1);
    EXPECT_EQ(del, 0);
    const auto asked = host.requests(UiRequest::PopupMenu);
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0].prompt, "mnuPopupCon");
    EXPECT_EQ(asked[0].text, "mnuProperties");
    EXPECT_EQ(asked[0].x, 10);
    EXPECT_EQ(asked[0].y, 20);
    setCurrentHost(nullptr);
}

TEST(Printer, DocumentsGoToTheBackendLineByLine) {
    HeadlessPrinterBackend backend;
    backend.installed = {{"Office", "cups", "ipp://office"}, {"Label", "cups", "usb:"}};
    setPrinterBackend(&backend);
    Printer& p = CurrentPrinter();
    EXPECT_EQ(p.DeviceName, "Office");
    EXPECT_EQ(Printers().size(), 2u);

    p.EndDoc();  // nothing printed: no document
    EXPECT_TRUE(backend.documents.empty());
    p.FontSize = 12;
    p.Print("Label - 1");
    p.Print("line one\r\nline two\nline three\r\n");
    p.Print("");
    p.NewPage();
    p.Print("next page");
    EXPECT_TRUE(p.Printing());
    p.EndDoc();
    ASSERT_EQ(backend.documents.size(), 1u);
    const auto& doc = backend.documents[0];
    EXPECT_EQ(doc.lines, (std::vector<std::string>{"Label - 1", "line one", "line two", "line three", "",
                                                   "\f", "next page"}));
    EXPECT_TRUE(doc.ended);
    EXPECT_EQ(doc.settings.FontSize, 12);

    p.Print("dropped");
    p.KillDoc();
    EXPECT_TRUE(backend.documents[1].killed);
    EXPECT_FALSE(p.Printing());

    p.FontSize = 0;
    EXPECT_EQ(errorOf([&] { p.Print("x"); }), 482);
    p.FontSize = 10;
    p.Copies = 0;
    EXPECT_EQ(errorOf([&] { p.Print("x"); }), 482);
    EXPECT_EQ(backend.documents.size(), 2u);  // a refused document never starts

    backend.installed.clear();
    setPrinterBackend(&backend);  // no printer at all: a clear error, not a crash
    EXPECT_EQ(errorOf([&] { CurrentPrinter().Print("x"); }), 482);
    setPrinterBackend(nullptr);
}

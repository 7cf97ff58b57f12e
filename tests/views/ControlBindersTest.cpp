// The binders of the tree, list, grid, bars, tabs, combo and text boxes, the
// focus and key events, and printing through Qt, on the offscreen platform.
#include "production/TestFiles.h"
#include "views/host/FormView.h"
#include "views/host/QtPrinter.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QStatusBar>
#include <QTabBar>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace qz;

namespace {

struct frmControls : ui::Form {
    frmControls() : Form("frmControls", "Controls") {
        for (ui::Control* c : std::vector<ui::Control*>{&tree, &list, &grid, &status, &tools, &tabs, &combo,
                                                        &txtA, &txtB}) {
            c->Name = names[n++];
        }
    }
    const char* names[9] = {"tree", "list", "grid", "status", "tools", "tabs", "combo", "txtA", "txtB"};
    int n = 0;
    ui::TreeView tree;
    ui::ListView list;
    ui::DataGrid grid;
    ui::StatusBar status;
    ui::Toolbar tools;
    ui::TabStrip tabs;
    ui::ComboBox combo;
    ui::TextBox txtA, txtB;
    std::vector<std::string> log;
};

class ControlsView : public views::FormView {
public:
    explicit ControlsView(frmControls& f) : FormView(f) {
        bind(f.tree, [&f] { f.log.push_back("node " + (f.tree.SelectedItem() ? f.tree.SelectedItem()->Key() : "")); });
        bind(f.list, [&f](ui::ListItem& i) { f.log.push_back("check " + i.Text + (i.Checked ? " on" : " off")); });
        bind(f.grid);
        bind(f.status);
        bind(f.tools, [&f](const std::string& key) { f.log.push_back("button " + key); });
        bind(f.tabs, [&f] { f.log.push_back("tab " + std::to_string(f.tabs.SelectedTab)); });
        bind(f.combo, [&f] { f.log.push_back("combo " + f.combo.Text); });
        bind(f.txtA);
        bind(f.txtB);
        resize(600, 500);
    }
};

struct Binders : ::testing::Test {
    frmControls f;
    std::unique_ptr<ControlsView> view;
    void SetUp() override {
        f.tree.Add("root", "Data Sources").Expanded = true;
        f.tree.Add("root", ui::tvwChild, "DBCON1", "Orders");
        f.tree.Add("DBCON1", ui::tvwChild, "DBCMD1", "AllOrders");
        f.list.AddColumn("Name");
        f.list.AddColumn("Type");
        f.list.CheckBoxes = true;
        for (const char* t : {"beta", "Alpha", "gamma"}) f.list.Add(t).SetSubItem(1, "Table");
        f.status.AddPanel("type");
        f.status.AddPanel("line", "Line 1");
        f.tools.AddButton("AddCn", "Add connection");
        f.tools.AddButton("", "", ui::tbrSeparator);
        f.tools.AddButton("Delete", "Delete").Enabled = false;
        f.tabs.TabCaptions = {"Tables", "Fields", "SQL"};
        f.tabs.SetTabEnabled(1, false);
        f.combo.Style = 2;
        f.combo.AddItem("AND");
        f.combo.AddItem("OR");
        f.ShowModeless();
        view = std::make_unique<ControlsView>(f);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }
    template <typename T>
    T* find(const char* name) {
        T* w = view->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
};

} // namespace

TEST_F(Binders, TreeShowsNodesAndAnswersClicksGeometryAndLabelEdits) {
    auto* w = find<QTreeView>("tree");
    QAbstractItemModel* m = w->model();
    ASSERT_EQ(m->rowCount(), 1);
    const QModelIndex root = m->index(0, 0);
    ASSERT_EQ(m->rowCount(root), 1);
    const QModelIndex con = m->index(0, 0, root);
    EXPECT_EQ(con.data().toString(), "Orders");
    EXPECT_FALSE(w->isExpanded(con));

    // A click selects the node and reaches NodeClick.
    const QRect r = w->visualRect(con);
    QTest::mouseClick(w->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(f.tree.SelectedItem(), f.tree.Find("DBCON1"));
    ASSERT_FALSE(f.log.empty());
    EXPECT_EQ(f.log.back(), "node DBCON1");

    // Geometry from the widget: the label of the selected node, and the node
    // back from a point in it.
    ui::Rect rect;
    ASSERT_TRUE(f.tree.NodeRect(*f.tree.Find("DBCON1"), rect));
    EXPECT_GT(rect.Right, rect.Left);
    EXPECT_EQ(f.tree.HitTest((rect.Left + rect.Right) / 2, (rect.Top + rect.Bottom) / 2), f.tree.Find("DBCON1"));
    EXPECT_FALSE(f.tree.NodeRect(*f.tree.Find("DBCMD1"), rect));  // under a collapsed node

    // Expanding in the widget reaches the model; the model's expansion the widget.
    w->setExpanded(con, true);
    EXPECT_TRUE(f.tree.Find("DBCON1")->Expanded);
    f.tree.Find("DBCON1")->Expanded = false;
    view->push();
    EXPECT_FALSE(w->isExpanded(con));

    // A label edit started by the form opens the editor; the after-edit
    // handler refuses an empty name and takes another.
    f.tree.AfterLabelEdit = [&](bool& cancel, const std::string& text) { cancel = text.empty(); };
    ASSERT_TRUE(f.tree.StartLabelEdit());
    view->push();
    auto* editor = w->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("Customers");
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();  // the editor commits from the event loop
    EXPECT_EQ(f.tree.Find("DBCON1")->Text, "Customers");
    EXPECT_EQ(con.data().toString(), "Customers");
    EXPECT_EQ(f.tree.EditingNode(), nullptr);
    ASSERT_TRUE(f.tree.StartLabelEdit());
    view->push();
    editor = w->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("");
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(con.data().toString(), "Customers");  // refused: the old label is back

    // Nodes removed by code are never read again, even by a paint before
    // the next push; the push shows the tree as it is.
    f.tree.Remove("DBCON1");
    EXPECT_FALSE(con.data().isValid());
    w->viewport()->repaint();
    view->push();
    EXPECT_EQ(m->rowCount(m->index(0, 0)), 0);
    view.reset();
    EXPECT_EQ(f.tree.View, nullptr);
}

TEST_F(Binders, ListChecksAndSortsByHeaderClicks) {
    auto* w = find<QTreeWidget>("list");
    ASSERT_EQ(w->topLevelItemCount(), 3);
    EXPECT_EQ(w->headerItem()->text(1), "Type");
    QTreeWidgetItem* alpha = w->topLevelItem(1);
    EXPECT_EQ(alpha->text(0), "Alpha");
    alpha->setCheckState(0, Qt::Checked);  // as a click on the box does
    ASSERT_FALSE(f.log.empty());
    EXPECT_EQ(f.log.back(), "check Alpha on");
    EXPECT_TRUE(f.list.Item(1).Checked);

    QHeaderView* header = w->header();
    const QPoint first(header->sectionViewportPosition(0) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, first);
    EXPECT_EQ(w->topLevelItem(0)->text(0), "Alpha");
    EXPECT_EQ(w->topLevelItem(0)->checkState(0), Qt::Checked);  // the check moves with its row
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, first);
    EXPECT_EQ(w->topLevelItem(0)->text(0), "gamma");
    EXPECT_EQ(f.list.SortOrder, ui::lvwDescending);
}

TEST_F(Binders, ListColumnsWidenToTheirTextInTheFontShown) {
    f.list.ColumnHeaders[0].Width = 40; // too narrow for their texts in any font
    f.list.ColumnHeaders[1].Width = 20;
    f.list.Add("a much longer name than the column was made for").SetSubItem(1, "Table");
    view->push();
    auto* w = find<QTreeWidget>("list");
    const QFontMetrics fm(w->font());
    EXPECT_GE(w->columnWidth(1), fm.horizontalAdvance("Table"));
    EXPECT_GE(w->columnWidth(0), fm.horizontalAdvance("a much longer name than the column was made for"));
}

TEST_F(Binders, GridShowsChapterRowsUnderTheirParent) {
    ui::GridTable child;
    child.Columns = {"Product", "Amount"};
    child.Rows = {{{"Tea", "12"}, {}}, {{"Milk", "3"}, {}}};
    f.grid.Data.Columns = {"ID", "Items"};
    f.grid.Data.ChapterColumns = {false, true};
    f.grid.Data.Rows = {{{"1", ""}, {{1, child}}}, {{"2", ""}, {}}};
    view->push();
    auto* w = find<QTreeWidget>("grid");
    ASSERT_EQ(w->topLevelItemCount(), 2);
    EXPECT_EQ(w->headerItem()->text(0), "ID");
    QTreeWidgetItem* chapter = w->topLevelItem(0)->child(0);
    ASSERT_NE(chapter, nullptr);
    EXPECT_EQ(chapter->text(0), "Items");
    ASSERT_EQ(chapter->childCount(), 3);  // the header row and two rows
    EXPECT_EQ(chapter->child(0)->text(1), "Amount");
    EXPECT_EQ(chapter->child(2)->text(0), "Milk");
}

TEST_F(Binders, BarsTabsCombosAndTextBoxes) {
    auto* status = find<QStatusBar>("status");
    auto* line = status->findChild<QLabel*>("panel2");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->text(), "Line 1");

    auto* tools = find<QToolBar>("tools");
    auto* add = tools->findChild<QAction*>("AddCn");
    auto* del = tools->findChild<QAction*>("Delete");
    ASSERT_TRUE(add && del);
    EXPECT_FALSE(del->isEnabled());
    EXPECT_EQ(add->toolTip(), "Add connection");
    add->trigger();
    EXPECT_EQ(f.log.back(), "button AddCn");

    auto* tabs = find<QTabBar>("tabs");
    EXPECT_FALSE(tabs->isTabEnabled(1));
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    EXPECT_EQ(f.tabs.SelectedTab, 0);
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
    EXPECT_EQ(f.log.back(), "tab 2");

    // A selection set by code fires no Click; a locked combo keeps its choice.
    auto* combo = find<QComboBox>("combo");
    const std::size_t before = f.log.size();
    f.combo.Select(1);
    view->push();
    EXPECT_EQ(combo->currentText(), "OR");
    EXPECT_EQ(f.log.size(), before);
    f.combo.Locked = true;
    combo->setCurrentIndex(0);
    emit combo->activated(0);
    EXPECT_EQ(combo->currentText(), "OR");
    EXPECT_EQ(f.log.size(), before);

    auto* a = find<QLineEdit>("txtA");
    f.txtA.Text = "by code";
    view->push();
    EXPECT_FALSE(f.txtA.DataChanged);
    a->setFocus();
    QTest::keyClicks(a, "x");
    EXPECT_TRUE(f.txtA.DataChanged);
}

TEST_F(Binders, FocusValidateAndKeysReachTheForm) {
    auto* a = find<QLineEdit>("txtA");
    auto* b = find<QLineEdit>("txtB");
    bool refuse = true;
    f.txtA.Validate = [&](bool& cancel) { cancel = refuse; };
    f.txtA.KeyPress = [](int& k) {
        if (k == '\'') k = 0;
        else if (k >= 'a' && k <= 'z') k -= 32;
    };
    view->activateWindow();
    a->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(f.ActiveControl(), &f.txtA);
    QTest::keyClicks(a, "ab'c");
    EXPECT_EQ(a->text(), "ABC");

    b->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(f.ActiveControl(), &f.txtA);  // Validate kept the focus
    EXPECT_TRUE(a->hasFocus());
    refuse = false;
    b->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(f.ActiveControl(), &f.txtB);

    // Tab is no character for the box's filter: it moves the focus, and the
    // leaving box's Validate knows it.
    bool byTab = false;
    f.txtA.KeyPress = [](int& k) { k = 0; };
    f.txtA.Validate = [&](bool&) { byTab = f.TabKeyDown(); };
    a->setFocus();
    QApplication::processEvents();
    QTest::keyClick(a, Qt::Key_Tab);
    QApplication::processEvents();
    EXPECT_EQ(f.ActiveControl(), &f.txtB);
    EXPECT_TRUE(byTab);
}

TEST(QtPrinter, PrintsToAPdfFileWhereNoPrinterIsSetUp) {
    test::TempDir dir;
    views::QtPrinterBackend backend;
    ui::setPrinterBackend(&backend);
    ui::Printer& p = ui::CurrentPrinter();
    ASSERT_FALSE(p.DeviceName.empty());
    const std::string pdf = dir.path() + "/field.pdf";
    p.OutputFileName = pdf;
    p.FontSize = 12;
    p.Print("Statement - 1");
    p.Print("If q.EOF Then");
    p.EndDoc();
    ui::setPrinterBackend(nullptr);

    QProcess pdftotext;
    pdftotext.start("pdftotext", {QString::fromStdString(pdf), "-"});
    ASSERT_TRUE(pdftotext.waitForFinished(20000));
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
    EXPECT_TRUE(text.contains("Statement - 1")) << text.toStdString();
    EXPECT_TRUE(text.contains("If q.EOF Then")) << text.toStdString();

    // A document thrown away leaves no file.
    ui::setPrinterBackend(&backend);
    ui::Printer& again = ui::CurrentPrinter();
    again.OutputFileName = dir.path() + "/dropped.pdf";
    again.Print("x");
    again.KillDoc();
    ui::setPrinterBackend(nullptr);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.path() + "/dropped.pdf")));
}

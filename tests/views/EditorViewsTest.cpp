// The field editors' windows under Qt: the data tree, the code box (Tab
// indents, the caret shows in the status bar), the format frames following
// the kind chosen, the find dialog and the picker; a field's code printed to
// a PDF file where no printer is set up.
#include "core/DesignerState.h"
#include "core/ModGlobal.h"
#include "editors/FieldCode.h"
#include "editors/forms/frmExpression.h"
#include "editors/forms/frmFindReplace.h"
#include "editors/forms/frmRepeatingPar.h"
#include "editors/forms/frmStatement.h"
#include "production/TestFiles.h"
#include "designer/Designer.h"
#include "designer/ModMSWordMenuToolbar.h"
#include "platform/word/Application.h"
#include "views/host/QtPrinter.h"
#include "views/host/QtUiHost.h"
#include "views/word/DocumentView.h"
#include "views/studio/StudioWindow.h"
#include "views/host/ViewRegistry.h"
#include "platform/word/Table.h"
#include "word/LibreOfficeText.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

using namespace qz;

namespace {

const char* kOrders =
    "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'"
    " xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'><s:Schema id='RowsetSchema'>"
    "<s:ElementType name='row' content='eltOnly'>"
    "<s:AttributeType name='Total'><s:datatype dt:type='float'/></s:AttributeType>"
    "<s:extends type='rs:rowbase'/></s:ElementType></s:Schema><rs:data/></xml>";

// A template folder with one saved-recordset command, "Orders" (Total).
struct EditorTemplate : DesignerState {
    test::TempDir dir;
    HelpCenter help;
    EditorTemplate() {
        dir.write("orders.xml", kOrders);
        dir.write("T.qzc", "<QZC><TemplateProperties/><ConnectionList><Connection ID=\"ID1\"><Name>Saved</Name>"
                           "<DataSource/><ConnectionType>8</ConnectionType><CommandList><Command ID=\"ID1\">"
                           "<Name>Orders</Name><Text>orders.xml</Text></Command></CommandList></Connection>"
                           "</ConnectionList></QZC>");
        goDesigner = this;
    }
    ~EditorTemplate() override { goDesigner = nullptr; }
    bool TemplateReadOnly() const override { return false; }
    void SetTemplateReadOnly(bool) override {}
    std::string TemplatePath() const override { return dir.path(); }
    void SetTemplatePath(const std::string&) override {}
    std::string QzcFileName() const override { return "T.qzc"; }
    void SetQzcFileName(const std::string&) override {}
    std::string TemplateFileName() const override { return "T.rtf"; }
    void SetTemplateFileName(const std::string&) override {}
    std::string PreviewOutputFile() const override { return {}; }
    void SetPreviewOutputFile(const std::string&) override {}
    HelpCenter& GetHelpCenter() override { return help; }
    ado::BoundSql ResolveSqlParameters(const std::string& sql) override { return {sql, {}}; }
};

// The studio with the real designer over a Qt host, as it starts.
struct DesignerStudio {
    views::QtUiHost host;
    word::Application app;
    designer::Designer designer;
    bool ready = [this] {
        ui::setCurrentHost(&host);
        designer::InstallAddinTemplate(app);
        designer.Initialize(app);
        return true;
    }();
    views::StudioWindow window{app, designer::CommandIdOfMacro, [this](int id) { designer.HandleCmd(id); }};
    DesignerStudio() { window.runCommand(100); }
};

QModelIndex IndexNamed(QTreeView* tree, const QString& text) {
    QAbstractItemModel* m = tree->model();
    const auto found = m->match(m->index(0, 0), Qt::DisplayRole, text, 1, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? QModelIndex() : found.front();
}

} // namespace

TEST(EditorViews, StatementWindowTreeCodeBoxAndStatus) {
    EditorTemplate t;
    editors::frmStatement f;
    f.Initialize();
    f.ShowModeless();
    std::unique_ptr<views::FormView> view(views::createView(f, nullptr));
    ASSERT_NE(view, nullptr);
    view->show();
    QApplication::processEvents();
    EXPECT_EQ(view->windowTitle(), "Qz Statement");
    auto* tree = view->findChild<QTreeView*>("trvDataList");
    auto* code = view->findChild<QPlainTextEdit*>("txtValue");
    auto* status = view->findChild<QStatusBar*>("StatusBar1");
    ASSERT_TRUE(tree && code && status && view->findChild<QPushButton*>("cmdFind"));
    const QModelIndex total = IndexNamed(tree, "Total");
    ASSERT_TRUE(total.isValid());
    tree->setCurrentIndex(total);
    emit tree->doubleClicked(total);
    EXPECT_EQ(code->toPlainText(), "Orders.Fields(\"Total\").Value");

    code->setFocus();
    QApplication::processEvents();
    code->moveCursor(QTextCursor::Start);
    QTest::keyClick(code, Qt::Key_Tab);
    QApplication::processEvents();
    EXPECT_EQ(code->toPlainText(), "   Orders.Fields(\"Total\").Value");
    EXPECT_TRUE(code->hasFocus());
    QTest::keyClick(code, Qt::Key_End);
    auto* line = status->findChild<QLabel*>("panel2");
    auto* column = status->findChild<QLabel*>("panel3");
    ASSERT_TRUE(line && column);
    EXPECT_EQ(line->text(), "Line 1");
    EXPECT_EQ(column->text(), "Col 32");

    QTest::mouseClick(view->findChild<QPushButton*>("cmdOk"), Qt::LeftButton);
    EXPECT_FALSE(view->isVisible());
    EXPECT_TRUE(f.UpdateField);
    EXPECT_EQ(f.QzStmntCode, "   Orders.Fields(\"Total\").Value");
}

TEST(EditorViews, ExpressionWindowShowsTheFrameOfTheChosenKind) {
    EditorTemplate t;
    editors::frmExpression f;
    f.QzExpFormat = "Date/Time;DateTime:1;BlankProtect:0";
    f.Initialize();
    f.ShowModeless();
    std::unique_ptr<views::FormView> view(views::createView(f, nullptr));
    ASSERT_NE(view, nullptr);
    view->show();
    QApplication::processEvents();
    auto* kind = view->findChild<QComboBox*>("cboFormat");
    auto* date = view->findChild<QGroupBox*>("fraFormatDateTime");
    auto* number = view->findChild<QGroupBox*>("fraFormatNumber");
    ASSERT_TRUE(kind && date && number && view->findChild<QComboBox*>("cboLocale"));
    EXPECT_EQ(kind->currentText(), "Date/Time");
    EXPECT_TRUE(date->isVisible());
    EXPECT_FALSE(number->isVisible());
    kind->setCurrentIndex(3);
    emit kind->activated(3);
    QApplication::processEvents();
    EXPECT_TRUE(number->isVisible());
    EXPECT_FALSE(date->isVisible());
    EXPECT_EQ(view->findChild<QCheckBox*>("chkOverrideNumberFormat")->text(),
              "Override Default Template C&urrency Format");
    view->close();
}

TEST(EditorViews, FindDialogAndPicker) {
    EditorTemplate t;
    ui::TextBox box;
    box.Text = "abc";
    editors::frmFindReplace find;
    find.SetupInit(false, &box, false);
    find.ShowModeless();
    std::unique_ptr<views::FormView> findView(views::createView(find, nullptr));
    ASSERT_NE(findView, nullptr);
    findView->show();
    EXPECT_EQ(findView->windowTitle(), "Find Text");
    EXPECT_FALSE(findView->findChild<QComboBox*>("cboReplace")->isVisible());
    QTest::mouseClick(findView->findChild<QPushButton*>("cmdReplace0"), Qt::LeftButton);
    EXPECT_EQ(findView->windowTitle(), "Replace Text");
    EXPECT_TRUE(findView->findChild<QComboBox*>("cboReplace")->isVisible());
    find.Unload();

    editors::frmRepeatingPar picker;
    picker.Initialize();
    picker.ShowModeless();
    std::unique_ptr<views::FormView> view(views::createView(picker, nullptr));
    ASSERT_NE(view, nullptr);
    view->show();
    auto* list = view->findChild<QListWidget*>("lstQueries");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 2);
    list->setCurrentRow(1);
    emit list->itemDoubleClicked(list->item(1));
    EXPECT_FALSE(view->isVisible());
    EXPECT_FALSE(picker.Cancelled);
    EXPECT_EQ(picker.SelectedQuery, "Orders");
}

TEST(EditorViews, FieldCodePrintsToAPdfFile) {
    test::TempDir dir;
    views::QtPrinterBackend backend;
    ui::setPrinterBackend(&backend);
    const std::string pdf = dir.path() + "/code.pdf";
    ui::CurrentPrinter().OutputFileName = pdf;
    editors::PrintFieldCode("Loop", "Lines.MoveNext\r\nLoop");
    ui::CurrentPrinter().OutputFileName.clear();
    ui::setPrinterBackend(nullptr);
    QProcess pdftotext;
    pdftotext.start("pdftotext", {QString::fromStdString(pdf), "-"});
    ASSERT_TRUE(pdftotext.waitForFinished(20000));
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
    EXPECT_TRUE(text.contains("Loop - 1")) << text.toStdString();
    EXPECT_TRUE(text.contains("Lines.MoveNext\nLoop")) << text.toStdString();
}

// The studio on the example template: Insert > Expression opens the editor's
// window, a double-click in its data tree writes the column, OK writes the
// field, and the saved template produces the column's value.
TEST(EditorViews, StudioInsertsAnExpressionThroughItsWindow) {
    test::TempDir dir;
    const std::string examples = std::string(QZ_SOURCE_DIR) + "/examples";
    for (const char* f : {"invoice.rtf", "invoice.qzc", "invoice.db"})
        std::filesystem::copy_file(examples + "/" + f, dir.path() + "/" + f);
    DesignerStudio studio;
    views::StudioWindow& window = studio.window;
    ASSERT_TRUE(window.openFile(QString::fromStdString(dir.path() + "/invoice.rtf")));
    window.runCommand(10);
    word::Document& doc = window.activeView()->model();
    studio.app.GetSelection().SetRange(0, 0);
    const std::string out = dir.path() + "/out.rtf";
    const std::string produce = std::string("'") + QZSTUDIO + "' produce '" + dir.path() + "/invoice.rtf' -o '" +
                                out + "' --connections >/dev/null 2>&1";
    auto names = [&] {
        const std::string produced = test::readFile(out);
        int n = 0;
        for (std::size_t at = produced.find("Brasserie L"); at != std::string::npos; at = produced.find("Brasserie L", at + 1)) ++n;
        return n;
    };
    ASSERT_EQ(std::system(produce.c_str()), 0);
    const int before = names();

    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* view = qobject_cast<views::FormView*>(QApplication::activeModalWidget());
        if (!view || view->objectName() != "frmExpression") {
            if (view) view->close();
            return;
        }
        seen = true;
        auto* tree = view->findChild<QTreeView*>("tvList");
        const QModelIndex item = IndexNamed(tree, "CustomerName");
        if (!item.isValid()) {
            view->close();
            return;
        }
        tree->setCurrentIndex(item);
        emit tree->doubleClicked(item);
        QTest::mouseClick(view->findChild<QPushButton*>("cmdOk"), Qt::LeftButton);
    });
    window.runCommand(designer::qzCmdItemInsertExpression);
    EXPECT_TRUE(seen);
    ui::setCurrentHost(nullptr);
    EXPECT_NE(doc.ToRtf().find("Invoice.Fields(\"CustomerName\").Value"), std::string::npos);

    ASSERT_TRUE(window.saveActive(false));
    ASSERT_EQ(std::system(produce.c_str()), 0);
    EXPECT_EQ(names(), before + 1);
}

// Find over the statement editor's window: what Find Next finds is selected
// in the code box under the dialog while the dialog is still up.
TEST(EditorViews, FindSelectsInTheCodeBoxUnderTheDialog) {
    EditorTemplate t;
    views::QtUiHost host;
    ui::setCurrentHost(&host);
    editors::frmStatement f;
    f.QzStmntCode = "a = b\r\nb = a";
    f.Initialize();
    editors::TheFindReplaceState() = {};
    editors::TheFindReplaceState().fromTop = true;  // as after any earlier dialog
    QString selected;
    QTimer::singleShot(0, [&] {
        auto* statement = qobject_cast<views::FormView*>(QApplication::activeModalWidget());
        ASSERT_NE(statement, nullptr);
        auto* code = statement->findChild<QPlainTextEdit*>("txtValue");
        code->moveCursor(QTextCursor::End);
        QTimer::singleShot(0, [&, statement, code] {
            auto* find = qobject_cast<views::FormView*>(QApplication::activeModalWidget());
            ASSERT_TRUE(find && find != statement);
            EXPECT_EQ(find->findChild<QComboBox*>("cboSearch")->currentText(), "a");
            QTest::mouseClick(find->findChild<QPushButton*>("cmdFind"), Qt::LeftButton);
            selected = code->textCursor().selectedText();
            const int at = code->textCursor().selectionStart();
            EXPECT_EQ(at, 0);
            find->close();
            statement->close();
        });
        QTest::mouseClick(statement->findChild<QPushButton*>("cmdFind"), Qt::LeftButton);
    });
    f.ShowModal();
    ui::setCurrentHost(nullptr);
    EXPECT_EQ(selected, "a");
}

// The Find window opens on the word under the caret, selected, so that
// typing replaces it; Ctrl+A selects the whole search text; its labels stand
// on one line each, whole.
TEST(EditorViews, FindOpensOnTheWordSelectedAndItsLabelsWhole) {
    EditorTemplate t;
    views::QtUiHost host;
    ui::setCurrentHost(&host);
    editors::frmStatement f;
    f.QzStmntCode = "total = b";
    f.Initialize();
    editors::TheFindReplaceState() = {};
    QString opened, all;
    QTimer::singleShot(0, [&] {
        auto* statement = qobject_cast<views::FormView*>(QApplication::activeModalWidget());
        ASSERT_NE(statement, nullptr);
        auto* code = statement->findChild<QPlainTextEdit*>("txtValue");
        QTextCursor c = code->textCursor();
        c.setPosition(2);
        code->setTextCursor(c);
        QTimer::singleShot(0, [&, statement] {
            auto* find = qobject_cast<views::FormView*>(QApplication::activeModalWidget());
            ASSERT_TRUE(find && find != statement);
            QTest::qWait(20); // shown and laid out
            QLineEdit* search = find->findChild<QComboBox*>("cboSearch")->lineEdit();
            opened = search->selectedText();
            search->setCursorPosition(1);
            QTest::keyClick(search, Qt::Key_A, Qt::ControlModifier);
            all = search->selectedText();
            for (QLabel* label : find->findChildren<QLabel*>()) {
                if (!label->isVisible() || label->text().isEmpty()) continue;
                EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text().remove('&')))
                    << label->text().toStdString();
                EXPECT_LT(label->height(), 2 * label->fontMetrics().height()) << label->text().toStdString();
            }
            find->close();
            statement->close();
        });
        QTest::mouseClick(statement->findChild<QPushButton*>("cmdFind"), Qt::LeftButton);
    });
    f.ShowModal();
    ui::setCurrentHost(nullptr);
    EXPECT_EQ(opened, "total");
    EXPECT_EQ(all, "total");
}

// Closing the Find window activates the statement editor again: the caret
// goes back inside "if()Then" of a new condition, otherwise the focus goes
// to the label box, as when the window first shows.
TEST(EditorViews, ClosingFindPlacesTheFocusAsActivationDoes) {
    EditorTemplate t;
    views::QtUiHost host;
    ui::setCurrentHost(&host);
    for (const char* code : {"if()Then", "a = b"}) {
        editors::frmStatement f;
        f.QzStmntLabel = "L";
        f.QzStmntCode = code;
        f.Initialize();
        QString focused;
        int caret = -1;
        QTimer::singleShot(0, [&] {
            auto* statement = qobject_cast<views::FormView*>(QApplication::activeModalWidget());
            ASSERT_NE(statement, nullptr);
            auto* code = statement->findChild<QPlainTextEdit*>("txtValue");
            code->setFocus();
            code->moveCursor(QTextCursor::End);
            QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
            QTest::mouseClick(statement->findChild<QPushButton*>("cmdFind"), Qt::LeftButton);
            focused = statement->focusWidget() ? statement->focusWidget()->objectName() : QString();
            caret = code->textCursor().position();
            statement->close();
        });
        f.ShowModal();
        if (std::string(code) == "if()Then") {
            EXPECT_EQ(focused, "txtValue");
            EXPECT_EQ(caret, 3);
        } else {
            EXPECT_EQ(focused, "txtLabel");
        }
    }
    ui::setCurrentHost(nullptr);
}

// Select All works in a box whose handler refuses control characters (the
// label box keeps names to letters, digits and "_").
TEST(EditorViews, SelectAllWorksInTheLabelBox) {
    EditorTemplate t;
    views::QtUiHost host;
    ui::setCurrentHost(&host);
    editors::frmStatement f;
    f.QzStmntLabel = "Old";
    f.QzStmntCode = "a = b";
    f.Initialize();
    QString label;
    QTimer::singleShot(0, [&] {
        auto* statement = qobject_cast<views::FormView*>(QApplication::activeModalWidget());
        ASSERT_NE(statement, nullptr);
        auto* box = statement->findChild<QLineEdit*>("txtLabel");
        box->setFocus();
        box->setCursorPosition(1);
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, "New");
        label = box->text();
        statement->close();
    });
    f.ShowModal();
    ui::setCurrentHost(nullptr);
    EXPECT_EQ(label, "New");
}

// Tab reaching the data tree shows that it has the keyboard, also when the
// tree has no row to mark (a template without data).
TEST(EditorViews, TheDataTreeShowsFocusWhenTabReachesIt) {
    EditorTemplate t;
    editors::frmExpression f;
    f.Initialize();
    f.tvList.Clear();
    f.ShowModeless();
    std::unique_ptr<views::FormView> view(views::createView(f, nullptr));
    ASSERT_NE(view, nullptr);
    view->show();
    QApplication::setActiveWindow(view.get());
    QApplication::processEvents();
    auto* tree = view->findChild<QTreeView*>("tvList");
    ASSERT_NE(tree, nullptr);
    const QImage before = tree->grab().toImage();
    for (int i = 0; i < 40 && QApplication::focusWidget() != tree; ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : view.get(), Qt::Key_Tab);
        QApplication::processEvents();
    }
    ASSERT_EQ(QApplication::focusWidget(), tree);
    EXPECT_TRUE(tree->grab().toImage() != before);
    view->close();
}

// A table row repeated as an author builds it in the studio: the caret
// before the second row's text, Insert > Repeating Paragraph over "Orders"
// (three records), the loop's end selected through its menu, cut, and
// pasted at the start of the paragraph after the table; saved and
// produced, LibreOffice reads one table of whole rows.
TEST(EditorViews, ARowRepeatedThroughTheStudioIsOneTableInLibreOffice) {
    if (!HaveSoffice()) GTEST_SKIP() << "soffice (LibreOffice) is not installed";
    test::TempDir dir;
    dir.write("orders.xml", std::string(kOrders).replace(std::string(kOrders).find("<rs:data/>"), 10,
                                                         "<rs:data><z:row Total='1'/><z:row Total='2'/><z:row Total='3'/></rs:data>"));
    dir.write("Orders.qzc", "<QZC><TemplateProperties><Version>8.2.2</Version></TemplateProperties><ConnectionList>"
                            "<Connection ID=\"ID1\"><Name>Saved</Name><DataSource/><ConnectionType>8</ConnectionType>"
                            "<CommandList><Command ID=\"ID1\"><Name>Orders</Name><Text>orders.xml</Text></Command>"
                            "</CommandList></Connection></ConnectionList></QZC>");
    dir.write("Orders.rtf", R"({\rtf1\ansi\deff0{\fonttbl{\f0 Arial;}}{\*\userprops{\propname QzVersion}\proptype30{\staticval 8.2.2}})"
                            R"(\pard Orders:\par\trowd\cellx3000\cellx6000\pard\intbl Date\cell Amount\cell\row)"
                            R"(\trowd\cellx3000\cellx6000\pard\intbl D\cell A\cell\row\pard After the table\par})");
    DesignerStudio studio;
    views::StudioWindow& window = studio.window;
    ASSERT_TRUE(window.openFile(QString::fromStdString(dir.file("Orders.rtf"))));
    window.runCommand(10);
    views::DocumentView* view = window.activeView();
    word::Document& doc = view->model();
    const long rowStart = word::Table::At(doc, doc.MainStory(), 10)->CellStart(1, 0);
    doc.GetSelection().SetRange(rowStart, rowStart);
    view->pushSelection();
    QTimer::singleShot(0, [&] {
        auto* picker = qobject_cast<views::FormView*>(QApplication::activeModalWidget());
        if (!picker) return;
        auto* list = picker->findChild<QListWidget*>("lstQueries");
        const QList<QListWidgetItem*> found = list ? list->findItems("Orders", Qt::MatchExactly) : QList<QListWidgetItem*>();
        if (found.isEmpty()) {
            picker->close();
            return;
        }
        list->setCurrentItem(found[0]);
        emit list->itemClicked(found[0]);
        QTest::mouseClick(picker->findChild<QPushButton*>("cmdOk"), Qt::LeftButton);
    });
    window.runCommand(designer::qzCmdItemInsertRepeatingParagraph);
    ui::setCurrentHost(nullptr);
    ASSERT_EQ(doc.Content().GetFields().Count(), 4); // the loop's two: a button with its SET field each
    const long loop = doc.Content().GetFields().Item(3).Start();
    QTextCursor c = view->textCursor();
    c.setPosition(view->viewPosition(loop + 3));
    view->setTextCursor(c);
    std::unique_ptr<QMenu> menu(view->contextMenuAt(view->cursorRect().center()));
    for (QAction* a : menu->actions())
        if (a->text() == "&Select Field") a->trigger();
    QTest::keyClick(view, Qt::Key_X, Qt::ControlModifier);
    const long after = word::Table::At(doc, doc.MainStory(), 10)->End();
    doc.GetSelection().SetRange(after, after);
    view->pushSelection();
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(window.saveActive(false));

    const std::string produce = std::string("'") + QZSTUDIO + "' produce '" + dir.file("Orders.rtf") + "' -o '" +
                                dir.file("out/Orders.rtf") + "' --connections >/dev/null 2>&1";
    std::filesystem::create_directories(dir.file("out"));
    ASSERT_EQ(std::system(produce.c_str()), 0);
    ToFlatOdf(dir.file("out"), dir.file("profile"));
    const std::string xml = ReadAll(dir.file("out/Orders.fodt"));
    int tables = 0;
    for (std::size_t at = xml.find("<table:table "); at != std::string::npos; at = xml.find("<table:table ", at + 1)) ++tables;
    EXPECT_EQ(tables, 1);
    // Its lines, each trimmed, the empty ones left out.
    std::string text;
    for (QString line : QString::fromStdString(OdfText(xml)).split('\n'))
        if (!(line = line.trimmed()).isEmpty()) text += line.toStdString() + "|";
    std::string expected = "Orders:|[row]|[cellx]|Date|[cellx]|Amount|";
    for (int k = 0; k < 3; ++k) expected += "[row]|[cellx]|D|[cellx]|A|";
    expected += "After the table|";
    EXPECT_NE(text.find(expected), std::string::npos) << FirstDifference(text, expected);
}

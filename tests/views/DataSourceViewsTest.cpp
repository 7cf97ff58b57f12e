// The data-source windows under Qt: the tree and toolbar of the data-sources
// window follow the form, the connection editor shows one type's frame with
// masked passwords, and the saved-recordset editor's grid shows the preview.
#include "core/DesignerState.h"
#include "core/ModGlobal.h"
#include "config/QZCFile.h"
#include "datasources/forms/frmCommandXML.h"
#include "datasources/forms/frmConnection.h"
#include "datasources/forms/frmDataLink.h"
#include "core/forms/frmErrors.h"
#include "platform/ui/UiHost.h"
#include "views/host/ViewRegistry.h"

#include "production/TestFiles.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QIcon>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <QProcess>

#include <sys/resource.h>

#include <fstream>
#include <memory>

using namespace qz;

namespace {

struct Template : DesignerState {
    test::TempDir dir;
    std::string folder = dir.path();
    HelpCenter help;
    bool TemplateReadOnly() const override { return false; }
    void SetTemplateReadOnly(bool) override {}
    std::string TemplatePath() const override { return folder; }
    void SetTemplatePath(const std::string&) override {}
    std::string QzcFileName() const override { return "t.qzc"; }
    void SetQzcFileName(const std::string&) override {}
    std::string TemplateFileName() const override { return "t.rtf"; }
    void SetTemplateFileName(const std::string&) override {}
    std::string PreviewOutputFile() const override { return {}; }
    void SetPreviewOutputFile(const std::string&) override {}
    HelpCenter& GetHelpCenter() override { return help; }
    ado::BoundSql ResolveSqlParameters(const std::string& s) override { return {s, {}}; }
    Template() {
        std::ofstream(dir.path() + "/t.qzc")
            << "<QZC><ConnectionList><Connection ID=\"ID1\"><Name>Saved</Name><DataSource/>"
               "<ConnectionType>8</ConnectionType><CommandList><Command ID=\"ID1\"><Name>Items</Name>"
               "<Text>items.xml</Text></Command></CommandList></Connection></ConnectionList></QZC>";
        std::ofstream(dir.path() + "/items.xml")
            << "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' "
               "xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' xmlns:rs='urn:schemas-microsoft-com:rowset' "
               "xmlns:z='#RowsetSchema'><s:Schema id='RowsetSchema'><s:ElementType name='row'>"
               "<s:AttributeType name='Item'><s:datatype dt:type='string'/></s:AttributeType>"
               "</s:ElementType></s:Schema><rs:data><z:row Item='Pen'/><z:row Item='Ink'/></rs:data></xml>";
        goDesigner = this;
    }
    // A template whose QZC file is already in a folder.
    explicit Template(std::string existing) : folder(std::move(existing)) { goDesigner = this; }
    ~Template() override { goDesigner = nullptr; }
};

constexpr int kManyConnections = 100000;

long addressSpaceMb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmSize:", 0) == 0) return std::stol(line.substr(7)) / 1024;
    return 0;
}

} // namespace

TEST(DataSourceViews, TheTreeAndToolbarFollowTheWindow) {
    Template t;
    datasources::frmDataLink form;
    form.Initialize();
    form.Form_Activate();
    form.ShowModeless();
    std::unique_ptr<views::FormView> view(views::createView(form, nullptr));
    ASSERT_NE(view, nullptr);
    view->show();
    EXPECT_EQ(view->windowTitle(), "Quorvane Data Sources");
    auto* tree = view->findChild<QTreeView*>("trvDataLink");
    ASSERT_NE(tree, nullptr);
    QAbstractItemModel* m = tree->model();
    ASSERT_EQ(m->rowCount(), 1);
    QModelIndex root = m->index(0, 0);
    EXPECT_EQ(root.data().toString(), "Data Sources");
    ASSERT_EQ(m->rowCount(root), 1);
    EXPECT_EQ(m->index(0, 0, m->index(0, 0, root)).data().toString(), "Items");
    auto* addConnection = view->findChild<QAction*>("AddCn");
    ASSERT_TRUE(addConnection && view->findChild<QAction*>("Properties"));
    addConnection->trigger();
    // A new node resets the tree's rows: look the root up again.
    root = m->index(0, 0);
    ASSERT_EQ(m->rowCount(root), 2);
    EXPECT_EQ(m->index(1, 0, root).data().toString(), "DBConnection1");
    // One picture per kind serves every node (a file may hold thousands).
    auto picture = [&](const QModelIndex& i) { return i.data(Qt::DecorationRole).value<QIcon>().cacheKey(); };
    EXPECT_EQ(picture(m->index(0, 0, root)), picture(m->index(1, 0, root)));
    EXPECT_NE(picture(root), picture(m->index(0, 0, root)));
    EXPECT_EQ(tree->currentIndex(), m->index(1, 0, root));
    EXPECT_TRUE(view->findChild<QAction*>("AddCmd")->isEnabled());
    // F2 renames in place; the name reaches the file.
    tree->setCurrentIndex(m->index(0, 0, m->index(0, 0, root)));
    QTest::keyClick(tree, Qt::Key_F2);
    auto* editor = tree->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("Lines");
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();  // the editor commits from the event loop
    root = m->index(0, 0);
    EXPECT_EQ(m->index(0, 0, m->index(0, 0, root)).data().toString(), "Lines");
    std::ifstream in(t.dir.path() + "/t.qzc");
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(in), {}).find("<Name>Lines</Name>"), std::string::npos);
    QTest::mouseClick(view->findChild<QPushButton*>("cmdClose"), Qt::LeftButton);
    EXPECT_FALSE(form.Visible());
    EXPECT_FALSE(view->isVisible());
}

TEST(DataSourceViews, TheConnectionEditorShowsOneTypeAtATime) {
    Template t;
    datasources::frmConnection form;
    auto cn = std::make_shared<QZCConnection>();
    cn->Name = "Sales";
    cn->ConnectionType = "0";
    form.QzConnection(cn);
    form.Initialize();
    form.ShowModeless();
    std::unique_ptr<views::FormView> view(views::createView(form, nullptr));
    ASSERT_NE(view, nullptr);
    view->show();
    auto* access = view->findChild<QGroupBox*>("fraParameters0");
    auto* server = view->findChild<QGroupBox*>("fraParameters2");
    ASSERT_TRUE(access && server);
    EXPECT_TRUE(access->isVisible());
    EXPECT_FALSE(server->isVisible());
    EXPECT_FALSE(view->findChild<QRadioButton*>("optType7")->isVisible());
    QTest::mouseClick(view->findChild<QRadioButton*>("optType2"), Qt::LeftButton);
    EXPECT_TRUE(server->isVisible());
    EXPECT_FALSE(access->isVisible());
    EXPECT_EQ(view->findChild<QLineEdit*>("txtSQLServerPassword")->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(view->findChild<QLineEdit*>("txtSQLServerUserName")->isEnabled());  // Windows security
    // The data source list shows names but takes no typing.
    QTest::mouseClick(view->findChild<QRadioButton*>("optType5"), Qt::LeftButton);
    auto* odbc = view->findChild<QComboBox*>("cboODBC");
    ASSERT_TRUE(odbc && odbc->lineEdit());
    QTest::keyClicks(odbc->lineEdit(), "typed");
    QTest::keyClick(odbc->lineEdit(), Qt::Key_Backspace);
    EXPECT_EQ(odbc->currentText(), "");
    QTest::mouseClick(view->findChild<QRadioButton*>("optType8"), Qt::LeftButton);
    EXPECT_FALSE(view->findChild<QPushButton*>("cmdTestConnection")->isVisible());
    form.Unload();
}

TEST(DataSourceViews, TheSavedRecordsetPreviewFillsTheGrid) {
    Template t;
    QZCFile file;
    file.Load(t.dir.path() + "/t.qzc");
    const auto cn = file.ConnectionList()->FindItem("ID1");
    datasources::frmCommandXML form;
    form.QzCommand(cn->CommandList()->FindItem("ID1"));
    form.QzCnCommand(cn);
    form.QzConnectionList(file.ConnectionList());
    form.Initialize();
    form.ShowModeless();
    std::unique_ptr<views::FormView> view(views::createView(form, nullptr));
    ASSERT_NE(view, nullptr);
    view->show();
    EXPECT_EQ(view->windowTitle(), "Command Properties (Saved)");
    QTest::mouseClick(view->findChild<QPushButton*>("cmdOpen"), Qt::LeftButton);
    auto* grid = view->findChild<QTreeWidget*>("msfgCommand");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->headerItem()->text(0), "Item");
    ASSERT_EQ(grid->topLevelItemCount(), 2);
    EXPECT_EQ(grid->topLevelItem(1)->text(0), "Ink");
    form.Unload();
}


// The window on a QZC file of 100,000 connections, in a process of its own
// whose address space is cut to what it uses plus QZ_LOW_MEMORY_MB: it
// prints how many connections it shows, or the error the author was shown.
TEST(DataSourceViews, ManyConnectionsInShortMemory) {
    const char* folder = std::getenv("QZ_LOW_MEMORY_DIR");
    const char* extra = std::getenv("QZ_LOW_MEMORY_MB");
    if (!folder || !extra) GTEST_SKIP() << "the child of TheWindowOnManyConnectionsNeverDiesOfShortMemory";
    Template t{std::string(folder)};
    ui::HeadlessUiHost host;
    std::string error;
    host.queueFormAction([&](ui::Form& f) {
        if (auto* e = dynamic_cast<frmErrors*>(&f)) error = e->txtError.Text;
    });
    ui::setCurrentHost(&host);
    const rlim_t limit = static_cast<rlim_t>(addressSpaceMb() + std::atol(extra)) << 20;
    const rlimit cut{limit, limit};
    ASSERT_EQ(setrlimit(RLIMIT_AS, &cut), 0);
    datasources::frmDataLink form;
    form.Initialize();
    form.Form_Activate();
    form.ShowModeless();
    std::unique_ptr<views::FormView> view(views::createView(form, nullptr));
    view->show();
    QApplication::processEvents();
    QAbstractItemModel* m = view->findChild<QTreeView*>("trvDataLink")->model();
    for (const ui::UiRequest& r : host.requests(ui::UiRequest::MsgBox)) error += r.prompt;
    std::printf("shown %d\nerror %s\n", m->rowCount(m->index(0, 0)), error.c_str());
    std::fflush(stdout);
    std::_Exit(0);  // what is left is the test's own clean-up
}

// Memory short when the window opens on many connections: it opens, or it
// says why not, and the studio goes on; it never dies of a signal.
TEST(DataSourceViews, TheWindowOnManyConnectionsNeverDiesOfShortMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address checker reserves more address space than a limit leaves";
#endif
    test::TempDir dir;
    {
        std::ofstream out(dir.file("t.qzc"));
        out << "<QZC><ConnectionList>";
        for (int i = 0; i < kManyConnections; ++i)
            out << "<Connection ID=\"ID" << i << "\"><Name>C" << i << "</Name><DataSource>shop.db</DataSource>"
                << "<ConnectionType>6</ConnectionType><CommandList><Command ID=\"ID1\"><Name>Items</Name>"
                << "<Text>SELECT * FROM items</Text></Command></CommandList></Connection>";
        out << "</ConnectionList></QZC>";
    }
    // MB of address space left: too little to read the file, enough for the
    // file and its tree but not the window (which crashed in Qt), and plenty.
    for (const int extra : {16, 260, 4096}) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QZ_LOW_MEMORY_DIR", QString::fromStdString(dir.path()));
        env.insert("QZ_LOW_MEMORY_MB", QString::number(extra));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=DataSourceViews.ManyConnectionsInShortMemory"});
        ASSERT_TRUE(child.waitForFinished(300000)) << extra;
        const std::string out = child.readAllStandardOutput().toStdString();
        ASSERT_EQ(child.exitStatus(), QProcess::NormalExit) << extra << " MB: " << out << child.readAllStandardError().toStdString();
        EXPECT_EQ(child.exitCode(), 0) << extra << " MB: " << out;
        const bool opened = out.find("shown " + std::to_string(kManyConnections) + "\n") != std::string::npos;
        const bool told = out.find("error Out of memory") != std::string::npos;
        EXPECT_TRUE(opened != told) << extra << " MB: " << out;
        if (extra == 16) {
            EXPECT_TRUE(told) << out;
        }
        if (extra == 4096) {
            EXPECT_TRUE(opened) << out;
        }
    }
}

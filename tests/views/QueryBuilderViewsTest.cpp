// The query builder's windows under Qt: each tab shows its own page, ticking
// a table and a field in the lists writes the SQL text, a condition's field
// enables its operator, and the relationship dialog shows its rows.
#include "query/forms/frmAddForeignKey.h"
#include "query/forms/frmQueryBuilder.h"
#include "views/host/ViewRegistry.h"

#include "production/TestFiles.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>

using namespace qz;
using query::frmQueryBuilder;

TEST(QueryBuilderViews, TabsListsAndConditionsFollowTheForm) {
    test::TempDir dir;
    const std::string db = dir.path() + "/shop.db";
    sqlite3* h = nullptr;
    sqlite3_open(db.c_str(), &h);
    sqlite3_exec(h, "CREATE TABLE Customers(CustomerID INTEGER PRIMARY KEY, CompanyName TEXT);", nullptr, nullptr, nullptr);
    sqlite3_close(h);
    frmQueryBuilder form;
    auto cn = std::make_shared<QZCConnection>();
    cn->DataSource = "Data Source=" + db;
    auto cmd = std::make_shared<QZCCommand>();
    cmd->Name = "Names";
    form.QzCnCommand(cn);
    form.QzCommand(cmd);
    form.Initialize();
    form.ShowModeless();
    std::unique_ptr<views::FormView> view(views::createView(form, nullptr));
    ASSERT_NE(view, nullptr);
    view->show();
    EXPECT_EQ(view->windowTitle(), "Command Properties");
    auto* tabs = view->findChild<QTabBar*>("tabQueryBuilder");
    auto* tables = view->findChild<QTreeWidget*>("lsvTables");
    auto* columns = view->findChild<QTreeWidget*>("lsvColumns");
    auto* sql = view->findChild<QPlainTextEdit*>("txtQuery");
    ASSERT_TRUE(tabs && tables && columns && sql);
    ASSERT_EQ(tabs->count(), 5);
    EXPECT_TRUE(tables->isVisible());
    EXPECT_FALSE(sql->isVisible());

    ASSERT_EQ(tables->topLevelItemCount(), 1);
    tables->topLevelItem(0)->setCheckState(0, Qt::Checked);
    ASSERT_EQ(columns->topLevelItemCount(), 3);  // Customers.* and its two columns
    columns->topLevelItem(2)->setCheckState(0, Qt::Checked);
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(4).center());
    EXPECT_EQ(form.tabQueryBuilder.SelectedTab, 4);
    EXPECT_TRUE(sql->isVisible());
    EXPECT_FALSE(tables->isVisible());
    EXPECT_EQ(sql->toPlainText().toStdString(), "SELECT\n   Customers.CompanyName\nFROM\nCustomers\n");
    // The result grid has no heading before anything ran, then the columns'.
    auto* grid = view->findChild<QTreeWidget*>("msfgrdCommand");
    auto* execute = view->findChild<QPushButton*>("cmdExecute");
    ASSERT_TRUE(grid && execute);
    EXPECT_TRUE(grid->isHeaderHidden());
    QTest::mouseClick(execute, Qt::LeftButton);
    EXPECT_FALSE(grid->isHeaderHidden());
    EXPECT_EQ(grid->headerItem()->text(0).toStdString(), "CompanyName");

    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(3).center());
    auto* field = view->findChild<QComboBox*>("cboConditionField(0)");
    auto* op = view->findChild<QComboBox*>("cboConditionOperator(0)");
    ASSERT_TRUE(field && op);
    EXPECT_FALSE(op->isEnabled());
    field->setCurrentIndex(2);
    emit field->activated(2);
    EXPECT_TRUE(op->isEnabled());
    EXPECT_EQ(form.cboConditionField[0].Text, "Customers.CompanyName");
}

TEST(QueryBuilderViews, TheRelationshipDialogShowsSixRows) {
    std::vector<ado::CatalogTable> t{{"A", "TABLE", {{"x", 3, 4}}, {}}, {"B", "TABLE", {{"y", 3, 4}}, {}}};
    query::QBSelectQuery model(std::make_shared<const query::Catalog>(std::move(t)));
    model.SelectTable("A");
    model.SelectTable("B");
    query::frmAddForeignKey form;
    form.SetQBSelectQuery(&model);
    form.WindowCaption = "Add Relationship";
    form.ShowModeless();
    std::unique_ptr<views::FormView> view(views::createView(form, nullptr));
    ASSERT_NE(view, nullptr);
    view->show();
    EXPECT_EQ(view->windowTitle(), "Add Relationship");
    auto* base = view->findChild<QComboBox*>("cboBaseTable");
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(base->count(), 2);
    EXPECT_FALSE(view->findChild<QComboBox*>("cboRelatedTable")->isEnabled());
    base->setCurrentIndex(0);
    emit base->activated(0);
    EXPECT_TRUE(view->findChild<QComboBox*>("cboRelatedTable")->isEnabled());
    EXPECT_EQ(view->findChild<QComboBox*>("cboBaseColumn(5)")->count(), 2);  // "none" and A.x
}

// The data tree over real data: an SQLite database, a saved recordset with a
// child recordset, commands that fail, a connection that cannot open.
#include "EditorsFixture.h"

#include "core/ModErrors.h"
#include "editors/FieldDataTree.h"

using namespace qz;
using namespace qz::editors;
using namespace qz::editors::test;

namespace {

constexpr const char* kFunctions = "RecordCount,MoveFirst,MoveNext,MovePrevious,MoveLast,BOF,EOF";

class DataTree : public EditorTest {
protected:
    ui::TreeView tree;
};

} // namespace

TEST_F(DataTree, ListsEveryConnectionCommandAndColumnAsTheDataReportsThem) {
    FieldDataTree data(tree, true);
    data.LoadQueries(home.root() + "/Shop.qzc", home.root());
    std::string roots;
    for (const ui::Node* r : tree.Roots()) roots += r->Text + ";";
    EXPECT_EQ(roots, "Shop;Empty;Saved;Bad;");
    // The command that fails is left out, the ones after it are there; the
    // "?" command was prepared, not run.
    EXPECT_EQ(ChildTexts(NodeAt(tree, "Shop")), "Orders,Param,After");
    EXPECT_EQ(ChildTexts(NodeAt(tree, "Shop/Orders")), "ID,Name,Total,Created,Functions");
    EXPECT_EQ(ChildTexts(NodeAt(tree, "Shop/Orders/Functions")), kFunctions);
    EXPECT_EQ(ChildTexts(NodeAt(tree, "Shop/Param")), "Name,Functions");
    EXPECT_EQ(ChildTexts(NodeAt(tree, "Empty")), "");
    EXPECT_EQ(ChildTexts(NodeAt(tree, "Bad")), "");
    // Saved recordsets: the child recordset with its columns and functions,
    // also when the file has no rows; the missing file is left out.
    EXPECT_EQ(ChildTexts(NodeAt(tree, "Saved")), "Orders,Blank");
    EXPECT_EQ(ChildTexts(NodeAt(tree, "Saved/Orders/Items")), "Product,Amount,Functions");
    EXPECT_EQ(ChildTexts(NodeAt(tree, "Saved/Blank/Items")), "Product,Amount,Functions");
    EXPECT_EQ(ChildTexts(NodeAt(tree, "Saved/Orders/Items/Functions")), kFunctions);
    // Nothing of this is shown to the author.
    EXPECT_TRUE(host.errorTexts.empty());

    std::string words;
    for (const char* c : {"ID", "Name", "Total", "Created"}) words += data.TypeWord(NodeAt(tree, std::string("Shop/Orders/") + c)) + ",";
    EXPECT_EQ(words, "Long,String,Double,Date,");
    EXPECT_EQ(data.TypeWord(NodeAt(tree, "Shop/Orders")), "");
    EXPECT_TRUE(data.IsEmptyConnection(NodeAt(tree, "Empty")));
    EXPECT_FALSE(data.IsEmptyConnection(NodeAt(tree, "Shop")));
}

TEST_F(DataTree, DoubleClickTextsNameTheDataPath) {
    FieldDataTree data(tree, true);
    data.LoadQueries(home.root() + "/Shop.qzc", home.root());
    EXPECT_EQ(data.ScriptText(NodeAt(tree, "Shop/Orders/Total")), "Orders.Fields(\"Total\").Value");
    EXPECT_EQ(data.ScriptText(NodeAt(tree, "Shop/Orders/Functions/MoveNext")), "Orders.MoveNext");
    EXPECT_EQ(data.ScriptText(NodeAt(tree, "Saved/Orders/Items/Amount")),
              "Orders.Fields(\"Items\").Value.Fields(\"Amount\").Value");
    EXPECT_EQ(data.ScriptText(NodeAt(tree, "Saved/Orders/Items/Functions/RecordCount")),
              "Orders.Fields(\"Items\").Value.RecordCount");
    // A quote inside a name is doubled, as a script string needs it.
    EXPECT_EQ(data.ScriptText(NodeAt(tree, "Shop/After/Say \"hi\"")), "After.Fields(\"Say \"\"hi\"\"\").Value");
    for (const char* other : {"Shop", "Shop/Orders", "Shop/Orders/Functions", "Saved/Orders/Items"})
        EXPECT_EQ(data.ScriptText(NodeAt(tree, other)), "") << other;
}

TEST_F(DataTree, ExpressionTreeHasFunctionsUnderChaptersOnlyAndNamesNeverClash) {
    // Two connections of one name and commands of one name each get their nodes.
    WriteQzc("<QZC><TemplateProperties/><ConnectionList>"
             "<Connection ID=\"ID1\"><Name>Long</Name><DataSource/><ConnectionType>8</ConnectionType><CommandList>"
             "<Command ID=\"ID1\"><Name>Orders</Name><Text>orders.xml</Text></Command>"
             "<Command ID=\"ID2\"><Name>Orders</Name><Text>orders.xml</Text></Command></CommandList></Connection>"
             "<Connection ID=\"ID2\"><Name>Long</Name><DataSource/><ConnectionType>8</ConnectionType>"
             "<CommandList/></Connection></ConnectionList></QZC>");
    FieldDataTree data(tree, false);
    data.LoadQueries(home.root() + "/Shop.qzc", home.root());
    ASSERT_EQ(tree.Roots().size(), 2u);
    EXPECT_EQ(ChildTexts(tree.Roots()[0]), "Orders,Orders");
    EXPECT_EQ(ChildTexts(tree.Roots()[0]->Children()[1]), "OrderID,Items");
    EXPECT_EQ(ChildTexts(tree.Roots()[0]->Children()[1]->Children()[1]), "Product,Amount,Functions");
    // A connection named "Long" is no column: it has no type word.
    EXPECT_EQ(data.TypeWord(tree.Roots()[0]), "");
    // Loading again starts from an empty tree.
    data.LoadQueries(home.root() + "/Shop.qzc", home.root());
    EXPECT_EQ(tree.Roots().size(), 2u);
}

TEST_F(DataTree, TypeWordsAndRefusedTypes) {
    EXPECT_EQ(DataTypeWord(3, false), "Long");
    EXPECT_EQ(DataTypeWord(11, false), "Long");
    EXPECT_EQ(DataTypeWord(202, false), "String");
    EXPECT_EQ(DataTypeWord(6, false), "Double");
    EXPECT_EQ(DataTypeWord(135, false), "Date");
    EXPECT_EQ(DataTypeWord(72, false), "Unknown");
    EXPECT_EQ(DataTypeWord(136, true), "");
    EXPECT_EQ(qz::test::numberOf([] { DataTypeWord(136, false); }), OwnErrorNumber(4040));
    EXPECT_EQ(qz::test::numberOf([] { DataTypeWord(64, true); }), OwnErrorNumber(4040));
}

TEST_F(DataTree, AFileThatCannotBeReadLeavesTheTreeEmpty) {
    FieldDataTree data(tree, true);
    data.LoadQueries(home.root() + "/Shop.qzc", home.root());
    WriteQzc("<QZC><Nonsense/>");
    EXPECT_NE(qz::test::numberOf([&] { data.LoadQueries(home.root() + "/Shop.qzc", home.root()); }), 0);
    EXPECT_EQ(tree.Count(), 0u);
}

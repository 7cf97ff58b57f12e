// The data tree over PostgreSQL through ODBC, on the server the tests start:
// the columns of a command with a "?" parameter, read without running it,
// with the type words of the server's types (skipped when the server cannot
// run here).
#include "EditorsFixture.h"

#include "common/PgServer.h"
#include "editors/FieldDataTree.h"

using namespace qz;
using namespace qz::editors;

TEST(DataTreePostgres, ColumnsOfAParameterCommandAndTheirTypeWords) {
    std::string why;
    qz::test::PgServer* pg = qz::test::PgServer::Instance(&why);
    if (!pg) GTEST_SKIP() << why;
    ASSERT_TRUE(pg->CreateDatabase("editors", &why)) << why;
    ASSERT_TRUE(pg->Execute("editors",
                            "CREATE TABLE orders (id integer, name varchar(40), total numeric(10,2), "
                            "created timestamp, paid boolean, photo bytea, weight double precision);",
                            &why))
        << why;
    qz::test::TestHome home;
    qz::test::TestHome::write(
        home.root() + "/T.qzc",
        "<QZC><TemplateProperties/><ConnectionList><Connection ID=\"ID1\"><Name>Pg</Name><DataSource>" +
            pg->OdbcConnectionString("editors") +
            "</DataSource><ConnectionType>5</ConnectionType><CommandList><Command ID=\"ID1\"><Name>Orders</Name>"
            "<Text>SELECT id, name, total, created, paid, photo, weight FROM orders WHERE id = ?</Text></Command>"
            "<Command ID=\"ID2\"><Name>Wrong</Name><Text>SELECT nothing FROM nowhere</Text></Command>"
            "</CommandList></Connection></ConnectionList></QZC>");
    ui::TreeView tree;
    FieldDataTree data(tree, true);
    data.LoadQueries(home.root() + "/T.qzc", home.root());
    ASSERT_EQ(tree.Roots().size(), 1u);
    ASSERT_EQ(tree.Roots()[0]->Children().size(), 1u);  // the wrong command is left out
    std::string columns;
    for (const ui::Node* n : tree.Roots()[0]->Children()[0]->Children())
        columns += n->Text + ":" + data.TypeWord(n) + " ";
    EXPECT_EQ(columns, "id:Long name:String total:Long created:Date paid:Long photo:Unknown weight:Double Functions: ");
}

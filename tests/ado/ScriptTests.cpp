// Recordsets and connections as templates reach them from VBScript.
#include "AdoTestSupport.h"

#include "platform/script/ScriptControl.h"
#include "platform/script/runtime/Runtime.h"
#include "platform/system/Locales.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

namespace qz::ado::test {
namespace {

class FromScript : public ::testing::Test {
protected:
    void SetUp() override {
        makeSqlite(dir.file("shop.db"),
                   "CREATE TABLE Orders (ID INTEGER, Name VARCHAR(20), Total DOUBLE);"
                   "INSERT INTO Orders VALUES (1, 'Tea', 12.5), (2, 'Cake', 3), (3, 'Jam', NULL);");
        Ref<Connection> c = makeRef<Connection>();
        c->open("Data Source=" + dir.file("shop.db"));
        orders = c->execute("SELECT ID, Name, Total FROM Orders ORDER BY ID");
        sc.AddObject("Orders", Ref<Dispatch>(orders.get()));
    }
    TempDir dir;
    Ref<Recordset> orders;
    script::ScriptControl sc;
};

TEST_F(FromScript, LoopsFieldsAndDefaultMembers) {
    sc.AddCode(
        "Function Names()\n"
        "  Dim s\n"
        "  Orders.MoveFirst\n"
        "  Do While Not Orders.EOF\n"
        "    s = s & Orders.Fields(\"name\").Value & \"=\" & Orders(\"Total\") & \";\"\n"
        "    Orders.MoveNext\n"
        "  Loop\n"
        "  Names = s\n"
        "End Function\n"
        "Function Columns()\n"
        "  Dim f, s\n"
        "  For Each f In Orders.Fields\n"
        "    s = s & f.Name & \":\" & f.Type & \" \"\n"
        "  Next\n"
        "  Columns = s\n"
        "End Function\n");
    EXPECT_EQ(sc.Run("Names").toUtf8(), "Tea=12.5;Cake=3;Jam=;");
    EXPECT_EQ(sc.Run("Columns").toUtf8(), "ID:3 Name:202 Total:5 ");
    EXPECT_EQ(sc.Eval("Orders.RecordCount").toLong(), 3);
    EXPECT_TRUE(sc.Eval("Orders.EOF").toBool());
    sc.ExecuteStatement("Orders.MoveFirst");
    EXPECT_EQ(sc.Eval("TypeName(Orders.Fields(\"ID\").Value)").toUtf8(), "Long");
    EXPECT_EQ(sc.Eval("VarType(Orders.Fields(2).Value)").toLong(), 5);
    sc.ExecuteStatement("Orders.MoveLast");
    EXPECT_TRUE(sc.Eval("IsNull(Orders.Fields(\"Total\").Value)").toBool());
}

// IsNull, IsEmpty, IsNumeric, IsDate and VarType read a field's Value, taken
// from the recordset or out of a Dictionary; to IsObject it stays an object.
// A template's "If IsNull(x) Or IsEmpty(x) Then ... Else FormatNumber(x)"
// therefore never formats a Null.
TEST_F(FromScript, InquiriesReadTheValueOfAField) {
    sc.AddCode(
        "Function Look(f)\n"
        "  Look = IsNull(f) & IsEmpty(f) & IsNumeric(f) & IsDate(f) & VarType(f) & IsObject(f)\n"
        "End Function\n"
        "Function Shown()\n"
        "  Dim s\n"
        "  Orders.MoveFirst\n"
        "  Do While Not Orders.EOF\n"
        "    If IsNull(Orders.Fields(\"Total\")) Or IsEmpty(Orders.Fields(\"Total\")) Then\n"
        "      s = s & \"-;\"\n"
        "    Else\n"
        "      s = s & FormatNumber(Orders.Fields(\"Total\"), 1) & \";\"\n"
        "    End If\n"
        "    If IsNull(Orders(\"Total\")) Then s = s & \"null;\" Else s = s & FormatNumber(Orders(\"Total\"), 0) & \";\"\n"
        "    Orders.MoveNext\n"
        "  Loop\n"
        "  Shown = s\n"
        "End Function\n");
    EXPECT_EQ(sc.Run("Shown").toUtf8(), "12.5;13;3.0;3;-;null;");
    sc.ExecuteStatement("Set d = CreateObject(\"Scripting.Dictionary\") : d.Add \"t\", Orders(\"Total\")");
    sc.ExecuteStatement("Orders.MoveFirst");
    EXPECT_EQ(sc.Eval("Look(Orders(\"Total\"))").toUtf8(), "FalseFalseTrueFalse5True");
    sc.ExecuteStatement("Orders.MoveLast");
    EXPECT_EQ(sc.Eval("Look(Orders(\"Total\"))").toUtf8(), "TrueFalseFalseFalse1True");
    EXPECT_EQ(sc.Eval("Look(Orders.Fields(1))").toUtf8(), "FalseFalseFalseFalse8True");
    EXPECT_EQ(sc.Eval("Look(d(\"t\")) & IsNull(d.Item(\"t\"))").toUtf8(), "TrueFalseFalseFalse1TrueTrue");
}

// Names given in many ways on every pass of a loop (literals in any case, texts
// built at run time, positions, a variable that changes, a field object)
// always find the field they name, however often each is used.
TEST_F(FromScript, FieldNamesFoundHoweverTheyAreGiven) {
    sc.AddCode(
        "Function Walk()\n"
        "  Dim s, n, k, names\n"
        "  names = Array(\"ID\", \"name\", \"TOTAL\")\n"
        "  Orders.MoveFirst\n"
        "  Do While Not Orders.EOF\n"
        "    For k = 0 To 2\n"
        "      n = names(k)\n"
        "      s = s & Orders(n) & \",\" & Orders.Fields(UCase(n)) & \",\" & Orders(\"N\" & \"ame\") & \",\"\n"
        "      s = s & Orders(\"Id\") & Orders(\"iD\") & Orders(1) & \";\"\n"
        "    Next\n"
        "    Orders.MoveNext\n"
        "  Loop\n"
        "  Walk = s\n"
        "End Function\n");
    std::string want;
    const char* names[] = {"Tea", "Cake", "Jam"};
    const char* totals[] = {"12.5", "3", ""};
    for (int r = 0; r < 3; ++r) {
        const std::string id = std::to_string(r + 1), name = names[r];
        const std::string tail = id + id + name + ";";
        want += id + "," + id + "," + name + "," + tail;
        want += name + "," + name + "," + name + "," + tail;
        want += std::string(totals[r]) + "," + totals[r] + "," + name + "," + tail;
    }
    EXPECT_EQ(sc.Run("Walk").toUtf8(), want);
    // A field given as the index stands for its value: here position 1.
    sc.ExecuteStatement("Orders.MoveFirst");
    EXPECT_EQ(sc.Eval("Orders(Orders.Fields(\"ID\"))").toUtf8(), "Tea");
}

// Values the script keeps (in variables, an array, a name it looks fields up
// by) keep their text while the loop goes on; a field found by a text read
// from another field follows that text on every row.
TEST_F(FromScript, ValuesKeptByTheScriptAndNamesReadFromFields) {
    makeSqlite(dir.file("pick.db"),
               "CREATE TABLE P (Pick VARCHAR(10), ID INTEGER, Name VARCHAR(10), Total DOUBLE);"
               "INSERT INTO P VALUES ('Name', 1, 'Tea', 1.5), ('Total', 2, 'Cake', 2.5),"
               " ('ID', 3, 'Jam', 3.5), ('name', 4, 'Bun', 4.5);");
    Ref<Connection> c = makeRef<Connection>();
    c->open("Data Source=" + dir.file("pick.db"));
    Ref<Recordset> picks = c->execute("SELECT * FROM P ORDER BY ID");
    sc.AddObject("Picks", Ref<Dispatch>(picks.get()));
    sc.AddCode(
        "Function Walk()\n"
        "  Dim first, held(3), i, s\n"
        "  first = Picks(\"Name\")\n"
        "  Do While Not Picks.EOF\n"
        "    held(i) = Picks.Fields(\"Name\").Value\n"
        "    s = s & Picks(Picks(\"Pick\")) & \"/\" & Len(Picks(\"Name\")) & \";\"\n"
        "    i = i + 1\n"
        "    Picks.MoveNext\n"
        "  Loop\n"
        "  Walk = first & \"|\" & Join(held, \",\") & \"|\" & s\n"
        "End Function\n");
    EXPECT_EQ(sc.Run("Walk").toUtf8(), "Tea|Tea,Cake,Jam,Bun|Tea/3;2.5/4;3/3;Bun/3;");
}

// The rows a connection gave keep it as their ActiveConnection, so that a
// script runs a query of its own (a nested loop's) over the same database.
TEST_F(FromScript, RowsOfAConnectionReachItThroughActiveConnection) {
    registerCreatables(&script::registerCreatable);
    sc.AddCode(
        "Function Inner()\n"
        "  Dim r\n"
        "  Set r = CreateObject(\"ADODB.Recordset\")\n"
        "  r.Open \"SELECT Name FROM Orders WHERE ID = 2\", Orders.ActiveConnection\n"
        "  Inner = TypeName(Orders.ActiveConnection) & \"/\" & r.Fields(\"Name\").Value\n"
        "End Function\n");
    EXPECT_EQ(sc.Run("Inner").toUtf8(), "Connection/Cake");
}

TEST_F(FromScript, ErrorsReachTheScript) {
    sc.AddCode(
        "Function Missing()\n"
        "  On Error Resume Next\n"
        "  Dim v : v = Orders.Fields(\"NoSuchField\").Value\n"
        "  Missing = Err.Number & \"|\" & Err.Description\n"
        "End Function\n");
    const std::string r = sc.Run("Missing").toUtf8();
    // The script shows errors of the control facility by their own number.
    EXPECT_EQ(r.substr(0, r.find('|')), std::to_string(kErrItemNotFound));
    EXPECT_NE(r.find("Item cannot be found"), std::string::npos);
}

TEST_F(FromScript, CreatableConnectionAndRecordset) {
    registerCreatables(&script::registerCreatable);
    sc.AddCode(
        "Function Count(path)\n"
        "  Dim c, r\n"
        "  Set c = CreateObject(\"ADODB.Connection\")\n"
        "  c.Open \"Data Source=\" & path\n"
        "  Set r = CreateObject(\"ADODB.Recordset\")\n"
        "  r.CursorLocation = 3\n"
        "  r.Open \"SELECT count(*) AS n FROM Orders\", c, 2, 2\n"
        "  Count = r.Fields(\"n\").Value & \"/\" & c.State & \"/\" & r.State\n"
        "  If Not r.ActiveConnection Is c Then Count = \"another connection\"\n"
        "  r.Close\n"
        "  Set r.ActiveConnection = c\n"
        "  r.Open \"Orders\", , , , 2\n"
        "  Count = Count & \"/\" & r.RecordCount\n"
        "  r.Close\n"
        "  c.Close\n"
        "End Function\n"
        "Function Failure()\n"
        "  On Error Resume Next\n"
        "  Dim c\n"
        "  Set c = CreateObject(\"ADODB.Connection\")\n"
        "  c.Open \"Provider=SQLite;Data Source=/no/such/file.db\"\n"
        "  Failure = c.Errors.Count & \"|\" & c.Errors(0).Description\n"
        "End Function\n");
    std::vector<Variant> args{Variant::fromUtf8(dir.file("shop.db"))};
    EXPECT_EQ(sc.Run("Count", args).toUtf8(), "3/1/1/3");
    const std::string f = sc.Run("Failure").toUtf8();
    EXPECT_EQ(f.substr(0, 2), "1|");
    EXPECT_NE(f.find("/no/such/file.db"), std::string::npos);
}

// A query the script runs reads and writes numbers in the script's locale
// (its GetLocale), not the user's, and leaves the script's locale as it was.
TEST_F(FromScript, AccessSqlOfAScriptRunsInItsLocale) {
    registerCreatables(&script::registerCreatable);
    struct English {
        English() { sys::setUserDefaultLcid(1033); }
        ~English() { sys::setUserDefaultLcid(0); }
    } user;
    dir.write("n.csv", "N\r\n1234.5\r\n");
    sc.AddCode(
        "Function Q(folder)\n"
        "  SetLocale 1031\n"
        "  Dim r\n"
        "  Set r = CreateObject(\"ADODB.Recordset\")\n"
        "  r.Open \"SELECT CStr(N) AS S, CStr(CDbl('2,5')) AS D FROM [n.csv]\", _\n"
        "    \"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\" & folder & \";Extended Properties=text\"\n"
        "  Q = r(\"S\") & \"|\" & r(\"D\") & \"|\" & GetLocale()\n"
        "End Function\n");
    std::vector<Variant> args{Variant::fromUtf8(dir.str())};
    EXPECT_EQ(sc.Run("Q", args).toUtf8(), "1234,5|2,5|1031");
}

// A statement the script runs ends by the script's time-out when that is
// sooner than the connection's own (off here). Run on a thread of its own so
// that a statement that never ends fails the test instead of holding it.
TEST_F(FromScript, AStatementEndsByTheScriptsTimeOut) {
    registerCreatables(&script::registerCreatable);
    auto sc2 = std::make_shared<script::ScriptControl>();
    sc2->AddCode(
        "Function Spin()\n"
        "  Dim c\n"
        "  Set c = CreateObject(\"ADODB.Connection\")\n"
        "  c.CommandTimeout = 0\n"
        "  c.Open \"Data Source=" + dir.file("shop.db") + "\"\n"
        "  Spin = c.Execute(\"WITH RECURSIVE r(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM r) \" & _\n"
        "                   \"SELECT count(*) FROM r\").Fields(0).Value\n"
        "End Function\n");
    sc2->setTimeout(200);
    auto failed = std::make_shared<std::promise<bool>>();
    std::future<bool> result = failed->get_future();
    std::thread([sc2, failed]() mutable {
        bool threw = false;
        try {
            sc2->Run("Spin");
        } catch (const AutomationError&) {
            threw = true;
        }
        sc2.reset();  // gone before the test may end
        failed->set_value(threw);
    }).detach();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(60)), std::future_status::ready) << "the statement never ended";
    EXPECT_TRUE(result.get());
}

} // namespace
} // namespace qz::ado::test

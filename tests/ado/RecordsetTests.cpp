// The SQLite provider and the recordset as templates use them.
#include "AdoTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>

namespace qz::ado::test {
namespace {

class SqliteRecordset : public ::testing::Test {
protected:
    void SetUp() override {
        makeSqlite(dir.file("shop.db"),
                   "CREATE TABLE Customers (CustomerID INTEGER PRIMARY KEY, Name VARCHAR(40));"
                   "CREATE TABLE Orders (ID INTEGER PRIMARY KEY, CustomerID INTEGER REFERENCES Customers,"
                   " Name VARCHAR(40), Total DOUBLE, Created TIMESTAMP, Paid BOOLEAN, Price CURRENCY,"
                   " Note TEXT, Qty SMALLINT, Amount NUMERIC(10,2));"
                   "INSERT INTO Customers VALUES (1, 'Anna'), (2, 'Bob');"
                   "INSERT INTO Orders VALUES (1, 1, 'Tea', 12.5, '2024-03-01 10:30:00', 1, 3.25, 'n1', 7, 9.99);"
                   "INSERT INTO Orders VALUES (2, 2, 'Café', 3, '2024-03-02', 0, 1, NULL, 2, 1);"
                   "INSERT INTO Orders VALUES (3, 1, 'Cake', NULL, NULL, NULL, NULL, 'x', NULL, NULL);"
                   "CREATE VIEW BigOrders AS SELECT ID, Total * 2 AS Twice FROM Orders;");
        conn = makeRef<Connection>();
        conn->open("Data Source=" + dir.file("shop.db"));
    }

    TempDir dir;
    Ref<Connection> conn;
};

TEST_F(SqliteRecordset, FieldTypesAndValueSubtypes) {
    Ref<Recordset> rs = conn->execute("SELECT ID, Name, Total, Created, Paid, Price, Note, Qty, Amount FROM Orders ORDER BY ID");
    const std::vector<std::int32_t> types{adInteger, adVarWChar, adDouble, adDBTimeStamp, adBoolean,
                                          adCurrency, adLongVarWChar, adSmallInt, adNumeric};
    ASSERT_EQ(rs->fieldCount(), types.size());
    for (std::size_t i = 0; i < types.size(); ++i) EXPECT_EQ(rs->column(i).type, types[i]) << i;
    EXPECT_EQ(rs->column(1).definedSize, 40);

    EXPECT_EQ(rs->value(0).type(), VarType::Long);
    EXPECT_EQ(text(rs->value(1)), "Tea");
    EXPECT_EQ(rs->value(2).type(), VarType::Double);
    EXPECT_DOUBLE_EQ(rs->value(2).doubleValue(), 12.5);
    ASSERT_EQ(rs->value(3).type(), VarType::Date);
    EXPECT_DOUBLE_EQ(rs->value(3).dateValue(), 45352.0 + 10.5 / 24); // 1 March 2024 10:30
    EXPECT_EQ(rs->value(4).type(), VarType::Boolean);
    EXPECT_TRUE(rs->value(4).boolValue());
    ASSERT_EQ(rs->value(5).type(), VarType::Currency);
    EXPECT_EQ(rs->value(5).currencyValue(), 32500);
    EXPECT_EQ(rs->value(7).type(), VarType::Integer);

    rs->moveNext();
    EXPECT_EQ(text(rs->value(u"name")), "Café");
    Ref<Recordset> accented = conn->execute("SELECT Name AS Prénom FROM Orders");
    EXPECT_EQ(text(accented->value(u"PRÉNOM")), "Tea");
    EXPECT_DOUBLE_EQ(rs->value(3).dateValue(), 45353.0);
    EXPECT_FALSE(rs->value(4).boolValue());
    EXPECT_TRUE(rs->value(6).isNull());
    rs->moveNext();
    for (std::size_t i = 2; i < types.size(); ++i) {
        if (i == 6) continue;
        EXPECT_TRUE(rs->value(i).isNull()) << i;
    }
}

// Whole numbers beyond fifteen digits keep every digit (as Decimal), as the
// file stores them: SQLite's own text of each value.
TEST_F(SqliteRecordset, WideIntegersKeepEveryDigit) {
    makeSqlite(dir.file("shop.db"), "CREATE TABLE Big (N INTEGER, Amount NUMERIC(30,4));"
                                    "INSERT INTO Big VALUES (9007199254740993, 12345678901234567),"
                                    "(-9223372036854775808, 2.5), (3000000000, 7.25);");
    std::string expected;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(dir.file("shop.db").c_str(), &db), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT N, Amount FROM Big", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        expected += std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) + "|" +
                    reinterpret_cast<const char*>(sqlite3_column_text(st, 1)) + "\n";
    sqlite3_finalize(st);
    sqlite3_close(db);

    Ref<Recordset> rs = conn->execute("SELECT N, Amount FROM Big");
    std::string got, types;
    for (; !rs->eof(); rs->moveNext()) {
        got += text(rs->value(0)) + "|" + text(rs->value(1)) + "\n";
        types += std::to_string(rs->value(0).varType()) + " " + std::to_string(rs->value(1).varType()) + ";";
    }
    EXPECT_EQ(got, expected);
    EXPECT_EQ(types, "14 14;14 5;5 5;");
}

TEST_F(SqliteRecordset, NavigationFollowsEofAndBof) {
    Ref<Recordset> rs = conn->execute("SELECT ID FROM Orders ORDER BY ID");
    EXPECT_EQ(rs->recordCount(), 3);
    EXPECT_FALSE(rs->bof());
    std::vector<std::int32_t> ids;
    while (!rs->eof()) {
        ids.push_back(rs->value(0).longValue());
        rs->moveNext();
    }
    EXPECT_EQ(ids, (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_THROW(rs->moveNext(), AutomationError);
    EXPECT_THROW(rs->value(0), AutomationError);
    rs->moveLast();
    EXPECT_EQ(rs->value(0).longValue(), 3);
    rs->movePrevious();
    rs->movePrevious();
    rs->movePrevious();
    EXPECT_TRUE(rs->bof());
    EXPECT_THROW(rs->movePrevious(), AutomationError);
    rs->moveFirst();
    EXPECT_EQ(rs->value(0).longValue(), 1);

    Ref<Recordset> empty = conn->execute("SELECT ID FROM Orders WHERE ID > 99");
    EXPECT_TRUE(empty->eof());
    EXPECT_TRUE(empty->bof());
    EXPECT_EQ(empty->recordCount(), 0);
    EXPECT_EQ(empty->column(0).type, adInteger);
}

TEST_F(SqliteRecordset, ScriptStyleCallsByMemberName) {
    Ref<Recordset> rs = conn->execute("SELECT Name, Total FROM Orders ORDER BY ID");
    Variant r(Ref<Dispatch>(rs.get()));
    // Orders.Fields("Total").Value
    EXPECT_DOUBLE_EQ(call(call(r, u"FIELDS", {Variant(u"total")}), u"Value").toDouble(), 12.5);
    // Orders("Name") through the default members
    Variant field = rs->invoke(kDispidValue, kInvokePropertyGet | kInvokeMethod,
                               std::span<Variant>(std::vector<Variant>{Variant(u"Name")}.data(), 1));
    EXPECT_EQ(text(field.dereference()), "Tea");
    EXPECT_EQ(text(call(call(r, u"Fields", {Variant(std::int32_t{1})}), u"Name")), "Total");
    EXPECT_EQ(call(r, u"RecordCount").toLong(), 3);
    EXPECT_EQ(call(r, u"AbsolutePosition").toLong(), 1);
    call(r, u"MoveNext");
    EXPECT_EQ(call(r, u"AbsolutePosition").toLong(), 2);
    EXPECT_FALSE(call(r, u"EOF").toBool());
    call(r, u"MoveLast");
    call(r, u"MoveNext");
    EXPECT_TRUE(call(r, u"EOF").toBool());

    // For Each f In Orders.Fields
    Ref<Enumerator> e = call(r, u"Fields").objectValue()->newEnum();
    ASSERT_TRUE(e);
    std::vector<std::string> names;
    for (Variant f; e->next(f);) names.push_back(text(call(f, u"Name")));
    EXPECT_EQ(names, (std::vector<std::string>{"Name", "Total"}));

    try {
        call(r, u"Fields", {Variant(u"Missing")});
        FAIL();
    } catch (const AutomationError& err) {
        EXPECT_EQ(err.Number, adoErrorNumber(kErrItemNotFound));
    }
    call(r, u"Close");
    EXPECT_EQ(call(r, u"State").toLong(), adStateClosed);
    EXPECT_THROW(call(r, u"EOF"), AutomationError);
}

TEST_F(SqliteRecordset, OpenThroughTheRecordsetAsTheDesignerDoes) {
    Ref<Recordset> rs = makeRef<Recordset>();
    Variant r(Ref<Dispatch>(rs.get()));
    rs->invokeByName(u"CursorLocation", kInvokePropertyPut,
                     std::span<Variant>(std::vector<Variant>{Variant(std::int32_t{3})}.data(), 1));
    std::vector<Variant> args{Variant(u"SELECT c.Name AS Customer, o.Name FROM Orders o JOIN Customers c ON c.CustomerID = o.CustomerID ORDER BY o.ID"),
                              Variant(Ref<Dispatch>(conn.get())), Variant(std::int32_t{2}),
                              Variant(std::int32_t{2})};
    call(r, u"Open", args);
    EXPECT_EQ(call(r, u"State").toLong(), adStateOpen);
    EXPECT_EQ(text(rs->value(u"Customer")), "Anna");
    // The recordset keeps its rows after the connection closes.
    conn->close();
    rs->moveNext();
    EXPECT_EQ(text(rs->value(u"Customer")), "Bob");

    // Options left unspecified (-1) run the text as a command.
    Ref<Recordset> rs3 = makeRef<Recordset>();
    rs3->open(Variant(u"SELECT count(*) FROM Customers"), Variant::fromUtf8("Data Source=" + dir.file("shop.db")), -1);
    EXPECT_EQ(rs3->value(0).longValue(), 2);

    // A connection string in place of the connection object.
    Ref<Recordset> rs2 = makeRef<Recordset>();
    rs2->open(Variant(u"SELECT count(*) AS n FROM Orders"),
              Variant::fromUtf8("Provider=SQLite;Data Source=" + dir.file("shop.db")), 0);
    EXPECT_EQ(rs2->value(0).longValue(), 3);
    EXPECT_EQ(rs2->column(0).type, adInteger); // typed by its value
}

// Fields found by name in a wide recordset, by more name texts than the
// collection remembers (each name given as two texts, in changing orders,
// texts dropped and made anew): every text finds its own field every time.
TEST(FieldsByName, ManyNameTextsAlwaysFindTheirField) {
    Ref<RecordsetData> data = makeRef<RecordsetData>();
    constexpr int kColumns = 300;
    for (int c = 0; c < kColumns; ++c) data->columns.emplace_back("Col" + std::to_string(c), adInteger, 4);
    Cell* row = data->addRow();
    for (int c = 0; c < kColumns; ++c) data->set(row[c], Variant(std::int32_t{c}));
    Ref<Recordset> rs = makeRef<Recordset>();
    rs->attach(data);
    Ref<Fields> fields = rs->fields();
    std::vector<Variant> names;
    for (int c = 0; c < kColumns; ++c) {
        names.push_back(Variant::fromUtf8("Col" + std::to_string(c)));
        names.push_back(Variant::fromUtf8("COL" + std::to_string(c)));
    }
    std::mt19937 random(7);
    for (int pass = 0; pass < 6; ++pass) {
        std::vector<std::size_t> order(names.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        if (pass % 2) std::shuffle(order.begin(), order.end(), random);
        for (const std::size_t i : order) {
            const Variant v = fields->find(names[i]).value();
            ASSERT_EQ(v.longValue(), static_cast<std::int32_t>(i / 2)) << "pass " << pass << " name " << i;
        }
        // A third of the texts let go and made anew, mostly at other addresses.
        for (std::size_t i = static_cast<std::size_t>(pass) % 3; i < names.size(); i += 3)
            names[i] = Variant::fromUtf8(names[i].toUtf8());
    }
    EXPECT_THROW(fields->find(Variant(u"Col300")), AutomationError);
}

// Thousands of rows of mixed values: every one reads back as it was stored,
// in a narrow table and in a wide one, after the connection has closed.
TEST(RecordsetRows, ManyRowsOfMixedValuesReadBackWhole) {
    TempDir dir;
    const std::string longText(30000, 'x');
    makeSqlite(dir.file("big.db"),
               "CREATE TABLE Big (ID INTEGER, Name VARCHAR(40), Memo TEXT, Half DOUBLE, Day DATE);"
               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000) "
               "INSERT INTO Big SELECT i, CASE WHEN i % 7 = 0 THEN NULL WHEN i % 11 = 0 THEN '' "
               "WHEN i % 13 = 0 THEN 'é€' || i ELSE 'row ' || i END, "
               "CASE WHEN i % 1000 = 0 THEN printf('%.*c', 30000, 'x') END, i * 0.5, "
               "CASE WHEN i % 2 = 0 THEN date('2024-01-01', '+' || i || ' days') ELSE 'not a date' END FROM n;");
    auto expectedName = [](int i) -> std::string {
        if (i % 7 == 0) return "(null)";
        if (i % 11 == 0) return "";
        if (i % 13 == 0) return "é€" + std::to_string(i);
        return "row " + std::to_string(i);
    };
    auto shown = [](const Variant& v) { return v.isNull() ? std::string("(null)") : v.toUtf8(); };
    Ref<Recordset> rs, wide;
    {
        Ref<Connection> c = makeRef<Connection>();
        c->open("Data Source=" + dir.file("big.db"));
        rs = c->execute("SELECT ID, Name, Memo, Half, Day, Name || '' AS Untyped FROM Big ORDER BY ID");
        // 400 columns: a storage block holds only a few of these rows.
        std::string cols = "ID";
        for (int k = 1; k < 400; ++k) cols += ", Name AS N" + std::to_string(k);
        wide = c->execute("SELECT " + cols + " FROM Big ORDER BY ID");
        c->close();
    }
    ASSERT_EQ(rs->recordCount(), 5000);
    EXPECT_EQ(rs->column(5).type, adVarWChar); // decided by its first value
    int i = 1;
    for (; !rs->eof(); rs->moveNext(), ++i) {
        ASSERT_EQ(rs->value(0).longValue(), i);
        ASSERT_EQ(shown(rs->value(1)), expectedName(i)) << i;
        ASSERT_EQ(shown(rs->value(5)), expectedName(i)) << i;
        ASSERT_EQ(shown(rs->value(2)), i % 1000 == 0 ? longText : "(null)") << i;
        ASSERT_DOUBLE_EQ(rs->value(3).doubleValue(), i * 0.5);
        const Variant day = rs->value(4);
        if (i % 2 == 0) {
            ASSERT_EQ(day.type(), VarType::Date) << i;
            ASSERT_DOUBLE_EQ(day.dateValue(), 45292.0 + i) << i; // 1 January 2024 + i days
        } else {
            ASSERT_EQ(shown(day), "not a date") << i; // kept as text
        }
    }
    EXPECT_EQ(i, 5001);
    ASSERT_EQ(wide->recordCount(), 5000);
    for (const int row : {1, 2, 3, 1000, 2999, 5000}) {
        wide->moveFirst();
        wide->move(row - 1);
        EXPECT_EQ(wide->value(0).longValue(), row);
        EXPECT_EQ(shown(wide->value(1)), expectedName(row));
        EXPECT_EQ(shown(wide->value(399)), expectedName(row));
    }
}

// Texts read row after row: a String the caller still holds keeps its text
// while later rows are read, whatever their length or characters (ASCII in
// blocks of 16 and 8 and alone, other characters at any position, a long
// memo before short texts).
TEST(RecordsetRows, TextsKeptByTheCallerStayAsTheyWereRead) {
    TempDir dir;
    const std::vector<std::string> texts{
        "Tea",
        std::string(3000, 'm'),
        "short again",
        "0123456789abcdef",                    // one block of 16
        "0123456789abcdefXYZ01234",            // 16 + 8
        "0123456789abcdefé",                   // not ASCII after a block
        "01234567é",                           // not ASCII after 8
        "é at the start, then plain text long enough",
        "",
        "plain text once more, past sixteen",
        "\x7f\x01 control bytes",
    };
    std::string sql = "CREATE TABLE T (ID INTEGER, Name TEXT);";
    for (std::size_t i = 0; i < texts.size(); ++i)
        sql += "INSERT INTO T VALUES (" + std::to_string(i) + ", '" + texts[i] + "');";
    makeSqlite(dir.file("t.db"), sql);
    Ref<Connection> c = makeRef<Connection>();
    c->open("Data Source=" + dir.file("t.db"));
    Ref<Recordset> rs = c->execute("SELECT ID, Name FROM T ORDER BY ID");
    // Every other value is kept; the others are let go at once, so that the
    // next row may reuse what they held.
    std::vector<Variant> kept;
    for (std::size_t i = 0; !rs->eof(); rs->moveNext(), ++i) {
        const Variant v = rs->value(1);
        ASSERT_TRUE(v.isString());
        ASSERT_EQ(v.toUtf8(), texts[i]) << i;
        ASSERT_EQ(rs->value(u"name").toUtf8(), texts[i]) << i; // read twice in a row
        if (i % 2 == 0) kept.push_back(v);
    }
    for (std::size_t k = 0; k < kept.size(); ++k) EXPECT_EQ(kept[k].toUtf8(), texts[2 * k]) << k;
    // Read again from the top, now holding every value.
    kept.clear();
    for (rs->moveFirst(); !rs->eof(); rs->moveNext()) kept.push_back(rs->value(1));
    ASSERT_EQ(kept.size(), texts.size());
    for (std::size_t k = 0; k < kept.size(); ++k) EXPECT_EQ(kept[k].toUtf8(), texts[k]) << k;
}

// Date texts as databases store them: the valid ones become the day they
// name, anything else (a digit replaced by any other byte, a part out of
// range) is not a date.
TEST(DateTexts, ReadExactlyOrRefused) {
    const struct {
        const char* text;
        double day;
    } valid[] = {
        {"2024-03-01 10:30:00", 45352.4375}, {"2024-03-01T10:30:00", 45352.4375}, {"2024-03-01", 45352.0},
        {"1899-12-30", 0.0},                 {"1899-12-29 06:00:00", -1.25},      {"2024-01-01 23:59:60", 45293.0},
        {"0100-01-01", -657434.0},           {"9999-12-31 23:59:59", 2958465.0 + 86399.0 / 86400.0},
        {"2024-03-01 10:30", 45352.4375},
    };
    for (const auto& v : valid) {
        double day = -1e9;
        ASSERT_TRUE(parseIsoDateTime(v.text, day)) << v.text;
        EXPECT_DOUBLE_EQ(day, v.day) << v.text;
    }
    for (const char* bad : {"0099-01-01", "2024-13-01", "2024-00-10", "2024-01-32", "2024-01-00", "2024-01-01 24:00:00",
                            "2024-01-01 23:60:00", "2024-01-01 23:59:61", "2024-01-01x10:30:00", "2024-01-01 10-30:00"}) {
        double day = 0;
        EXPECT_FALSE(parseIsoDateTime(bad, day)) << bad;
    }
    // Every day of years around the calendar's turns, at several times: the
    // same value, to the last bit, as the date built from its parts.
    for (const int y : {100, 101, 399, 400, 1600, 1899, 1900, 1904, 1970, 2000, 2024, 9999}) {
        for (int m = 1; m <= 12; ++m) {
            for (int d = 1; d <= 31; ++d) {
                for (const int secs : {0, 1, 37800, 43201, 86399}) {
                    char t[48];
                    std::snprintf(t, sizeof t, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, secs / 3600, secs / 60 % 60,
                                  secs % 60);
                    double day = 0;
                    ASSERT_TRUE(parseIsoDateTime(t, day)) << t;
                    ASSERT_EQ(day, oleDateFromParts(y, m, d, secs / 3600, secs / 60 % 60, secs % 60)) << t;
                }
                char t[48];
                std::snprintf(t, sizeof t, "%04d-%02d-%02d", y, m, d);
                double day = 0;
                ASSERT_TRUE(parseIsoDateTime(t, day)) << t;
                ASSERT_EQ(day, oleDateFromParts(y, m, d, 0, 0, 0)) << t;
            }
        }
    }
    // Every digit of both forms replaced by bytes just below and above the
    // digits, a letter, a space and a high byte.
    for (const std::string good : {"2024-03-01 10:30:00", "2024-03-01"}) {
        for (std::size_t i = 0; i < good.size(); ++i) {
            if (good[i] < '0' || good[i] > '9') continue;
            for (const char c : {'/', ':', '*', 'a', ' ', '\xC3'}) {
                std::string t = good;
                t[i] = c;
                double day = 0;
                EXPECT_FALSE(parseIsoDateTime(t, day)) << t;
            }
        }
    }
}

// Values as the providers hand them over come back with their subtype and
// every UTF-16 unit, lone surrogates and NULs included.
TEST(RecordsetRows, ValuesOfEverySubtypeReadBackExactly) {
    Ref<RecordsetData> data = makeRef<RecordsetData>();
    data->columns.emplace_back("V", adVariant, 0);
    const std::vector<Variant> values{
        Variant(), Variant::null(), Variant(std::int16_t{-7}), Variant(std::int32_t{-2000000000}),
        Variant(1.5f), Variant(-0.1), Variant::currency(-123456789), Variant::date(-1.25), Variant(true),
        Variant(false), Variant(std::uint8_t{200}), Variant::error(5), Variant(std::u16string(u"")),
        Variant(std::u16string(u"plain")), Variant(std::u16string(u"caf\u00E9 \U0001F600")),
        Variant(std::u16string(u"lone \xD800 high")), Variant(std::u16string(u"lone low \xDC00")),
        Variant(std::u16string(u"nul\0inside", 10)),
        Variant(SafeArray::fromVector({Variant(std::int32_t{1})}))};
    for (const Variant& v : values) data->set(data->addRow()[0], v);
    data->setText(data->addRow()[0], "2024-03-01", adDBDate);
    data->setText(data->addRow()[0], "someday", adDBDate);
    ASSERT_EQ(data->rowCount, values.size() + 2);
    for (std::size_t r = 0; r < values.size(); ++r) {
        const Variant got = data->value(r, 0);
        ASSERT_EQ(got.type(), values[r].type()) << r;
        if (got.isString()) {
            EXPECT_EQ(got.stringValue(), values[r].stringValue()) << r;
        } else if (got.isArray()) {
            EXPECT_EQ(got.arrayValue(), values[r].arrayValue());
        } else if (got.type() == VarType::Error) {
            EXPECT_EQ(got.errorValue(), 5);
        } else if (!got.isEmpty() && !got.isNull()) {
            EXPECT_EQ(got.toUtf8(), values[r].toUtf8()) << r;
        }
    }
    EXPECT_EQ(data->value(values.size(), 0).dateValue(), 45352.0);
    EXPECT_EQ(data->value(values.size() + 1, 0).toUtf8(), "someday");
}

TEST_F(SqliteRecordset, JetFunctionsRunOnSqlite) {
    Ref<Recordset> rs = conn->execute(
        "SELECT UCase(Name), LCase('ÀB'), Mid(Name, 2, 2), Mid(Name, 2), Len(Name), Nz(Note, 'none'), "
        "Nz(Note), Year(Created), Month(Created), Day(Created), Mid(NULL, 1) FROM Orders WHERE ID = 2");
    const std::vector<std::string> want{"CAFÉ", "àb", "af", "afé", "4", "none", "", "2024", "3", "2"};
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(text(rs->value(i)), want[i]) << i;
    EXPECT_TRUE(rs->value(10).isNull());
    EXPECT_EQ(text(conn->execute("SELECT Mid('abc', 9)")->value(0)), "");
    // They are the script's own functions, with its errors.
    for (const char* bad : {"Mid('abc', 0, 2)", "Mid('abc', 2, -1)", "Left('abc')"}) {
        try {
            conn->execute(std::string("SELECT ") + bad);
            ADD_FAILURE() << bad;
        } catch (const AutomationError& e) {
            const std::string name(bad, std::strchr(bad, '(') - bad);
            EXPECT_NE(e.Description.find("(in " + name + ")"), std::string::npos) << e.Description;
        }
    }

    // Left and Right calls are found however they are written; texts, quoted
    // names and comments that merely contain them are left alone.
    Ref<Recordset> lr = conn->execute(
        "SELECT Left('a''b(c', 3), \"Left\"('xy', 1), [right]('xyz', 2), rIGHT\n(Name, 2) AS [Right(], "
        "'Right(' AS \"Left(\" FROM Orders /* Left( */ WHERE ID = 2 -- Right(");
    const std::vector<std::string> lrWant{"a'b", "x", "yz", "fé", "Right("};
    for (std::size_t i = 0; i < lrWant.size(); ++i) EXPECT_EQ(text(lr->value(i)), lrWant[i]) << i;
    EXPECT_EQ(lr->column(3).name, "Right(");
    EXPECT_THROW(conn->execute("SELECT LeftX('abc', 1)"), AutomationError);
    EXPECT_EQ(text(conn->execute("SELECT Left('abc', 1) /* Left( Right(")->value(0)), "a"); // open to the end
    EXPECT_THROW(conn->execute("SELECT 'Left(abc"), AutomationError);
}

TEST_F(SqliteRecordset, StatementsWithoutRowsLeaveTheRecordsetClosed) {
    Ref<Recordset> rs = conn->execute("UPDATE Orders SET Name = 'Green tea' WHERE ID = 1");
    EXPECT_EQ(rs->state(), adStateClosed);
    EXPECT_THROW(rs->eof(), AutomationError);
    EXPECT_EQ(text(conn->execute("SELECT Name FROM Orders WHERE ID = 1")->value(0)), "Green tea");
}

TEST_F(SqliteRecordset, DescribeReadsColumnsWithoutRunning) {
    Ref<Recordset> rs = conn->describe("SELECT Name, Total FROM Orders WHERE ID = ?");
    EXPECT_EQ(rs->fieldCount(), 2u);
    EXPECT_EQ(rs->column(1).type, adDouble);
    EXPECT_EQ(rs->recordCount(), 0);
    // Preparing a statement does not run it.
    conn->describe("DELETE FROM Orders");
    EXPECT_EQ(conn->execute("SELECT count(*) FROM Orders")->value(0).longValue(), 3);
}

TEST_F(SqliteRecordset, FailuresCarryTheDatabaseMessage) {
    try {
        conn->execute("SELECT Nope FROM Orders");
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_NE(e.Description.find("no such column: Nope"), std::string::npos) << e.Description;
    }
    ASSERT_EQ(conn->errors().size(), 1u);
    EXPECT_THROW(conn->execute("SELECT 1; SELECT 2"), AutomationError);

    Ref<Connection> bad = makeRef<Connection>();
    EXPECT_THROW(bad->open("Data Source=" + dir.file("missing.db")), AutomationError);
    dir.write("junk.db", std::string(4096, 'x'));
    Ref<Connection> junk = makeRef<Connection>();
    EXPECT_THROW(junk->open("Provider=SQLite;Data Source=" + dir.file("junk.db") + ";Password=s3cret!"),
                 AutomationError);
    ASSERT_EQ(junk->errors().size(), 1u);
    EXPECT_EQ(junk->errors()[0].description.find("s3cret!"), std::string::npos);
    Variant errs = call(junk.get(), u"Errors");
    EXPECT_EQ(call(errs, u"Count").toLong(), 1);
    EXPECT_FALSE(text(call(call(errs, u"Item", {Variant(std::int32_t{0})}), u"Description")).empty());
    EXPECT_EQ(text(call(junk.get(), u"ConnectionString")).find("s3cret!"), std::string::npos);

    Ref<Connection> unknown = makeRef<Connection>();
    try {
        unknown->open("Provider=Acme.Widgets.1;Data Source=x");
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.Number, adoErrorNumber(kErrProviderNotFound));
        EXPECT_NE(e.Description.find("Acme.Widgets.1"), std::string::npos);
    }
    EXPECT_THROW(unknown->open(""), AutomationError);
}

TEST_F(SqliteRecordset, CatalogListsTablesViewsColumnsAndKeys) {
    std::vector<CatalogTable> tables = conn->catalog();
    ASSERT_EQ(tables.size(), 3u);
    EXPECT_EQ(tables[0].name, "BigOrders");
    EXPECT_EQ(tables[0].type, "VIEW");
    EXPECT_EQ(tables[2].name, "Orders");
    EXPECT_EQ(tables[2].type, "TABLE");
    EXPECT_EQ(tables[2].columns[2].name, "Name");
    EXPECT_EQ(tables[2].columns[2].type, adVarWChar);
    EXPECT_EQ(tables[2].columns[2].definedSize, 40);
    ASSERT_EQ(tables[2].keys.size(), 1u);
    EXPECT_EQ(tables[2].keys[0].relatedTable, "Customers");
    ASSERT_EQ(tables[2].keys[0].columns.size(), 1u);
    EXPECT_EQ(tables[2].keys[0].columns[0].name, "CustomerID");
    EXPECT_EQ(tables[2].keys[0].columns[0].relatedColumn, "CustomerID"); // from the primary key

    // The same through the catalog object, as late-bound callers read it.
    Ref<Dispatch> cat = createCatalog();
    std::vector<Variant> set{Variant(Ref<Dispatch>(conn.get()))};
    cat->invokeByName(u"ActiveConnection", kInvokePropertyPutRef, set);
    Variant orders = call(call(cat.get(), u"Tables"), u"Item", {Variant(u"orders")});
    EXPECT_EQ(text(call(orders, u"Type")), "TABLE");
    Variant key = call(call(orders, u"Keys"), u"Item", {Variant(std::int32_t{0})});
    EXPECT_EQ(call(key, u"Type").toLong(), adKeyForeign);
    EXPECT_EQ(text(call(key, u"RelatedTable")), "Customers");
    Variant kc = call(call(key, u"Columns"), u"Item", {Variant(std::int32_t{0})});
    EXPECT_EQ(text(call(kc, u"RelatedColumn")), "CustomerID");
    EXPECT_EQ(text(call(call(cat.get(), u"Tables", {Variant(u"BIGORDERS")}), u"Type")), "VIEW");
    Variant col = call(orders, u"Columns", {Variant(u"Total")});
    EXPECT_EQ(call(col, u"Type").toLong(), adDouble);
}

} // namespace
} // namespace qz::ado::test

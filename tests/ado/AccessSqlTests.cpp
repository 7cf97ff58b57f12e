// Commands written in Access SQL on the Jet provider's file sources: the
// values Access gives for the shipped Access files, the same operators and
// functions on a folder of text files, the saved queries of an Access file,
// and what is refused. An SQLite file keeps SQLite's SQL.
#include "SameData.h"

#include "platform/ado/Backend.h"
#include "platform/automation/LocaleFormat.h"
#include "platform/system/Deadline.h"
#include "platform/system/Locales.h"

#include <gtest/gtest.h>

namespace qz::ado::test {
namespace {

std::string accessFile(const std::string& name, const TempDir& dir) {
    const std::string dst = dir.file(name);
    std::filesystem::copy_file(std::string(QZ_SOURCE_DIR) + "/tests/data/access/" + name, dst);
    return dst;
}

Ref<Connection> openJet(const std::string& path, const std::string& properties = {}) {
    Ref<Connection> c = makeRef<Connection>();
    c->open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"" + path + "\"" + properties);
    return c;
}

// The current row's values as "name=value" joined by "|" (dates as the
// script writes them, Null as "null").
std::string row(Recordset& rs) {
    std::string all;
    for (std::size_t i = 0; i < rs.fieldCount(); ++i) {
        const Variant v = rs.value(i);
        all += (i ? "|" : "") + rs.column(i).name + "=" + (v.isNull() ? std::string("null") : v.toUtf8());
    }
    return all;
}

std::string rows(Recordset& rs) {
    std::string all;
    for (; !rs.eof(); rs.moveNext()) all += row(rs) + "\n";
    return all;
}

std::string refusal(Connection& c, const std::string& sql) {
    try {
        c.execute(sql);
    } catch (const AutomationError& e) {
        return e.Description;
    }
    return "(ran)";
}

TEST(AccessSql, CommandsOnAnAccessFileGiveAccessValues) {
    TempDir dir;
    Ref<Connection> c = openJet(accessFile("nwind.mdb", dir));
    // & joins texts (a Null part as ""), Like takes Access's patterns, TOP
    // the first rows by the order.
    Ref<Recordset> rs = c->execute(
        "SELECT TOP 3 CompanyName & ' (' & City & ')' AS Who, Region & '', Format(#1996-07-04#, 'yyyy') AS Y "
        "FROM Customers WHERE CompanyName Like 'A*' ORDER BY CompanyName");
    EXPECT_EQ(rows(*rs), "Who=Alfreds Futterkiste (Berlin)|Expr1001=|Y=1996\n"
                         "Who=Ana Trujillo Emparedados y helados (México D.F.)|Expr1001=|Y=1996\n"
                         "Who=Antonio Moreno Taquería (México D.F.)|Expr1001=|Y=1996\n");
    // Dates: literals in either order, the functions of the script, a
    // computed date is a Date.
    rs = c->execute(
        "SELECT OrderID, CStr(OrderDate) AS S, Format(OrderDate, 'dd.mm.yyyy') AS F1, "
        "Format(OrderDate, \"mmmm d, yyyy\") AS F2, Format(OrderDate, 'yyyy-mm-dd') AS F3, "
        "DateAdd('m', 1, OrderDate) AS Due, DateDiff('d', OrderDate, ShippedDate) AS Days, "
        "DatePart('q', OrderDate) AS Q, Year(OrderDate) * 100 + Month(OrderDate) AS YM, Day(OrderDate) AS D, "
        "DateSerial(1994, 8, 4) = OrderDate AS Same, OrderDate + 1 AS Next "
        "FROM Orders WHERE OrderDate = #8/4/1994# OR OrderDate = #1994-08-05# ORDER BY OrderID");
    EXPECT_EQ(rows(*rs), "OrderID=10248|S=8/4/1994|F1=04.08.1994|F2=August 4, 1994|F3=1994-08-04|Due=9/4/1994|"
                         "Days=12|Q=3|YM=199408|D=4|Same=True|Next=8/5/1994\n"
                         "OrderID=10249|S=8/5/1994|F1=05.08.1994|F2=August 5, 1994|F3=1994-08-05|Due=9/5/1994|"
                         "Days=5|Q=3|YM=199408|D=5|Same=False|Next=8/6/1994\n");
    EXPECT_EQ(rs->column(5).type, adDBTimeStamp);
    EXPECT_EQ(rs->column(4).type, adVarWChar); // Format gives text, whatever it looks like
    // Conversions, rounding (half to even, as Access does), IIf, Nz, Val.
    rs = c->execute(
        "SELECT IIf(Freight > 30, 'high', 'low') AS I, CInt(Freight) AS CI, CLng(2.5) AS CL, CDbl('1.5') AS CD, "
        "CCur(Freight) AS CC, CStr(Freight) AS CS, Int(-Freight) AS N, Fix(-Freight) AS X, Round(Freight, 1) AS R, "
        "Round(0.125, 2) AS R2, Abs(-Freight) AS A, Val(' 12 .5 kg') AS V, Nz(ShipRegion, 'none') AS NZ, "
        "Format(Freight * 100, '#,##0.00') AS F, Format(0.256, '0.0%') AS P, Format(7, '000') AS Z, "
        "Format(Freight, 'Currency') AS C, Format(-2, '0;(0)') AS NEG, Format(Freight * 100, 'Scientific') AS SC, "
        "Format(7, '0\" kg') AS Q FROM Orders WHERE OrderID = 10248");
    EXPECT_EQ(row(*rs), "I=high|CI=32|CL=2|CD=1.5|CC=32.38|CS=32.38|N=-33|X=-32|R=32.4|R2=0.12|A=32.38|V=12.5|"
                        "NZ=none|F=3,238.00|P=25.6%|Z=007|C=$32.38|NEG=(2)|SC=3.24E+03|Q=7 kg");
    EXPECT_EQ(rs->column(4).type, adCurrency);
    // True, False, <> and texts compared without regard to case.
    EXPECT_EQ(c->execute("SELECT count(*) FROM Products WHERE Discontinued = True")->value(0).longValue(), 8);
    EXPECT_EQ(c->execute("SELECT count(*) FROM Products WHERE Discontinued <> False AND ProductName <> 'CHAI'")
                  ->value(0).longValue(), 8);
    EXPECT_EQ(c->execute("SELECT count(*) FROM Orders WHERE ShipCity = 'berlin'")->value(0).longValue(), 6);
    // Values bound to "?" compare as the kept values do: True, a date given
    // with midnight as its time.
    const SqlParameter yes{SqlParameter::Kind::Boolean, 1, 0, {}};
    const SqlParameter day{SqlParameter::Kind::DateTime, 0, 0, "1994-08-04 00:00:00"};
    EXPECT_EQ(c->execute("SELECT count(*) FROM Products WHERE Discontinued = ?", {&yes, 1})->value(0).longValue(), 8);
    EXPECT_EQ(c->execute("SELECT OrderID FROM Orders WHERE OrderDate = ?", {&day, 1})->value(0).longValue(), 10248);
    rs = c->execute("SELECT Left(ProductName, 3) AS L, Right(ProductName, 3) AS R, Mid(ProductName, 2, 2) AS M, "
                    "Len(ProductName) AS N, InStr(ProductName, 'A') AS I, UCase(ProductName) AS U, "
                    "LCase(ProductName) AS LC, '[' & Trim('  x  ') & LTrim(' y') & RTrim('z ') & ']' AS T "
                    "FROM Products WHERE ProductID = 1");
    EXPECT_EQ(row(*rs), "L=Cha|R=hai|M=ha|N=4|I=3|U=CHAI|LC=chai|T=[xyz]");
    // TOP n and TOP n PERCENT keep the rows that tie with the last one.
    rs = c->execute("SELECT TOP 2 ProductName FROM Products WHERE UnitPrice <= 10 ORDER BY UnitPrice");
    const std::string cheapest = rows(*rs);
    EXPECT_EQ(rs->recordCount(), c->execute("SELECT count(*) FROM Products WHERE UnitPrice <= (SELECT Min(UnitPrice) "
                                            "FROM Products WHERE UnitPrice > (SELECT Min(UnitPrice) FROM Products))")
                                     ->value(0).longValue())
        << cheapest;
    EXPECT_EQ(c->execute("SELECT TOP 10 PERCENT ProductID FROM Products ORDER BY ProductID")->recordCount(), 8);
    EXPECT_EQ(c->execute("SELECT TOP 5 ProductID FROM Products")->recordCount(), 5);
}

// The current row's values as "name=VarType:value".
std::string typedRow(Recordset& rs) {
    std::string all;
    for (std::size_t i = 0; i < rs.fieldCount(); ++i) {
        const Variant v = rs.value(i);
        all += (i ? "|" : "") + rs.column(i).name + "=" + std::to_string(static_cast<int>(v.type())) + ":" + v.toUtf8();
    }
    return all;
}

// Aggregates of a column keep its type as in Access: Sum and Avg of a
// Currency column are Currency, summed exactly (Avg rounded to four
// decimals); Min and Max keep a Currency, a Date, a Single. A Single column
// gives Singles as stored, and Avg of them is the Double of the Singles
// widened exactly. Expected values: mdb-export's, summed as decimals.
TEST(AccessSql, AggregatesKeepTheirColumnsType) {
    TempDir dir;
    Ref<Connection> c = openJet(accessFile("nwind.mdb", dir));
    EXPECT_EQ(typedRow(*c->execute("SELECT Sum(Freight) AS S, AVG(Freight), Min(Freight) AS Lo, Max(OrderDate) AS Hi, "
                                   "Min(Orders.OrderDate) AS First, Count(*) AS N FROM Orders")),
              "S=6:64942.69|Expr1001=6:78.2442|Lo=6:0.02|Hi=7:6/5/1996|First=7:8/4/1994|N=3:830");
    Ref<Recordset> rs = c->execute("SELECT EmployeeID, Sum(Freight) AS S, Avg(Freight) AS A FROM Orders AS O "
                                   "GROUP BY EmployeeID ORDER BY EmployeeID");
    std::string sums;
    for (; !rs->eof(); rs->moveNext()) sums += typedRow(*rs) + "\n";
    EXPECT_EQ(sums, "EmployeeID=3:1|S=6:8836.64|A=6:71.8426\nEmployeeID=3:2|S=6:8696.41|A=6:90.5876\n"
                    "EmployeeID=3:3|S=6:10884.74|A=6:85.7066\nEmployeeID=3:4|S=6:11346.14|A=6:72.7317\n"
                    "EmployeeID=3:5|S=6:3918.71|A=6:93.3026\nEmployeeID=3:6|S=6:3780.47|A=6:56.4249\n"
                    "EmployeeID=3:7|S=6:6665.44|A=6:92.5756\nEmployeeID=3:8|S=6:7487.88|A=6:71.9988\n"
                    "EmployeeID=3:9|S=6:3326.26|A=6:77.3549\n");
    // Order 10250: discounts 0, 0.15 and 0.15 as Singles; their average is
    // (0 + 2 * 0.150000005960464) / 3.
    EXPECT_EQ(typedRow(*c->execute("SELECT Discount FROM [Order Details] WHERE OrderID = 10250 AND ProductID = 51")),
              "Discount=4:0.15");
    EXPECT_EQ(typedRow(*c->execute("SELECT Max(Discount) AS Hi, Avg(Discount) AS A, Sum(UnitPrice) AS S "
                                   "FROM [Order Details] WHERE OrderID = 10250")),
              "Hi=4:0.15|A=5:0.100000003973643|S=6:66.9");
}

// A saved query's typed columns keep their type where it is read, and give
// it to no column that the reading statement names itself.
TEST(AccessSql, SavedQueriesColumnsKeepTheirTypeWhereTheyAreRead) {
    TempDir dir;
    const std::unique_ptr<Backend> db = importAccess(accessFile("nwind.mdb", dir));
    auto& jet = dynamic_cast<JetBackend&>(*db);
    jet.addView("Totals", "SELECT Sum(Freight), Max(OrderDate) AS Latest FROM Orders");
    auto first = [&](const std::string& sql) {
        Ref<Recordset> rs = makeRef<Recordset>();
        rs->attach(jet.query(sql, {}), u"");
        return typedRow(*rs);
    };
    EXPECT_EQ(first("SELECT * FROM Totals"), "Expr1000=6:64942.69|Latest=7:6/5/1996");
    EXPECT_EQ(first("SELECT count(*), Latest FROM Totals"), "Expr1000=3:1|Latest=7:6/5/1996");
}

// A text that is no number fails the arithmetic operators and Sum and Avg
// as it fails +; one that is a number counts as that number.
TEST(AccessSql, TextThatIsNoNumberIsATypeMismatch) {
    TempDir dir;
    Ref<Connection> c = openJet(accessFile("nwind.mdb", dir));
    for (const char* sql : {"SELECT 'abc' * 2", "SELECT 2 * 'abc'", "SELECT 'abc' / 2", "SELECT 'abc' - 1", "SELECT -'abc'",
                            "SELECT 'abc' Mod 2", "SELECT Sum(PostalCode) FROM Customers",
                            "SELECT Avg(PostalCode) FROM Customers"})
        EXPECT_NE(refusal(*c, sql).find("Type mismatch"), std::string::npos) << sql << ": " << refusal(*c, sql);
    // 830 orders whose EmployeeID sum to 3655 (mdb-export).
    EXPECT_EQ(row(*c->execute("SELECT Sum(CStr(EmployeeID)) AS S, count(*) AS N, '12' * 2 AS P FROM Orders")),
              "S=3655|N=830|P=24");
}

// DISTINCTROW keeps one row per row of the tables whose columns are
// selected: 89 of the 91 customers have orders (mdb-export).
TEST(AccessSql, DistinctRowIsOneRowPerRowOfTheSelectedTables) {
    TempDir dir;
    Ref<Connection> c = openJet(accessFile("nwind.mdb", dir));
    const char* join = " FROM Customers AS C INNER JOIN Orders ON C.CustomerID = Orders.CustomerID";
    for (const char* columns : {"CompanyName", "C.CompanyName, Len(City) AS L", "C.*"})
        EXPECT_EQ(c->execute(std::string("SELECT DISTINCTROW ") + columns + join)->recordCount(), 89) << columns;
    for (const char* columns : {"CompanyName, OrderID", "*", "Count(*) AS N"})
        EXPECT_EQ(c->execute(std::string("SELECT DISTINCTROW ") + columns + join)->recordCount(),
                  std::string(columns).starts_with("Count") ? 1 : 830) << columns;
    Ref<Recordset> rs = c->execute(std::string("SELECT DISTINCTROW TOP 2 CompanyName") + join + " ORDER BY CompanyName");
    EXPECT_EQ(rows(*rs), "CompanyName=Alfreds Futterkiste\nCompanyName=Ana Trujillo Emparedados y helados\n");
    // A saved query with it: the 84 customers of the 391 orders of 1995.
    EXPECT_EQ(c->execute("SELECT * FROM [Quarterly Orders]")->recordCount(), 84);
    // Text files too; two rows alike in every column are one.
    dir.write("c.csv", "Id,Name\r\n1,a\r\n2,b\r\n2,b\r\n");
    dir.write("o.csv", "Cid\r\n1\r\n1\r\n2\r\n");
    Ref<Connection> text = openJet(dir.str(), ";Extended Properties=\"text;HDR=YES;FMT=Delimited\"");
    EXPECT_EQ(rows(*text->execute("SELECT DISTINCTROW Name FROM [c.csv] INNER JOIN [o.csv] ON [c.csv].Id = "
                                  "[o.csv].Cid ORDER BY Name")),
              "Name=a\nName=b\n");
}

TEST(AccessSql, SavedQueriesAreViews) {
    TempDir dir;
    Ref<Connection> c = openJet(accessFile("nwind.mdb", dir));
    Ref<Recordset> top = c->execute("SELECT * FROM [Ten Most Expensive Products]");
    EXPECT_EQ(top->recordCount(), 10);
    EXPECT_EQ(row(*top), "TenMostExpensiveProducts=Côte de Blaye|UnitPrice=263.5");
    // A union query, one over another query with & in its columns, one
    // grouping another query.
    EXPECT_EQ(c->execute("SELECT count(*) FROM [Customers and Suppliers by City] WHERE Relationship = 'Suppliers'")
                  ->value(0).longValue(), 29);
    EXPECT_EQ(c->execute("SELECT count(*) FROM Invoices")->value(0).longValue(), 2155);
    EXPECT_EQ(row(*c->execute("SELECT Salesperson FROM Invoices WHERE OrderID = 10248 AND ProductID = 11")),
              "Salesperson=Steven Buchanan");
    EXPECT_EQ(row(*c->execute("SELECT * FROM [Category Sales for 1995] WHERE CategoryName = 'Beverages'")),
              "CategoryName=Beverages|CategorySales=104737.68");
    bool listed = false;
    for (const CatalogTable& t : c->catalog()) listed |= t.name == "Invoices" && t.type == "VIEW";
    EXPECT_TRUE(listed);
    // Those that ask for values are named with what they ask for.
    EXPECT_NE(refusal(*c, "SELECT * FROM [Employee Sales by Country]")
                  .find("'Employee Sales by Country' cannot be used here: it asks for parameters by name "
                        "([Beginning Date])"),
              std::string::npos);
    EXPECT_NE(refusal(*c, "SELECT * FROM [Invoices Filter]").find("Forms"), std::string::npos);
}

TEST(AccessSql, WhatCannotBeTranslatedIsRefusedByName) {
    TempDir dir;
    Ref<Connection> c = openJet(accessFile("DateTestDatabase.mdb", dir));
    const std::pair<const char*, const char*> refused[] = {
        {"TRANSFORM Count(*) SELECT IDCol FROM DateTest GROUP BY IDCol PIVOT ShortTextCol", "crosstab query"},
        {"UPDATE DateTest SET IDCol = 0", "action query (UPDATE)"},
        {"delete FROM DateTest", "action query (DELETE)"},
        {"SELECT * INTO Copy FROM DateTest", "action query (SELECT ... INTO)"},
        {"PARAMETERS [When] DateTime; SELECT * FROM DateTest", "Parameters declared by name"},
        {"SELECT * FROM DateTest WHERE DateCol > [Since when]", "no such column: Since when (a name that is no"},
        {"SELECT IDCol Xor 1 FROM DateTest", "The operator Xor"},
        {"SELECT * FROM DateTest WHERE DateCol > #31/31/2000#", "#31/31/2000# is not a date"},
        {"SELECT 'open FROM DateTest", "A quoted text is not closed (at character 8"},
        {"SELECT 1; SELECT 2", "more than one statement"},
    };
    for (const auto& [sql, why] : refused) EXPECT_NE(refusal(*c, sql).find(why), std::string::npos) << sql << ": " << refusal(*c, sql);
    // Dates before 1900 and after 2100 are computed on as any other.
    Ref<Recordset> rs = c->execute("SELECT IDCol, Year(DateTimeCol) AS Y, Format(DateTimeCol, 'yyyy-mm-dd') AS F, "
                                   "DateAdd('yyyy', 1, DateTimeCol) AS N FROM DateTest "
                                   "WHERE DateTimeCol < #1/1/1900# ORDER BY IDCol");
    EXPECT_EQ(rows(*rs), "IDCol=3|Y=1898|F=1898-01-01|N=1/1/1899\nIDCol=4|Y=632|F=0632-01-01|N=1/1/0633\n");
}

// Access's functions write numbers in the connection's locale (a template's)
// whatever the thread's and the user's are; without one, in the thread's (a
// running script's own), not the user's. The thread's comes back after.
TEST(AccessSql, FunctionsWriteNumbersInTheConnectionsLocale) {
    TempDir dir;
    dir.write("n.csv", "N\r\n1234.5\r\n");
    struct Locales {
        Locales() {
            sys::setUserDefaultLcid(1031);
            setCurrentLocale(*sys::localeFormatFor(1036));
        }
        ~Locales() {
            setCurrentLocale(LocaleFormat::english());
            sys::setUserDefaultLcid(0);
        }
    } locales;
    Ref<Connection> c = openJet(dir.str(), ";Extended Properties=\"text;HDR=YES;FMT=Delimited\"");
    const std::string sql = "SELECT Format(N, '0.00') AS F, CStr(N) AS S, N & '' AS J, CStr(CDbl('1,5')) AS D "
                            "FROM [n.csv]";
    EXPECT_EQ(row(*c->execute(sql)), "F=1234,50|S=1234,5|J=1234,5|D=1,5");
    c->setLocale(1033);
    EXPECT_EQ(row(*c->execute(sql)), "F=1234.50|S=1234.5|J=1234.5|D=15");
    EXPECT_EQ(currentLocale().lcid, 1036u);
}

// The same Access SQL on a folder of text files: the operators' precedence
// and results, Like's patterns, and an SQLite file that keeps SQLite's SQL.
TEST(AccessSql, OperatorsAndPatternsOnTextFiles) {
    TempDir dir;
    dir.write("items.csv", "Name,Qty,Price,Due\r\nŁódź tea,3,2.5,2024-01-31\r\nCafé,2,1.25,2024-02-29 10:30\r\n"
                           "x_1,1,4,2024-03-01\r\n");
    Ref<Connection> c = openJet(dir.str(), ";Extended Properties=\"text;HDR=YES;FMT=Delimited\"");
    Ref<Recordset> rs = c->execute(
        "SELECT Qty * Price & ' EUR' AS T, 7 / 2 AS D, 7 \\ 2 AS I, 7 Mod 3 AS M, 2 ^ 3 ^ 2 AS P, -2 ^ 2 AS NP, "
        "'a' + 'b' AS S, Due + 1 AS N, #2024-03-01# - Due AS G, Not 1 = 2 AS B, 1 + 2 & 3 AS C "
        "FROM [items.csv] WHERE Name = 'cAFé' OR Name Like 'ł?DŹ*'");
    EXPECT_EQ(rows(*rs), "T=7.5 EUR|D=3.5|I=3|M=1|P=64|NP=-4|S=ab|N=2/1/2024|G=30|B=True|C=33\n"
                         "T=2.5 EUR|D=3.5|I=3|M=1|P=64|NP=-4|S=ab|N=3/1/2024 10:30:00 AM|G=0.5625|B=True|C=33\n");
    auto count = [&](const std::string& where) {
        return c->execute("SELECT count(*) FROM [items.csv] WHERE " + where)->value(0).longValue();
    };
    EXPECT_EQ(count("Name Like '[!a-l]*'"), 2);       // Ł and x
    EXPECT_EQ(count("Name Like 'x[_]#'"), 1);
    EXPECT_EQ(count("Name Like '*#'"), 1);
    EXPECT_EQ(count("Name Like 'caf%'"), 1);           // the other kind of wildcards
    EXPECT_EQ(count("Due >= #2/29/2024# AND Due < #2024-03-01#"), 1);
    EXPECT_EQ(count("Due = #2024-01-31#"), 1);
    EXPECT_EQ(count("Name Like Null"), 0);

    makeSqlite(dir.file("plain.db"), "CREATE TABLE t (s TEXT); INSERT INTO t VALUES ('ab');");
    Ref<Connection> sqlite = openJet(dir.file("plain.db"));
    EXPECT_EQ(row(*sqlite->execute("SELECT s || 'c' AS j, 7 / 2 AS d, s LIKE 'A%' AS l FROM t")), "j=abc|d=3|l=1");
}

// What SQLite reads otherwise is read as Access reads it: "--" and "/*" are
// operators, not comments; long chains and nested IIf run, absurd ones are
// refused in words; the scientific picture of Format.
TEST(AccessSql, AccessReadingOfWhatSqliteReadsOtherwise) {
    TempDir dir;
    dir.write("q.csv", "Q,Owner\r\n6,me\r\n6,you\r\n");
    Ref<Connection> c = openJet(dir.str(), ";Extended Properties=\"text;HDR=YES;FMT=Delimited\"");
    EXPECT_EQ(row(*c->execute("SELECT 5--1 AS A, 5- -1-1 AS B FROM [q.csv] WHERE Q = 5--1 AND Owner = 'me'")),
              "A=6|B=5");
    EXPECT_NE(refusal(*c, "SELECT 8 /* a note */ FROM [q.csv]").find("\"*\" is not expected"), std::string::npos);
    // Words SQLite reads as its own are names; its own functions are not
    // Access's (its Hex and Log give other values), nor its table functions.
    const std::pair<const char*, const char*> sqliteOnly[] = {
        {"SELECT current_date FROM [q.csv]", "no such column: current_date"},
        {"SELECT randomblob(8) FROM [q.csv]", "Undefined function 'randomblob'"},
        {"SELECT Q FROM [q.csv] NATURAL JOIN [q.csv]", "ambiguous column name: Q"}, // NATURAL an alias
        {"SELECT * FROM json_each(\"[1]\")", "\"(\" is not expected among the tables"},
    };
    for (const auto& [sql, why] : sqliteOnly) EXPECT_NE(refusal(*c, sql).find(why), std::string::npos) << sql << ": " << refusal(*c, sql);
    EXPECT_EQ(row(*c->execute("SELECT Hex(255) AS H, Round(Log(Exp(2)), 6) AS L, Chr(65) & Asc('a') AS C FROM [q.csv] "
                              "WHERE Owner = 'me'")),
              "H=FF|L=2|C=A97");
    // IIf nested 25 deep in either branch; 1 + 1 + ... of 1,000 terms.
    std::string last = "Q", first = "Q", sum = "1";
    for (int k = 1; k <= 25; ++k) {
        last = "IIf(Q = " + std::to_string(k) + ", " + std::to_string(k * 10) + ", " + last + ")";
        first = "IIf(Q <> " + std::to_string(k) + ", " + first + ", " + std::to_string(k * 10) + ")";
    }
    for (int k = 1; k < 1000; ++k) sum += " + 1";
    EXPECT_EQ(row(*c->execute("SELECT " + last + " AS L, " + first + " AS F, " + sum + " AS S FROM [q.csv] "
                              "WHERE Owner = 'me'")),
              "L=60|F=60|S=1000");
    std::string deep = "1";
    for (int k = 0; k < 200; ++k) deep = "IIf(Q = 1, " + deep + ", 0)";
    EXPECT_NE(refusal(*c, "SELECT " + deep + " FROM [q.csv]").find("too deeply"), std::string::npos);
    std::string longer = "1";
    for (int k = 0; k < 20000; ++k) longer += " + 1";
    EXPECT_NE(refusal(*c, "SELECT " + longer + " FROM [q.csv]").find("chained too long"), std::string::npos);
    // A long And chain runs; translating hears the deadline.
    std::string all = "Q = 6";
    for (int k = 0; k < 20000; ++k) all += " AND Q = 6";
    EXPECT_EQ(c->execute("SELECT count(*) FROM [q.csv] WHERE " + all)->value(0).longValue(), 2);
    {
        const sys::DeadlineScope passed(sys::DeadlineClock::now() - std::chrono::seconds(1));
        EXPECT_NE(refusal(*c, "SELECT count(*) FROM [q.csv] WHERE " + all).find("timeout"), std::string::npos);
    }
    EXPECT_EQ(row(*c->execute("SELECT Format(12345, '0E+0') AS A, Format(12345, '0.00E+00') AS B, "
                              "Format(0.00012345, '0.0E-0') AS C, Format(-12345, '00E+0') AS D, "
                              "Format(9.999, '0.0e+0') AS E, Format(3238, 'Scientific') AS F FROM [q.csv] "
                              "WHERE Owner = 'me'")),
              "A=1E+4|B=1.23E+04|C=1.2E-4|D=-12E+3|E=1.0e+1|F=3.24E+03");
}

} // namespace
} // namespace qz::ado::test

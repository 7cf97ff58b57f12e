// The Jet provider's file sources, read into SQLite: delimited text, Excel
// workbooks and Access databases; and the same data read from every form.
#include "SameData.h"
#include "common/CommaLocale.h"

#include "platform/ado/Workbook.h"
#include "platform/automation/MemoryMeter.h"
#include "platform/system/Deadline.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

namespace qz::ado::test {
namespace {

const char* kQuery = "SELECT ID, Customer, Total, Created FROM %s ORDER BY ID";

std::string query(const char* table) {
    char buf[256];
    std::snprintf(buf, sizeof buf, kQuery, table);
    return buf;
}

std::string textString(const std::string& folder, const char* hdr) {
    return "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"" + folder +
           "\";Extended Properties=\"text;HDR=" + hdr + ";FMT=Delimited\"";
}

void ExpectTheSameFromEveryForm() {
    TempDir dir;
    makeSqlite(dir.file("same.db"), kSameSql);
    Ref<Connection> sqlite = makeRef<Connection>();
    sqlite->open("Data Source=" + dir.file("same.db"));
    const std::string expected = dump(*sqlite->execute(query("Orders")));
    EXPECT_NE(expected.find("Two\nLines"), std::string::npos);

    // Jet's name for an SQLite file: the same file through the Jet provider.
    Ref<Connection> jet = makeRef<Connection>();
    jet->open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"" + dir.file("same.db") + "\"");
    EXPECT_EQ(dump(*jet->execute(query("Orders"))), expected);

    std::filesystem::create_directories(dir.file("csv"));
    std::ofstream(dir.file("csv/orders.csv"), std::ios::binary) << kSameCsv;
    Ref<Connection> text = makeRef<Connection>();
    text->open(textString(dir.file("csv"), "YES"));
    EXPECT_EQ(dump(*text->execute(query("[orders.csv]"))), expected);
    EXPECT_EQ(dump(*text->execute(query("[orders#csv]"))), expected);

    ASSERT_TRUE(writeSameXls(dir.file("same.xls"), dir.str()));
    Ref<Connection> xls = makeRef<Connection>();
    xls->open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"" + dir.file("same.xls") +
              "\";Extended Properties=Excel 8.0;");
    EXPECT_EQ(dump(*xls->execute(query("[Orders$]"))), expected);

    // A later version's workbook, though the string still says Excel 8.0.
    ASSERT_TRUE(writeSameXlsx(dir.file("same.xlsx"), dir.str())) << "python3-openpyxl is needed";
    Ref<Connection> xlsx = makeRef<Connection>();
    xlsx->open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"" + dir.file("same.xlsx") +
               "\";Extended Properties=Excel 8.0;");
    EXPECT_EQ(dump(*xlsx->execute(query("[Orders$]"))), expected);

    EXPECT_EQ(dump(*parseSavedRecordset(sameXml(), "same.xml")), expected);
}

TEST(FileSources, TheSameDataReadsTheSameFromEveryForm) { ExpectTheSameFromEveryForm(); }


TEST(FileSources, TextFilesWithoutHeaderAndOtherSeparators) {
    TempDir dir;
    dir.write("a.txt", "x;\"1;2\"\r\ny;\r\n\r\n");
    dir.write("ignored.dat", "not a table");
    Ref<Connection> c = makeRef<Connection>();
    c->open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"" + dir.str() +
            "\";Extended Properties=\"text;HDR=NO;FMT=Delimited(;)\"");
    Ref<Recordset> rs = c->execute("SELECT * FROM [a.txt]");
    ASSERT_EQ(rs->fieldCount(), 2u);
    EXPECT_EQ(rs->column(0).name, "F1");
    EXPECT_EQ(rs->recordCount(), 2);
    EXPECT_EQ(text(rs->value(1)), "1;2");
    rs->moveNext();
    EXPECT_TRUE(rs->value(1).isNull());
    std::vector<CatalogTable> tables = c->catalog();
    ASSERT_EQ(tables.size(), 1u);
    EXPECT_EQ(tables[0].name, "a#txt");

    // Header names that are empty or repeated still give distinct columns.
    dir.write("d.csv", "A,,a\r\n1,2,3\r\n");
    Ref<Connection> c4 = makeRef<Connection>();
    c4->open(textString(dir.str(), "YES"));
    Ref<Recordset> names = c4->execute("SELECT * FROM [d.csv]");
    ASSERT_EQ(names->fieldCount(), 3u);
    EXPECT_EQ(names->column(1).name, "F2");
    EXPECT_EQ(names->column(2).name, "a_1");
    EXPECT_EQ(names->value(2).longValue(), 3);

    // A quote left open runs to the end of the file instead of losing it.
    dir.write("c.txt", "a;\"open\r\nstill open");
    Ref<Connection> c3 = makeRef<Connection>();
    c3->open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"" + dir.str() +
             "\";Extended Properties=\"text;HDR=NO;FMT=Delimited(;)\"");
    Ref<Recordset> open = c3->execute("SELECT F2 FROM [c.txt]");
    EXPECT_EQ(open->recordCount(), 1);
    EXPECT_EQ(text(open->value(0)), "open\r\nstill open");

    // Text in the Windows code page is read as such, its 0x80-0x9F range
    // included (the bytes it leaves undefined become the C1 controls).
    dir.write("b.csv", "Name\r\nCaf\xE9 \x80\x93x\x94 \x81\r\n");
    Ref<Connection> c2 = makeRef<Connection>();
    c2->open(textString(dir.str(), "YES"));
    EXPECT_EQ(text(c2->execute("SELECT Name FROM [b.csv]")->value(0)),
              "Caf\xC3\xA9 \xE2\x82\xAC\xE2\x80\x9Cx\xE2\x80\x9D \xC2\x81");
    // Bytes shaped like UTF-8 but ill-formed (an encoded surrogate) are no
    // UTF-8 text: they too are Windows-1252 characters.
    dir.write("e.csv", "Name\r\n\xED\xA0\x80\r\n");
    Ref<Connection> c5 = makeRef<Connection>();
    c5->open(textString(dir.str(), "YES"));
    EXPECT_EQ(text(c5->execute("SELECT Name FROM [e.csv]")->value(0)), "\xC3\xAD\xC2\xA0\xE2\x82\xAC");

    Ref<Connection> missing = makeRef<Connection>();
    EXPECT_THROW(missing->open(textString(dir.file("nope"), "YES")), AutomationError);
}

// Numbers written with a decimal comma are read as such where the
// connection declares it; undeclared, they are texts, which a sum refuses
// rather than reading "1.234,56" as 1.234.
TEST(FileSources, TextFilesDeclareTheirDecimalComma) {
    TempDir dir;
    dir.write("p.csv", "Name;Price;Code\r\ntea;3,5;1.2\r\ncoffee;1.234,56;12.34\r\n");
    auto open = [&](const std::string& more) {
        Ref<Connection> c = makeRef<Connection>();
        c->open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"" + dir.str() +
                "\";Extended Properties=\"text;HDR=YES;FMT=Delimited(;)" + more + "\"");
        return c;
    };
    Ref<Recordset> rs = open(";DecimalSymbol=,")->execute("SELECT Sum(Price) AS S, Max(Code) AS C FROM [p.csv]");
    EXPECT_DOUBLE_EQ(rs->value(0).toDouble(), 1238.06);
    EXPECT_EQ(text(rs->value(1)), "12.34"); // "12.34" groups no thousands: a text
    std::string why;
    try {
        open("")->execute("SELECT Sum(Price) FROM [p.csv]");
    } catch (const AutomationError& e) {
        why = e.Description;
    }
    EXPECT_NE(why.find("Type mismatch"), std::string::npos) << why;
    for (const char* bad : {";DecimalSymbol=,,", ";DecimalSymbol=x"})
        EXPECT_THROW(open(bad), AutomationError) << bad;
}

std::string excelString(const std::string& path) {
    return "Provider=Microsoft.ACE.OLEDB.12.0; Data Source=\"" + path + "\";Extended Properties=\"Excel 12.0 Xml;HDR=YES\"";
}

std::vector<std::string> tableNames(Connection& c) {
    std::vector<std::string> names;
    for (const CatalogTable& t : c.catalog()) names.push_back(t.name);
    return names;
}

// The message of opening the workbook (or the file with other extended
// properties), "" when it opens.
std::string openError(const std::string& path, const std::string& properties = {}) {
    Ref<Connection> c = makeRef<Connection>();
    try {
        c->open(properties.empty() ? excelString(path)
                                   : "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + path + properties);
    } catch (const AutomationError& e) {
        return e.Description;
    }
    return "";
}

TEST(FileSources, WorkbookSheetsAreTables) {
    TempDir dir;
    ASSERT_TRUE(writeSameXls(dir.file("book.xls"), dir.str()));
    Ref<Connection> c = makeRef<Connection>();
    c->open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"" + dir.file("book.xls") +
            "\";Extended Properties=\"Excel 8.0;HDR=YES\"");
    std::vector<CatalogTable> tables = c->catalog();
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0].name, "Notes$");
    EXPECT_EQ(tables[1].name, "Orders$");
    EXPECT_EQ(text(c->execute("SELECT Text FROM [Notes$]")->value(0)), "hello");

    dir.write("fake.xls", "this is not a workbook");
    Ref<Connection> bad = makeRef<Connection>();
    try {
        bad->open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"" + dir.file("fake.xls") +
                  "\";Extended Properties=Excel 8.0;");
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_NE(e.Description.find("fake.xls"), std::string::npos);
        ASSERT_EQ(bad->errors().size(), 1u);
    }
    // A directory entry that gives its name more bytes than an entry holds
    // is refused before the workbook's reader goes past the entry.
    std::ifstream in(dir.file("book.xls"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::uint32_t directory = 0;
    std::memcpy(&directory, bytes.data() + 0x30, 4);
    const std::size_t entry = (directory + 1u) * 512u;
    ASSERT_LT(entry + 0x41, bytes.size());
    const std::string whole = bytes;
    bytes[entry + 0x40] = bytes[entry + 0x41] = '\xFF';
    dir.write("long-name.xls", bytes);
    EXPECT_NE(openError(dir.file("long-name.xls")).find("entry 1 of its directory gives a name of 65535 bytes"),
              std::string::npos);
    // Sectors of a size the format does not have.
    bytes = whole;
    bytes[0x1E] = 16;
    dir.write("big-sectors.xls", bytes);
    EXPECT_NE(openError(dir.file("big-sectors.xls")).find("its sectors are of 65536 bytes"), std::string::npos);
    // The Jet provider's formats without a reader here say so.
    EXPECT_NE(openError(dir.str(), "\";Extended Properties=\"dBASE IV;\"").find("dBASE IV files cannot be read"),
              std::string::npos);
}

// A later version's workbook as a Python writer makes it: sheets and a named
// range are tables; booleans, texts of digits and merged cells keep what the
// cells hold; an empty sheet is a table without rows; a formula saved without
// its value is Null, and the dates of its column stay dates.
TEST(FileSources, XlsxFromAPythonWriter) {
    TempDir dir;
    ASSERT_TRUE(writeSameXlsx(dir.file("book.xlsx"), dir.str())) << "python3-openpyxl is needed";
    Ref<Connection> c = makeRef<Connection>();
    c->open(excelString(dir.file("book.xlsx")));
    EXPECT_EQ(tableNames(*c), (std::vector<std::string>{"Due$", "Empty$", "Flags$", "Orders$", "Prices"}));
    EXPECT_EQ(dump(*c->execute("SELECT * FROM [Due$]")), "Due:D N:L \n7=1/5/2024|3=1|\n7=2/6/2024|3=2|\n1=|3=3|\n");
    EXPECT_EQ(dump(*c->execute("SELECT * FROM [Flags$]")),
              "Group:S Done:? Code:S \n8=North|11=True|8=007|\n1=|11=False|8=008|\n");
    EXPECT_EQ(dump(*c->execute("SELECT * FROM Prices")),
              "Customer:S Total:F \n8=Vins et alcools, Chevalier|5=12.5|\n8=Say \"Hi\"|5=3.25|\n8=Two\nLines|5=100|\n");
    Ref<Recordset> empty = c->execute("SELECT * FROM [Empty$]");
    EXPECT_EQ(empty->fieldCount(), 1u);
    EXPECT_EQ(empty->recordCount(), 0);
}

// A workbook LibreOffice writes: formulas read as their cached values, a
// merged cell's value in its first cell, dates by their number format (the
// earliest ones too), a named range and a sheet without data.
TEST(FileSources, XlsxFromLibreOffice) {
    if (std::system("command -v soffice >/dev/null 2>&1") != 0) GTEST_SKIP() << "LibreOffice is not installed";
    TempDir dir;
    const std::string convert = "soffice -env:UserInstallation=file://" + dir.file("profile") +
                                " --headless --convert-to xlsx --outdir '" + dir.str() + "' '" + QZ_TEST_DATA_DIR +
                                "/xlsx/lines.fods' >/dev/null 2>&1";
    ASSERT_EQ(std::system(convert.c_str()), 0) << convert;
    Ref<Connection> c = makeRef<Connection>();
    c->open(excelString(dir.file("lines.xlsx")));
    EXPECT_EQ(tableNames(*c), (std::vector<std::string>{"Blank$", "Items", "Lines$"}));
    EXPECT_EQ(dump(*c->execute("SELECT * FROM [Lines$]")),
              "Item:S Qty:L Price:F Amount:F Due:D Note:S \n"
              "8=Caf\xC3\xA9 cr\xC3\xA8me|3=3|5=2.5|5=7.5|7=1/17/2026|1=|\n"
              "8=Tea|3=4|5=1.25|5=5|7=12/31/1899|1=|\n"
              "8=Total|1=|1=|5=12.5|1=|8=paid|\n");
    EXPECT_EQ(c->execute("SELECT * FROM Items")->recordCount(), 2);
    EXPECT_EQ(c->execute("SELECT * FROM [Blank$]")->recordCount(), 0);
}

// Workbooks of Excel 97 to 2003 as LibreOffice writes them: formula cells
// give the results they were saved with (numbers, a text, booleans) and a
// named range is a table, as in the later format; boolean cells as a Python
// writer keeps them are booleans.
TEST(FileSources, XlsFormulasBooleansAndNamedRanges) {
    if (std::system("command -v soffice >/dev/null 2>&1") != 0) GTEST_SKIP() << "LibreOffice is not installed";
    TempDir dir;
    const std::string body = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2" office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:body><office:spreadsheet><table:table table:name="Flags">
<table:table-row><table:table-cell office:value-type="string"><text:p>Done</text:p></table:table-cell><table:table-cell office:value-type="string"><text:p>Big</text:p></table:table-cell></table:table-row>
<table:table-row><table:table-cell office:value-type="boolean" office:boolean-value="true"/><table:table-cell table:formula="of:=2&gt;1" office:value-type="boolean" office:boolean-value="true"/></table:table-row>
<table:table-row><table:table-cell office:value-type="boolean" office:boolean-value="false"/><table:table-cell table:formula="of:=1&gt;2" office:value-type="boolean" office:boolean-value="false"/></table:table-row>
</table:table></office:spreadsheet></office:body></office:document>)";
    dir.write("flags.fods", body);
    // A text cell whose text is empty.
    std::string emptyText = body;
    emptyText.replace(emptyText.find("<text:p>Big</text:p>"), 20, "<text:p></text:p>");
    dir.write("empty.fods", emptyText);
    const std::string convert = "soffice -env:UserInstallation=file://" + dir.file("profile") +
                                " --headless --convert-to xls --outdir '" + dir.str() + "' '" + QZ_TEST_DATA_DIR +
                                "/xlsx/lines.fods' '" + dir.file("flags.fods") + "' '" + dir.file("empty.fods") +
                                "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(convert.c_str()), 0) << convert;
    Ref<Connection> c = makeRef<Connection>();
    c->open(excelString(dir.file("lines.xls")));
    EXPECT_EQ(tableNames(*c), (std::vector<std::string>{"Blank$", "Items", "Lines$"}));
    EXPECT_EQ(dump(*c->execute("SELECT Item, Qty, Price, Amount, Note FROM [Lines$]")),
              "Item:S Qty:L Price:F Amount:F Note:S \n"
              "8=Caf\xC3\xA9 cr\xC3\xA8me|3=3|5=2.5|5=7.5|1=|\n"
              "8=Tea|3=4|5=1.25|5=5|1=|\n"
              "8=Total|1=|1=|5=12.5|8=paid|\n");
    EXPECT_EQ(dump(*c->execute("SELECT * FROM Items")),
              "Item:S Qty:L Price:F \n8=Caf\xC3\xA9 cr\xC3\xA8me|3=3|5=2.5|\n8=Tea|3=4|5=1.25|\n");
    Ref<Connection> flags = makeRef<Connection>();
    flags->open(excelString(dir.file("flags.xls")));
    // LibreOffice keeps a boolean cell in this format as the number it is;
    // a formula's boolean result is a boolean.
    EXPECT_EQ(dump(*flags->execute("SELECT * FROM [Flags$]")), "Done:L Big:? \n3=1|11=True|\n3=0|11=False|\n");
    // A text cell whose text is empty is read as the others are.
    Ref<Connection> empty = makeRef<Connection>();
    empty->open(excelString(dir.file("empty.xls")));
    EXPECT_EQ(dump(*empty->execute("SELECT * FROM [Flags$]")), "Done:L F2:? \n3=1|11=True|\n3=0|11=False|\n");

    dir.write("make.py", "import sys, xlwt\nb = xlwt.Workbook()\ns = b.add_sheet('Flags')\n"
                         "for r, v in enumerate(['Done', True, False, True]): s.write(r, 0, v)\nb.save(sys.argv[1])\n");
    ASSERT_EQ(std::system(("/usr/bin/python3 '" + dir.file("make.py") + "' '" + dir.file("py.xls") + "'").c_str()), 0)
        << "python3-xlwt is needed";
    Ref<Connection> py = makeRef<Connection>();
    py->open(excelString(dir.file("py.xls")));
    EXPECT_EQ(dump(*py->execute("SELECT * FROM [Flags$]")), "Done:? \n11=True|\n11=False|\n11=True|\n");
}

// A workbook of many shared texts (one of several formatting runs first,
// narrow and wide ones cut across the records that continue the table) and
// of numbers as integers, packed and whole doubles, and dates, reads as the
// same cells saved in the later format do; a cell that names a shared text
// the table does not hold has no value.
TEST(FileSources, XlsSharedTextsAndNumbersReadAsTheLaterFormat) {
    TempDir dir;
    dir.write("make.py", R"(import sys, datetime, xlwt, openpyxl
out = sys.argv[1]
rows = [('rich part', 1, datetime.date(1999, 12, 31))]
for r in range(2, 3001):
    text = ('\u0416' if r % 3 == 0 else '\u00e9' if r % 3 == 1 else '') + 'text %d ' % r + 'x' * (r % 47)
    number = [r * 7, r / 4.0, r + 0.1, -r][r % 4]
    rows.append((text, number, datetime.date(2000, 1, 1) + datetime.timedelta(r)))
b = xlwt.Workbook()
s = b.add_sheet('Cells')
day = xlwt.easyxf(num_format_str='YYYY-MM-DD')
for c, head in enumerate(['Text', 'Number', 'Day']):
    s.write(0, c, head)
s.write_rich_text(1, 0, [('rich ', xlwt.Font()), ('part', xlwt.easyfont('bold on'))])
for r, (text, number, date) in enumerate(rows, 1):
    if r > 1:
        s.write(r, 0, text)
    s.write(r, 1, number)
    s.write(r, 2, date, day)
b.save(out + '/good.xls')
data = bytearray(open(out + '/good.xls', 'rb').read())
at = data.find(b'\xfd\x00\x0a\x00\x02\x00\x00\x00')
data[at + 10:at + 14] = b'\xff\xff\xff\x7f'
open(out + '/badindex.xls', 'wb').write(data)
x = openpyxl.Workbook()
w = x.active
w.title = 'Cells'
w.append(['Text', 'Number', 'Day'])
for row in rows:
    w.append(row)
    w.cell(w.max_row, 3).number_format = 'YYYY-MM-DD'
x.save(out + '/good.xlsx')
)");
    ASSERT_EQ(std::system(("/usr/bin/python3 '" + dir.file("make.py") + "' '" + dir.str() + "'").c_str()), 0)
        << "python3-xlwt and python3-openpyxl are needed";
    auto read = [&](const std::string& file) {
        Ref<Connection> c = makeRef<Connection>();
        c->open(excelString(dir.file(file)));
        return dump(*c->execute("SELECT * FROM [Cells$]"));
    };
    const std::string later = read("good.xlsx");
    EXPECT_EQ(read("good.xls"), later);
    std::string missing = later;
    const std::size_t second = missing.find("8=text 2 xx|");
    ASSERT_NE(second, std::string::npos);
    missing.replace(second, 12, "1=|");
    EXPECT_EQ(read("badindex.xls"), missing);
}

// Packages that other writers make (inline strings, the 1904 date system,
// error values), and damaged ones: each gets a clear error naming the file.
TEST(FileSources, XlsxPartsOfOtherWritersAndDamagedFiles) {
    TempDir dir;
    dir.write("make.py", R"(import sys, zipfile
ns = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
rel = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships/'
def book(path, sheet, shared=None, workbook=True, part='book/main.xml'):
    with zipfile.ZipFile(path, 'w') as z:
        z.writestr('_rels/.rels', '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="r1" Type="' + rel + 'officeDocument" Target="' + part + '"/></Relationships>')
        if not workbook: return
        z.writestr('book/main.xml', '<x:workbook ' + ns.replace('xmlns=', 'xmlns:x=') + '><x:workbookPr date1904="1"/><x:sheets><x:sheet name="Data" sheetId="1" r:id="s1"/></x:sheets></x:workbook>')
        rels = '<Relationship Id="s1" Type="' + rel + 'worksheet" Target="/book/data.xml"/><Relationship Id="st" Type="' + rel + 'styles" Target="styles.xml"/>'
        if shared is not None:
            rels += '<Relationship Id="ss" Type="' + rel + 'sharedStrings" Target="strings.xml"/>'
            z.writestr('book/strings.xml', '<sst ' + ns + '>' + shared + '</sst>')
        z.writestr('book/_rels/main.xml.rels', '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">' + rels + '</Relationships>')
        z.writestr('book/styles.xml', '<styleSheet ' + ns + '><numFmts><numFmt numFmtId="164" formatCode="[$-409]d\\-mmm\\-yy;@"/><numFmt numFmtId="165" formatCode="0.00&quot; d&quot;"/></numFmts><cellXfs><xf numFmtId="0"/><xf numFmtId="164"/><xf numFmtId="165"/></cellXfs></styleSheet>')
        z.writestr('book/data.xml', '<worksheet ' + ns + '><sheetData>' + sheet + '</sheetData></worksheet>')
book(sys.argv[1] + '/good.xlsx',
     '<row r="2"><c r="B2" t="inlineStr"><is><t>Name</t></is></c><c r="C2" t="s"><v>0</v></c><c r="D2" t="inlineStr"><is><r><t>Ra</t></r><r><t>tio</t></r></is></c></row>'
     '<row r="3"><c r="B3" t="inlineStr"><is><t>A</t></is></c><c r="C3" s="1"><v>0</v></c><c r="D3" s="2"><v>1.5</v></c></row>'
     '<row r="4"><c r="B4" t="e"><v>#N/A</v></c><c r="C4" t="d"><v>2024-02-29T12:00:00</v></c><c r="D4"><v>2</v></c></row>',
     '<si><r><t>Wh</t></r><r><t>en</t></r><rPh><t>x</t></rPh></si>')
book(sys.argv[1] + '/escaped.xlsx',
     '<row r="1"><c r="A1" t="inlineStr"><is><t>T_x0065_xt</t></is></c></row><row r="2"><c r="A2" t="s"><v>0</v></c></row>'
     '<row r="3"><c r="A3" t="str"><v>_x005F_x0041_ _xD83D__xDE00_ _x41_</v></c></row>', '<si><t>L1_x000d_\nL2</t></si>')
book(sys.argv[1] + '/badindex.xlsx', '<row><c t="s"><v>7</v></c></row>', '<si><t>only</t></si>')
book(sys.argv[1] + '/badxml.xlsx', '<row><c><v>1</v></row>')
book(sys.argv[1] + '/nobook.xlsx', '', workbook=False)
book(sys.argv[1] + '/binary.xlsb', '', workbook=False, part='xl/workbook.bin')
)");
    ASSERT_EQ(std::system(("/usr/bin/python3 '" + dir.file("make.py") + "' '" + dir.str() + "'").c_str()), 0);
    Ref<Connection> c = makeRef<Connection>();
    c->open(excelString(dir.file("good.xlsx")));
    // The used range starts at B2; 1904 dates count from 1 January 1904.
    EXPECT_EQ(dump(*c->execute("SELECT * FROM [Data$]")),
              "Name:S When:D Ratio:F \n8=A|7=1/1/1904|5=1.5|\n1=|7=2/29/2024 12:00:00 PM|5=2|\n");

    // Characters a text cannot hold as such, written _xHHHH_ (CR of a line
    // break, the escape's own underscore, a pair of surrogates).
    Ref<Connection> escaped = makeRef<Connection>();
    escaped->open(excelString(dir.file("escaped.xlsx")));
    EXPECT_EQ(dump(*escaped->execute("SELECT * FROM [Data$]")),
              "Text:S \n8=L1\r\nL2|\n8=_x0041_ \xF0\x9F\x98\x80 _x41_|\n");

    const std::string damaged[] = {"badindex.xlsx", "badxml.xlsx", "nobook.xlsx", "binary.xlsb"};
    for (const std::string& name : damaged) {
        const std::string error = openError(dir.file(name));
        EXPECT_NE(error.find(name), std::string::npos) << error;
    }
    EXPECT_NE(openError(dir.file("badxml.xlsx")).find("not well-formed"), std::string::npos);
    EXPECT_NE(openError(dir.file("binary.xlsb")).find("binary format (.xlsb)"), std::string::npos);
    // A workbook cut short.
    ASSERT_TRUE(writeSameXlsx(dir.file("whole.xlsx"), dir.str()));
    std::ifstream in(dir.file("whole.xlsx"), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    dir.write("cut.xlsx", bytes.substr(0, bytes.size() / 2));
    EXPECT_NE(openError(dir.file("cut.xlsx")).find("cut.xlsx"), std::string::npos);
}

// Workbooks made to take the reader's time or memory, and sheet names that
// other writers allow: each is read within its bounds, or refused by name.
TEST(FileSources, XlsxBombsAndOddSheetsEndInClearErrors) {
    TempDir dir;
    dir.write("make.py", R"(import sys, os, zipfile
out = sys.argv[1]
ns = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
rel = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships/'
def book(name, sheets, shared=None, names=''):
    with zipfile.ZipFile(out + '/' + name, 'w', zipfile.ZIP_DEFLATED) as z:
        z.writestr('_rels/.rels', '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="r1" Type="' + rel + 'officeDocument" Target="xl/workbook.xml"/></Relationships>')
        tags = ''.join('<sheet name="%s" sheetId="%d" r:id="s%d"/>' % (n, i + 1, i) for i, (n, _) in enumerate(sheets))
        z.writestr('xl/workbook.xml', '<workbook ' + ns + '><sheets>' + tags + '</sheets><definedNames>' + names + '</definedNames></workbook>')
        rels = ''.join('<Relationship Id="s%d" Type="%sworksheet" Target="s%d.xml"/>' % (i, rel, i) for i in range(len(sheets)))
        if shared is not None:
            rels += '<Relationship Id="ss" Type="' + rel + 'sharedStrings" Target="strings.xml"/>'
            z.writestr('xl/strings.xml', '<sst ' + ns + '>' + shared + '</sst>')
        z.writestr('xl/_rels/workbook.xml.rels', '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">' + rels + '</Relationships>')
        for i, (_, data) in enumerate(sheets):
            z.writestr('xl/s%d.xml' % i, '<worksheet ' + ns + '><sheetData>' + data + '</sheetData></worksheet>')
head = '<row r="1"><c r="A1" t="inlineStr"><is><t>N</t></is></c></row>'
book('blanks.xlsx', [('S%d' % i, head + ' ' * (8 << 20)) for i in range(4)])
book('sparse.xlsx', [('Far', ''.join('<row r="%d"><c r="XFD%d"><v>%d</v></c></row>' % (r, r, r) for r in range(1, 20001)))])
book('wide.xlsx', [('Wide', '<row r="1"><c r="A1"><v>1</v></c><c r="XFD1"><v>2</v></c></row>')])
book('shared.xlsx', [('Big', ''.join('<row r="%d"><c r="A%d" t="s"><v>0</v></c></row>' % (r, r) for r in range(1, 201)))],
     '<si><t>' + os.urandom(2 << 20).hex() + '</t></si>')
book('names.xlsx', [('Data', ''.join('<row r="%d">%s</row>' % (r, ''.join('<c r="%s%d"><v>%d</v></c>' % (c, r, r) for c in 'ABCDE')) for r in range(1, 2001)))],
     names=''.join('<definedName name="n%d">Data!$A$1:$E$2000</definedName>' % i for i in range(2000)))
book('quotes.xlsx', [("It's", head)], names='<definedName name="Q">\'It\'\'s\'!$A$1:$A$1</definedName>')
book('twice.xlsx', [('Data', head), ('DATA', head)])
book('long.xlsx', [('L' * 100000, head)])
)");
    ASSERT_EQ(std::system(("/usr/bin/python3 '" + dir.file("make.py") + "' '" + dir.str() + "'").c_str()), 0);

    // Runs of blanks inflate beyond any workbook's measure.
    EXPECT_NE(openError(dir.file("blanks.xlsx")).find("times its packed size"), std::string::npos);
    // One cell far to the right in each row is one cell, not a row of them.
    Ref<Connection> c = makeRef<Connection>();
    c->open(excelString(dir.file("sparse.xlsx")));
    EXPECT_EQ(c->execute("SELECT count(*) FROM [Far$]")->value(0).longValue(), 19999);
    EXPECT_NE(openError(dir.file("wide.xlsx")).find("16384 columns"), std::string::npos);
    {
        // A long shared string in every row counts, copy by copy, against the ceiling.
        memory::CeilingScope ceiling(std::int64_t{100} << 20);
        const std::string error = openError(dir.file("shared.xlsx"));
        EXPECT_NE(error.find("memory ceiling"), std::string::npos) << error;
    }
    EXPECT_NE(openError(dir.file("names.xlsx")).find("more cells than can be read"), std::string::npos);

    Ref<Connection> quoted = makeRef<Connection>();
    quoted->open(excelString(dir.file("quotes.xlsx")));
    EXPECT_EQ(dump(*quoted->execute("SELECT * FROM [It's$]")), "N:S \n");
    EXPECT_EQ(dump(*quoted->execute("SELECT * FROM Q")), "N:S \n");
    EXPECT_NE(openError(dir.file("twice.xlsx")).find("two sheets are named 'DATA'"), std::string::npos);
    EXPECT_NE(openError(dir.file("long.xlsx")).find("100000 characters long"), std::string::npos);
}

// Hostile and odd .xls files, each a compound file packed here around a
// Python writer's workbook stream: they end within the memory ceiling and the
// deadline with an error naming the file, or read as they should.
TEST(FileSources, XlsHostileAndOddFilesEndInClearErrors) {
    TempDir dir;
    ASSERT_EQ(std::system(("/usr/bin/python3 '" QZ_TEST_DATA_DIR "/xls/hostile.py' '" + dir.str() + "'").c_str()), 0)
        << "python3-xlwt is needed";
    auto expectError = [&](const char* file, const char* part) {
        const std::string error = openError(dir.file(file));
        EXPECT_NE(error.find(part), std::string::npos) << file << ": " << error;
        EXPECT_NE(error.find(file), std::string::npos) << error;
    };
    {
        // 131 MB of one shared text, 40 MB of name blocks and a file of
        // 100 MB, under a ceiling of 64 MB.
        const memory::CeilingScope ceiling(std::int64_t{64} << 20);
        expectError("shared.xls", "memory ceiling");
        expectError("names.xls", "memory ceiling");
        expectError("huge.xls", "memory ceiling");
    }
    expectError("loop.xls", "its directory goes round in a loop");
    expectError("twice.xls", "two sheets are named 'SAME'");
    expectError("password.xls", "protected by a password");
    expectError("password.xlsx", "protected by a password");
    expectError("bof.xls", "holds no worksheet");
    // Sectors of 4096 bytes, where the header takes the whole first one,
    // hold what the writer's own file of 512-byte sectors holds.
    auto read = [&](const char* file) {
        Ref<Connection> c = makeRef<Connection>();
        c->open(excelString(dir.file(file)));
        return dump(*c->execute("SELECT * FROM [Data$]"));
    };
    EXPECT_EQ(read("sectors.xls"), read("plain.xls"));
    EXPECT_NE(read("plain.xls").find("=3|"), std::string::npos);
    // The reader hears a deadline that has passed.
    const sys::DeadlineScope past(sys::DeadlineClock::now() - std::chrono::seconds(1));
    try {
        workbook::readWorkbook(dir.file("names.xls"));
        ADD_FAILURE() << "read past the deadline";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.Number, kTimeoutExpired);
    }
}

#if !defined(__SANITIZE_ADDRESS__) // the sanitizer's shadow memory does not fit under a small address space
// Reads the workbook with 64 MB of address space to spare; exits with 0 when
// that ends in error 7 naming the file.
[[noreturn]] void readWithLittleMemory(const std::string& path) {
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t room = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (64u << 20);
    const rlimit limit{room, room};
    ::setrlimit(RLIMIT_AS, &limit);
    try {
        workbook::readWorkbook(path);
    } catch (const AutomationError& e) {
        std::_Exit(e.Description.starts_with("Out of memory") && e.Description.find(path) != std::string::npos ? 0 : 1);
    }
    std::_Exit(2);
}

// Memory that runs out while a workbook is read is error 7 naming the file,
// never an exception that ends the process.
TEST(FileSourcesDeathTest, MemoryThatRunsOutWhileAWorkbookIsReadIsError7) {
    TempDir dir;
    dir.write("big.xls", "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
    std::filesystem::resize_file(dir.file("big.xls"), 512u << 20);
    EXPECT_EXIT(readWithLittleMemory(dir.file("big.xls")), ::testing::ExitedWithCode(0), "");
}
#endif

std::string fixture(const std::string& name, const TempDir& dir) {
    const std::string src = std::string(QZ_SOURCE_DIR) + "/tests/data/access/" + name;
    const std::string dst = dir.file(name);
    std::filesystem::copy_file(src, dst);
    std::filesystem::permissions(dst, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    return dst;
}

// Under a decimal-comma locale (the studio's on a German desktop) the numbers
// of cells and text files are numbers still, and Access's floating-point
// columns read as they do under the C locale.
TEST(FileSources, TheSameDataUnderADecimalCommaLocale) {
    TempDir dir;
    const std::string sql = "SELECT OrderID, ProductID, UnitPrice, Quantity, Discount FROM [Order Details] "
                            "WHERE Discount > 0 ORDER BY OrderID, ProductID";
    Ref<Connection> access = makeRef<Connection>();
    access->open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"" + fixture("nwind.mdb", dir) + "\"");
    Ref<Recordset> plain = access->execute(sql);

    qz::test::CommaLocale comma;
    ASSERT_TRUE(comma.ok()) << comma.why();
    ExpectTheSameFromEveryForm();
    Ref<Connection> again = makeRef<Connection>();
    again->open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"" + dir.file("nwind.mdb") + "\"");
    const std::string expected = dump(*plain);  // the values read under the C locale, shown alike
    EXPECT_EQ(dump(*again->execute(sql)), expected);
    EXPECT_NE(expected.find("Discount:F"), std::string::npos);
}

TEST(FileSources, AccessOrdersJoinTheirCustomers) {
    TempDir dir;
    ASSERT_TRUE(std::filesystem::exists(std::string(QZ_SOURCE_DIR) + "/tests/data/access/nwind.mdb"));
    const std::string path = fixture("nwind.mdb", dir);
    Ref<Connection> c = makeRef<Connection>();
    c->open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"" + path + "\"");
    Ref<Recordset> rs = c->execute(
        "SELECT Orders.OrderID, Orders.OrderDate, Orders.Freight, Customers.CompanyName FROM Orders "
        "INNER JOIN Customers ON Orders.CustomerID = Customers.CustomerID ORDER BY Orders.OrderID");
    EXPECT_EQ(rs->recordCount(), 830);
    EXPECT_EQ(rs->column(1).type, adDBTimeStamp);
    EXPECT_EQ(rs->column(2).type, adCurrency);
    EXPECT_EQ(rs->value(0).longValue(), 10248);
    EXPECT_EQ(text(rs->value(3)), "Vins et alcools Chevalier");
    EXPECT_EQ(rs->value(1).type(), VarType::Date);
    EXPECT_EQ(rs->value(2).currencyValue(), 323800);

    // Relationships become foreign keys of the catalog; names with spaces and
    // letters outside ASCII work in brackets.
    bool found = false;
    for (const CatalogTable& t : c->catalog())
        if (t.name == "Order Details")
            for (const CatalogKey& k : t.keys) found |= k.relatedTable == "Orders" && k.columns[0].name == "OrderID";
    EXPECT_TRUE(found);
    EXPECT_GT(c->execute("SELECT count(*) FROM [Umsätze]")->value(0).longValue(), -1);
    EXPECT_EQ(c->execute("SELECT count(*) FROM [Order Details]")->value(0).longValue(), 2155);
}

TEST(FileSources, AccessDatesBefore1900AndAfter2100) {
    TempDir dir;
    ASSERT_TRUE(std::filesystem::exists(std::string(QZ_SOURCE_DIR) + "/tests/data/access/DateTestDatabase.mdb"));
    Ref<Connection> c = makeRef<Connection>();
    c->open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"" + fixture("DateTestDatabase.mdb", dir) + "\"");
    Ref<Recordset> rs = c->execute("SELECT IDCol, DateTimeCol FROM DateTest ORDER BY IDCol");
    for (; !rs->eof(); rs->moveNext()) {
        const Variant& v = rs->value(1);
        if (v.isNull()) continue;
        EXPECT_EQ(v.type(), VarType::Date) << "row " << rs->value(0).longValue() << ": " << v.toUtf8();
    }

    // A file cut short is reported, not read as a smaller database.
    const std::string whole = [&] {
        std::ifstream in(dir.file("DateTestDatabase.mdb"), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }();
    dir.write("cut.mdb", whole.substr(0, whole.size() / 2 + 100));
    Ref<Connection> cut = makeRef<Connection>();
    EXPECT_THROW(cut->open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"" + dir.file("cut.mdb") + "\""),
                 AutomationError);

    dir.write("junk.mdb", std::string(8192, '\x07'));
    Ref<Connection> bad = makeRef<Connection>();
    EXPECT_THROW(bad->open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"" + dir.file("junk.mdb") + "\""),
                 AutomationError);
}

// The text functions templates take from Jet SQL (Left and Right among them,
// which SQLite's grammar knows only as join keywords) on a folder of text
// files and on an Access file: characters, not bytes, are counted.
std::string row(Recordset& rs) {
    std::string all;
    for (std::size_t i = 0; i < rs.fieldCount(); ++i)
        all += (i ? "|" : "") + (rs.value(i).isNull() ? std::string("null") : rs.value(i).toUtf8());
    return all;
}

// Texts sort and compare as Access's do: letters with accents beside their
// base letters, not after Z, and without regard to the case of any letter.
TEST(FileSources, TextsSortAndCompareWithAccentsAndCase) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("names"));
    std::ofstream(dir.file("names/n.csv"), std::ios::binary)
        << "Name\r\nZo\xC3\xAB\r\n\xC3\x89mile\r\nEmma\r\nemil\r\nApfel\r\n\xC3\x84pfel\r\n\xC3\xA4rger\r\nBerta\r\n";
    Ref<Connection> text = makeRef<Connection>();
    text->open(textString(dir.file("names"), "YES"));
    std::string sorted;
    for (Ref<Recordset> rs = text->execute("SELECT Name FROM [n.csv] ORDER BY Name"); !rs->eof(); rs->moveNext())
        sorted += rs->value(0).toUtf8() + " ";
    EXPECT_EQ(sorted, "Apfel \xC3\x84pfel \xC3\xA4rger Berta emil \xC3\x89mile Emma Zo\xC3\xAB ");
    EXPECT_EQ(row(*text->execute("SELECT count(*) FROM [n.csv] WHERE Name = '\xC3\xA4PFEL' OR Name = '\xC3\xA9MILE'")), "2");
}

// Text files as a spreadsheet saves "Unicode text": UTF-16 with its byte
// order mark, either order.
TEST(FileSources, Utf16TextFilesAreRead) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("u16"));
    const std::u16string text = u"Name,Amount\r\nM\u00fcller,12.5\r\n\u65e5,-3\r\n";
    std::string le = "\xFF\xFE", be = "\xFE\xFF";
    for (char16_t c : text) {
        le += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
        be += {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
    }
    dir.write("u16/le.csv", le);
    dir.write("u16/be.csv", be);
    Ref<Connection> c = makeRef<Connection>();
    c->open(textString(dir.file("u16"), "YES"));
    for (const char* table : {"[le.csv]", "[be.csv]"})
        EXPECT_EQ(dump(*c->execute(std::string("SELECT * FROM ") + table)),
                  "Name:S Amount:F \n8=M\xC3\xBCller|5=12.5|\n8=\xE6\x97\xA5|5=-3|\n") << table;
}

TEST(FileSources, JetTextFunctionsInTemplateQueries) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("people"));
    std::ofstream(dir.file("people/people.csv"), std::ios::binary)
        << "ID,Name,City,Right\r\n1,Łódź Café,Kraków,r1\r\n"
           "2,Zoë,Paris,r2\r\n3,,Rome,r3\r\n";
    Ref<Connection> text = makeRef<Connection>();
    text->open(textString(dir.file("people"), "YES"));
    Ref<Recordset> rs = text->execute(
        "SELECT ID, Left(Name, 2), RIGHT (Name, 2), left\n(City, 1), Right(Name, 0), Left(Name, 99),\n"
        "  Len(Trim(Name)), IIf(Len(Name) > 3, 'long', 'short'), UCase(Mid(Name, 2, 2)),\n"
        "  'Left(x)', [Right], Left(NULL, 2)\n"
        "FROM [people.csv]\n"
        "WHERE Left(City, 1) <> 'x' ORDER BY ID");
    EXPECT_EQ(row(*rs), "1|Łó|fé|K||Łódź Café|9|long|ÓD|Left(x)|r1|null");
    rs->moveNext();
    EXPECT_EQ(row(*rs), "2|Zo|oë|P||Zoë|3|short|OË|Left(x)|r2|null");
    rs->moveNext();
    EXPECT_EQ(row(*rs).substr(0, 12), "3|null|null|");
    // The join keywords stay join keywords.
    Ref<Recordset> joined = text->execute(
        "SELECT a.ID, b.ID FROM [people.csv] a LEFT JOIN [people.csv] b ON Right(a.City, 1) = Left(b.City, 1) "
        "AND a.ID <> b.ID ORDER BY a.ID");
    EXPECT_EQ(joined->recordCount(), 3);
    EXPECT_TRUE(joined->value(1).isNull());

    const std::string path = fixture("nwind.mdb", dir);
    Ref<Connection> access = makeRef<Connection>();
    access->open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"" + path + "\"");
    Ref<Recordset> orders = access->execute(
        "SELECT Orders.OrderID, Left(Customers.CompanyName, 4), Right(Customers.CompanyName, 9), "
        "Len(Customers.CompanyName) FROM Orders LEFT JOIN Customers ON Orders.CustomerID = Customers.CustomerID "
        "WHERE Left(Orders.CustomerID, 4) = 'VINE' OR Right(Orders.CustomerID, 3) = 'FKI' ORDER BY Orders.OrderID");
    EXPECT_EQ(row(*orders), "10248|Vins|Chevalier|25");
    int alfki = 0;
    for (orders->moveNext(); !orders->eof(); orders->moveNext())
        alfki += row(*orders).find("|Alfr|tterkiste|19") != std::string::npos;
    EXPECT_EQ(alfki, 6);
}

} // namespace
} // namespace qz::ado::test

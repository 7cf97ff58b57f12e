// Saved recordsets in the XML persistence format.
#include "AdoTestSupport.h"

#include <gtest/gtest.h>

namespace qz::ado::test {
namespace {

const char* kHeader =
    "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'\n"
    "     xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'\n"
    "     xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>\n";

std::string ordersXml() {
    return std::string(kHeader) +
           "<s:Schema id='RowsetSchema'>\n"
           " <s:ElementType name='row' content='eltOnly'>\n"
           "  <s:AttributeType name='OrderID' rs:number='1'>\n"
           "   <s:datatype dt:type='int' dt:maxLength='4' rs:precision='10' rs:fixedlength='true'/>\n"
           "  </s:AttributeType>\n"
           "  <s:AttributeType name='c1' rs:name='Ship Name' rs:number='2' rs:nullable='true'>\n"
           "   <s:datatype dt:type='string' dt:maxLength='40'/>\n"
           "  </s:AttributeType>\n"
           "  <s:AttributeType name='Freight' rs:number='3'>\n"
           "   <s:datatype dt:type='number' rs:dbtype='currency' dt:maxLength='8'/>\n"
           "  </s:AttributeType>\n"
           "  <s:AttributeType name='OrderDate' rs:number='4'>\n"
           "   <s:datatype dt:type='dateTime' rs:dbtype='timestamp' dt:maxLength='16'/>\n"
           "  </s:AttributeType>\n"
           "  <s:AttributeType name='Shipped' rs:number='5'><s:datatype dt:type='boolean'/></s:AttributeType>\n"
           "  <s:AttributeType name='Weight' rs:number='6'><s:datatype dt:type='float'/></s:AttributeType>\n"
           "  <s:AttributeType name='Code' rs:number='7'>\n"
           "   <s:datatype dt:type='string' rs:dbtype='str' dt:maxLength='5' rs:fixedlength='true'/>\n"
           "  </s:AttributeType>\n"
           "  <s:AttributeType name='Photo' rs:number='8'><s:datatype dt:type='bin.hex' dt:maxLength='10'/></s:AttributeType>\n"
           "  <s:ElementType name='Items' content='eltOnly' rs:relation='01'>\n"
           "   <s:AttributeType name='Product'><s:datatype dt:type='string' dt:maxLength='20'/></s:AttributeType>\n"
           "   <s:AttributeType name='Amount'><s:datatype dt:type='i2'/></s:AttributeType>\n"
           "   <s:extends type='rs:rowbase'/>\n"
           "  </s:ElementType>\n"
           "  <s:extends type='rs:rowbase'/>\n"
           " </s:ElementType>\n"
           "</s:Schema>\n"
           "<rs:data>\n"
           " <z:row OrderID='10248' c1='Vins &amp; alcools' Freight='32.38' OrderDate='1996-07-04T00:00:00'\n"
           "        Shipped='True' Weight='1.5' Code='AB   ' Photo='0A0bFF'>\n"
           "  <Items Product='Queso' Amount='12'/>\n"
           "  <Items Product='Tofu' Amount='10'/>\n"
           " </z:row>\n"
           " <z:row OrderID='10249' Freight='11.61' OrderDate='1996-07-05T14:30:00' Shipped='False'/>\n"
           " <rs:insert><z:row OrderID='10250' c1='New'/></rs:insert>\n"
           "</rs:data>\n"
           "</xml>\n";
}

TEST(SavedRecordset, SchemaTypesValuesAndNulls) {
    Ref<Recordset> rs = parseSavedRecordset(ordersXml(), "orders.xml");
    ASSERT_EQ(rs->fieldCount(), 9u);
    const std::vector<std::pair<std::string, std::int32_t>> expected{
        {"OrderID", adInteger}, {"Ship Name", adVarWChar}, {"Freight", adCurrency},
        {"OrderDate", adDBTimeStamp}, {"Shipped", adBoolean}, {"Weight", adDouble},
        {"Code", adChar}, {"Photo", adVarBinary}, {"Items", adChapter}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(rs->column(i).name, expected[i].first);
        EXPECT_EQ(rs->column(i).type, expected[i].second) << i;
    }
    EXPECT_EQ(rs->column(1).definedSize, 40);
    EXPECT_EQ(rs->recordCount(), 3);

    EXPECT_EQ(rs->value(0).longValue(), 10248);
    EXPECT_EQ(text(rs->value(u"ship name")), "Vins & alcools");
    EXPECT_EQ(rs->value(2).currencyValue(), 323800);
    EXPECT_DOUBLE_EQ(rs->value(3).dateValue(), 35250.0);
    EXPECT_TRUE(rs->value(4).boolValue());
    EXPECT_EQ(text(rs->value(6)), "AB   ");
    ASSERT_TRUE(rs->value(7).isArray());
    const auto& bytes = rs->value(7).arrayValue()->data;
    ASSERT_EQ(bytes.size(), 3u);
    EXPECT_EQ(bytes[2].byteValue(), 0xFF);

    rs->moveNext();
    EXPECT_TRUE(rs->value(1).isNull());
    EXPECT_DOUBLE_EQ(rs->value(3).dateValue(), 35251.0 + 14.5 / 24);
    EXPECT_FALSE(rs->value(4).boolValue());
    rs->moveNext();
    EXPECT_EQ(text(rs->value(1)), "New");
}

TEST(SavedRecordset, ChildRowsAreRecordsetsInAField) {
    Ref<Recordset> rs = parseSavedRecordset(ordersXml(), "orders.xml");
    Variant r(Ref<Dispatch>(rs.get()));
    // Orders.Fields("Items").Value.Fields("Amount").Value, as the data tree writes it
    Variant items = call(call(r, u"Fields", {Variant(u"Items")}), u"Value");
    ASSERT_TRUE(items.isObject());
    EXPECT_EQ(call(items, u"RecordCount").toLong(), 2);
    EXPECT_EQ(call(call(items, u"Fields", {Variant(u"Amount")}), u"Value").type(), VarType::Integer);
    EXPECT_EQ(call(call(items, u"Fields", {Variant(u"Amount")}), u"Value").toLong(), 12);
    call(items, u"MoveNext");
    EXPECT_EQ(text(call(call(items, u"Fields", {Variant(u"Product")}), u"Value")), "Tofu");

    // The child's columns are known without a row to read them from.
    const Column& chapter = rs->column(8);
    ASSERT_TRUE(chapter.chapter);
    ASSERT_EQ(chapter.chapter->columns.size(), 2u);
    EXPECT_EQ(chapter.chapter->columns[1].name, "Amount");
    EXPECT_EQ(chapter.chapter->columns[1].type, adSmallInt);

    // A parent row without child rows gives an empty child recordset that
    // still knows its columns.
    rs->moveNext();
    Variant none = rs->value(u"Items");
    EXPECT_TRUE(call(none, u"EOF").toBool());
    EXPECT_EQ(call(call(none, u"Fields"), u"Count").toLong(), 2);
}

TEST(SavedRecordset, OpenedThroughTheRecordsetWithTheFileAsSource) {
    TempDir dir;
    dir.write("orders.xml", ordersXml());
    Ref<Recordset> rs = makeRef<Recordset>();
    Variant r(Ref<Dispatch>(rs.get()));
    call(r, u"Open", {Variant::fromUtf8(dir.file("orders.xml")), Variant(u"Provider=MSPersist;"),
                      Variant::missing(), Variant::missing(), Variant(std::int32_t{256})});
    EXPECT_EQ(call(r, u"State").toLong(), adStateOpen);
    EXPECT_EQ(call(r, u"RecordCount").toLong(), 3);

    // The option alone is enough.
    Ref<Recordset> rs2 = makeRef<Recordset>();
    rs2->open(Variant::fromUtf8(dir.file("orders.xml")), Variant(), adCmdFile);
    EXPECT_EQ(rs2->recordCount(), 3);
}

TEST(SavedRecordset, UnreadableFilesGiveClearErrors) {
    TempDir dir;
    auto message = [&](const std::string& name, const std::string& content) -> std::string {
        dir.write(name, content);
        try {
            loadSavedRecordset(dir.file(name));
        } catch (const AutomationError& e) {
            return e.Description;
        }
        return "no error";
    };
    EXPECT_NE(message("a.adtg", std::string("\x01\x02\x00\x10 binary", 12)).find("ADTG"), std::string::npos);
    EXPECT_NE(message("b.xml", "<xml><s:Schema").find("not a valid saved recordset"), std::string::npos);
    EXPECT_NE(message("c.xml", "<xml><rs:data/></xml>").find("no schema"), std::string::npos);
    EXPECT_NE(message("d.xml", std::string(kHeader) +
                                   "<s:Schema id='RowsetSchema'><s:ElementType name='row'/></s:Schema></xml>")
                  .find("no columns"),
              std::string::npos);
    // Child recordsets nested without end are refused rather than followed.
    std::string deep = std::string(kHeader) + "<s:Schema id='RowsetSchema'>";
    for (int i = 0; i < 100; ++i) deep += "<s:ElementType name='c" + std::to_string(i) + "'>";
    for (int i = 0; i < 100; ++i) deep += "</s:ElementType>";
    deep += "</s:Schema></xml>";
    EXPECT_NE(message("e.xml", deep).find("nested too deeply"), std::string::npos);
    try {
        loadSavedRecordset(dir.file("missing.xml"));
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_NE(e.Description.find("cannot be found"), std::string::npos);
    }
}

TEST(SavedRecordset, ValuesThatDoNotFitTheirTypeAreKept) {
    const std::string xml = std::string(kHeader) +
        "<s:Schema id='RowsetSchema'><s:ElementType name='row'>"
        "<s:AttributeType name='N'><s:datatype dt:type='int'/></s:AttributeType>"
        "<s:AttributeType name='D'><s:datatype dt:type='dateTime'/></s:AttributeType>"
        "</s:ElementType></s:Schema><rs:data><z:row N='n/a' D='someday'/></rs:data></xml>";
    Ref<Recordset> rs = parseSavedRecordset(xml, "odd.xml");
    EXPECT_EQ(rs->column(1).type, adDate);
    EXPECT_EQ(text(rs->value(0)), "n/a");
    EXPECT_EQ(text(rs->value(1)), "someday");
}

// Exact numbers of more digits than a Double keeps stay whole (Decimal).
TEST(SavedRecordset, WideNumbersKeepEveryDigit) {
    const std::string xml = std::string(kHeader) +
        "<s:Schema id='RowsetSchema'><s:ElementType name='row'>"
        "<s:AttributeType name='A'><s:datatype dt:type='number' rs:dbtype='numeric'/></s:AttributeType>"
        "<s:AttributeType name='B'><s:datatype dt:type='i8'/></s:AttributeType>"
        "</s:ElementType></s:Schema><rs:data><z:row A='1234567890123456.7891' B='9007199254740993'/>"
        "<z:row A='2.5' B='-9223372036854775808'/></rs:data></xml>";
    Ref<Recordset> rs = parseSavedRecordset(xml, "wide.xml");
    EXPECT_EQ(rs->value(0).type(), VarType::Decimal);
    EXPECT_EQ(text(rs->value(0)), "1234567890123456.7891");
    EXPECT_EQ(text(rs->value(1)), "9007199254740993");
    rs->moveNext();
    EXPECT_EQ(rs->value(0).type(), VarType::Double);
    EXPECT_EQ(text(rs->value(1)), "-9223372036854775808");
}

// Whole numbers and amounts in their plain form are read straight into the
// row; every form must give what the general reading of a text gives.
TEST(SavedRecordset, NumbersReadAsTheirTextReads) {
    const std::vector<std::string> texts{
        "0", "-0", "42", "-2147483648", "2147483647", "2147483648", "-2147483649", "007",
        "123456789012345678", "1234567890123456789", "3.5", "-3.5000", "0.0001", "0.00005", "5.",
        "99999999999.9999", "100000000000", "99999999999.99995", "-922337203685.4775", ".5", "+1",
        " 2", "1e3", "1.2.3", "-", "", "12a", "0x10", "1.23456", "123456789012.3456",
        "92233720368547.5807", "-92233720368547.5808", "000000000000001.5",
    };
    // Amounts that Currency cannot hold are refused (the test below).
    auto isAmount = [](const std::string& t) { return t != "123456789012345678" && t != "1234567890123456789"; };
    std::string rows = "<rs:data>";
    for (const std::string& t : texts)
        rows += "<z:row N='" + t + "'" + (isAmount(t) ? " C='" + t + "'" : "") + "/>";
    rows += "</rs:data>";
    const std::string xml = std::string(kHeader) +
        "<s:Schema id='RowsetSchema'><s:ElementType name='row'>"
        "<s:AttributeType name='N'><s:datatype dt:type='int'/></s:AttributeType>"
        "<s:AttributeType name='C'><s:datatype dt:type='number' rs:dbtype='currency'/></s:AttributeType>"
        "</s:ElementType></s:Schema>" + rows + "</xml>";
    Ref<Recordset> rs = parseSavedRecordset(xml, "numbers.xml");
    for (const std::string& t : texts) {
        ASSERT_FALSE(rs->eof());
        for (const auto& [col, type] : {std::pair{0, adInteger}, std::pair{1, adCurrency}}) {
            if (col == 1 && !isAmount(t)) continue;
            const Variant want = valueFromText(t, type), got = rs->value(static_cast<std::size_t>(col));
            EXPECT_EQ(got.type(), want.type()) << t << " " << col;
            EXPECT_EQ(text(got), text(want)) << t << " " << col;
            if (want.type() == VarType::Currency) {
                EXPECT_EQ(got.currencyValue(), want.currencyValue()) << t;
            }
        }
        rs->moveNext();
    }
}

// An amount that Currency cannot hold is refused with the file, the row and
// the column, never wrapped to another amount.
TEST(SavedRecordset, CurrencyBeyondItsRangeIsAnErrorNamingRowAndColumn) {
    auto load = [](const std::string& rows) {
        return parseSavedRecordset(std::string(kHeader) +
            "<s:Schema id='RowsetSchema'><s:ElementType name='row'>"
            "<s:AttributeType name='Id'><s:datatype dt:type='int'/></s:AttributeType>"
            "<s:AttributeType name='Amount'><s:datatype dt:type='fixed.14.4'/></s:AttributeType>"
            "<s:ElementType name='Lines'><s:AttributeType name='Price'>"
            "<s:datatype dt:type='number' rs:dbtype='currency'/></s:AttributeType></s:ElementType>"
            "</s:ElementType></s:Schema><rs:data>" + rows + "</rs:data></xml>", "prices.xml");
    };
    auto error = [&](const std::string& rows) -> std::string {
        try {
            load(rows);
        } catch (const AutomationError& e) {
            return e.Description;
        }
        return "no error";
    };
    EXPECT_EQ(error("<z:row Id='1' Amount='1'/><z:row Id='2' Amount='1844674407370956.1616'/>"),
              "The file 'prices.xml' is not a valid saved recordset: in row 2, column 'Amount', the value "
              "'1844674407370956.1616' is beyond the range of a Currency amount (-922337203685477.5808 to "
              "922337203685477.5807).");
    for (const char* beyond : {"922337203685477.6", "-922337203685477.6", "18446744073709551616", "1e300"})
        EXPECT_NE(error(std::string("<z:row Amount='") + beyond + "'/>").find("in row 1, column 'Amount'"),
                  std::string::npos) << beyond;
    EXPECT_NE(error("<z:row Id='1'/><z:row Id='2'><Lines Price='1'/><Lines Price='-1e16'/></z:row>")
                  .find("in row 2, column 'Lines.Price', the value '-1e16'"),
              std::string::npos);
    // At the edges of the range the amounts are read exactly.
    Ref<Recordset> rs = load("<z:row Amount='922337203685477.5807'/><z:row Amount='-922337203685477.5808'/>");
    EXPECT_EQ(rs->value(1).currencyValue(), INT64_MAX);
    rs->moveNext();
    EXPECT_EQ(rs->value(1).currencyValue(), INT64_MIN);
}

// A schema of two text columns and a child recordset, for the reading tests below.
std::string notesXml(const std::string& rows, const std::string& prolog = "") {
    return prolog + kHeader +
           "<s:Schema id='RowsetSchema'><s:ElementType name='row'>"
           "<s:AttributeType name='Id'><s:datatype dt:type='int'/></s:AttributeType>"
           "<s:AttributeType name='Note'><s:datatype dt:type='string'/></s:AttributeType>"
           "<s:ElementType name='Parts'><s:AttributeType name='P'><s:datatype dt:type='string'/></s:AttributeType>"
           "</s:ElementType>"
           "</s:ElementType></s:Schema>" + rows + "</xml>";
}

std::string notes(const Ref<Recordset>& rs) {
    std::string all;
    for (rs->moveFirst(); !rs->eof(); rs->moveNext()) {
        all += rs->value(0).isNull() ? "-" : text(rs->value(0));
        all += "=" + (rs->value(1).isNull() ? std::string("null") : text(rs->value(1)));
        Variant parts = rs->value(2);
        for (call(parts, u"MoveFirst"); !call(parts, u"EOF").toBool(); call(parts, u"MoveNext"))
            all += "/" + text(call(call(parts, u"Fields", {Variant(u"P")}), u"Value"));
        all += ";";
    }
    return all;
}

// Thousands of parent rows, each with its child rows, read back whole.
TEST(SavedRecordset, ManyRowsWithTheirChildRows) {
    std::string rows = "<rs:data>";
    std::string want;
    for (int i = 1; i <= 3000; ++i) {
        const std::string note = i % 5 == 0 ? "caf\xC3\xA9 " + std::to_string(i) : "n" + std::to_string(i);
        rows += "<z:row Id='" + std::to_string(i) + "' Note='" + note + "'>";
        want += std::to_string(i) + "=" + note;
        for (int k = 0; k < i % 3; ++k) {
            rows += "<Parts P='p" + std::to_string(i * 10 + k) + "'/>";
            want += "/p" + std::to_string(i * 10 + k);
        }
        rows += "</z:row>";
        want += ";";
    }
    rows += "</rs:data>";
    EXPECT_EQ(notes(parseSavedRecordset(notesXml(rows), "many.xml")), want);

}

TEST(SavedRecordset, ValuesAreReadAsXmlWritesThem) {
    const std::string xml = notesXml(
        "<!-- written by hand --><rs:data>\n"
        "<z:row Note=\"a &lt;b&gt; &amp; &quot;c&quot; &apos;d&apos;\" Id='1'/>\n"
        "<z:row Id='2' Note='caf&#233; &#x1F600; &#x4E2D;'/>\n"
        "<z:row Id='3' Note='line one&#xA;line two&#13;&#10;end'/>\n"
        "<z:row Id='4' Note='tab\there\nand\r\nthere'/>\n"
        "<z:row Id='5' Note='&unknown; &#xD800; &#0; & alone'/>\n"
        "<?pi a row-like <z:row Id='99'/> ?><![CDATA[ <z:row Id='98'/> ]]>\n"
        "<z:row Id='6' Note='a &gt; b'><Other><Parts P='not a child'/></Other><Parts P='x'/><Parts P='y'/></z:row>\n"
        "<rs:insert><z:row Id='7'><Parts P='z'/></z:row><rs:insert><z:row Id='97'/></rs:insert></rs:insert>\n"
        "<Unknown Id='96'><z:row Id='95'/></Unknown>\n"
        "</rs:data>");
    Ref<Recordset> rs = parseSavedRecordset(xml, "notes.xml");
    EXPECT_EQ(notes(rs), "1=a <b> & \"c\" 'd';"
                         "2=caf\xC3\xA9 \xF0\x9F\x98\x80 \xE4\xB8\xAD;"
                         "3=line one\nline two\r\nend;"
                         "4=tab here and there;"
                         "5=&unknown; &#xD800; &#0; & alone;"
                         "6=a > b/x/y;"
                         "7=null/z;");
    // The emoji is one character of two UTF-16 units, as scripts count them.
    rs->moveFirst();
    rs->moveNext();
    EXPECT_EQ(rs->value(1).stringValue().size(), 9u);
}

TEST(SavedRecordset, AFileReadInChunksGivesWhatItsTextGives) {
    // Rows, comments and values far larger than the reading chunk, so that
    // tags, values and references fall across chunk boundaries.
    std::string rows = "<rs:data>";
    const std::string big(200000, 'x');
    for (int i = 0; i < 3000; ++i) {
        rows += "<z:row Id='" + std::to_string(i) + "' Note='n&#233;" + std::to_string(i * 7) + "&amp;'>";
        if (i % 1000 == 1) rows += "<!-- " + big + " --><Parts P='" + big + "'/>";
        rows += "<Parts P='p" + std::to_string(i) + "'/></z:row>\n";
    }
    rows += "<z:row Id='3000' Note='" + big + "&lt;'/></rs:data>";
    const std::string xml = notesXml(rows, "\xEF\xBB\xBF<?xml version='1.0' encoding='UTF-8'?>\n");
    TempDir dir;
    dir.write("big.xml", xml);
    Ref<Recordset> fromFile = loadSavedRecordset(dir.file("big.xml"));
    Ref<Recordset> fromText = parseSavedRecordset(xml, "big.xml");
    ASSERT_EQ(fromFile->recordCount(), 3001);
    const std::string all = notes(fromFile);
    EXPECT_EQ(all, notes(fromText));
    EXPECT_NE(all.find(";1001=n\xC3\xA9" "7007&/" + big + "/p1001;"), std::string::npos);
    EXPECT_NE(all.find(";3000=" + big + "<;"), std::string::npos);
}

TEST(SavedRecordset, DamagedXmlIsRefusedWithWhereItWentWrong) {
    TempDir dir;
    auto message = [&](const std::string& rows, const std::string& prolog = "") -> std::string {
        dir.write("d.xml", notesXml(rows, prolog));
        try {
            loadSavedRecordset(dir.file("d.xml"));
        } catch (const AutomationError& e) {
            return e.Description;
        }
        return "no error";
    };
    const std::vector<std::pair<std::string, std::string>> damaged{
        {"<rs:data><z:row Id='1'></rs:data>", "does not close the element 'z:row'"},
        {"<rs:data><z:row Id='1' Note='open/></rs:data>", "ends inside a tag"},
        {"<rs:data><z:row Id=1/></rs:data>", "is not quoted"},
        {"<rs:data><z:row Id='1'Note='2'/></rs:data>", "not separated"},
        {"<rs:data><z:row Id/></rs:data>", "has no value"},
        {"<rs:data><!-- never closed", "ends inside a comment"},
        {"<rs:data><z:row Id='1'/>", "the end tag 'xml' does not close the element 'rs:data'"},
        {"<rs:data></z:row></rs:data>", "does not close"},
    };
    for (const auto& [rows, why] : damaged) {
        const std::string m = message(rows);
        EXPECT_NE(m.find("not a valid saved recordset"), std::string::npos) << rows << ": " << m;
        EXPECT_NE(m.find(why), std::string::npos) << rows << ": " << m;
        EXPECT_NE(m.find(" at offset "), std::string::npos) << rows << ": " << m;
    }
    // A file cut short.
    const std::string whole = notesXml("<rs:data><z:row Id='1'/><z:row Id='2'/></rs:data>");
    dir.write("cut.xml", whole.substr(0, whole.find("</rs:data>")));
    try {
        loadSavedRecordset(dir.file("cut.xml"));
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_NE(e.Description.find("ends before the element 'rs:data' is closed"), std::string::npos) << e.Description;
    }
    // The rows cannot be read before the schema that describes them.
    EXPECT_NE(message("", std::string(kHeader) + "<rs:data><z:row Id='1'/></rs:data></xml>").find("no schema"),
              std::string::npos);
    // UTF-16 without a byte order mark is named as such.
    std::string wide;
    for (char c : std::string("<xml></xml>")) wide += std::string(1, c) + '\0';
    dir.write("w.xml", wide);
    try {
        loadSavedRecordset(dir.file("w.xml"));
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_NE(e.Description.find("UTF-16"), std::string::npos) << e.Description;
    }
}

// The declaration names the encoding of the file; UTF-8 where it names none.
TEST(SavedRecordset, AFileIsReadInTheEncodingItDeclares) {
    auto declared = [](const char* encoding, const std::string& note) {
        return notesXml("<rs:data><z:row Id='1' Note='" + note + "'/></rs:data>",
                        std::string("<?xml version=\"1.0\" encoding=") + encoding + "?>\n");
    };
    EXPECT_EQ(notes(parseSavedRecordset(declared("\"ISO-8859-1\"", "caf\xE9 &#233;"), "latin.xml")),
              "1=caf\xC3\xA9 \xC3\xA9;");
    EXPECT_EQ(notes(parseSavedRecordset(declared("'windows-1252'", "Cr\xE8me br\xFBl\xE9" "e \x80" "5"), "w.xml")),
              "1=Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9" "e \xE2\x82\xAC" "5;");
    EXPECT_EQ(notes(parseSavedRecordset(declared("'utf-8'", "\xE2\x82\xAC"), "u.xml")), "1=\xE2\x82\xAC;");

    // Characters of two bytes, one of them cut by the end of the first chunk
    // the file is read in: the value starts at an odd offset, the chunk ends
    // at an even one.
    const std::string nihon = "\x93\xFA\x96\x7B", nihonUtf8 = "\xE6\x97\xA5\xE6\x9C\xAC";
    std::string value, want;
    for (int i = 0; i < 20000; ++i) value += nihon, want += nihonUtf8;
    std::string xml = declared("'Shift_JIS'", value);
    if (xml.find(nihon) % 2 == 0) xml = declared("'Shift_JIS' ", value);
    ASSERT_GT(xml.size(), 65536u);
    TempDir dir;
    dir.write("sjis.xml", xml);
    const std::string got = notes(loadSavedRecordset(dir.file("sjis.xml")));
    EXPECT_TRUE(got == "1=" + want + ";") << got.substr(0, 40) << "...";

    // An encoding that is not known, or bytes that are no characters of the
    // one declared, are refused naming it.
    auto error = [&](const std::string& text) -> std::string {
        dir.write("bad.xml", text);
        try {
            loadSavedRecordset(dir.file("bad.xml"));
        } catch (const AutomationError& e) {
            return e.Description;
        }
        return "no error";
    };
    EXPECT_NE(error(declared("'x-klingon'", "a")).find("'x-klingon'"), std::string::npos);
    EXPECT_NE(error(declared("'Shift_JIS'", "a\x85\x20")).find("Shift_JIS"), std::string::npos);
    EXPECT_NE(error(declared("'UTF-16'", "a")).find("UTF-16"), std::string::npos);
}

} // namespace
} // namespace qz::ado::test

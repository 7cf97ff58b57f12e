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

} // namespace
} // namespace qz::ado::test

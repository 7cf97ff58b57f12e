#include "production/TemplateData.h"

#include "platform/automation/ErrorTexts.h"
#include "platform/automation/MemoryMeter.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace qz::production {
namespace {

namespace fs = std::filesystem;

class TemplateFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        dir = fs::temp_directory_path() / ("qz-tpl-" + std::to_string(rd()));
        fs::create_directories(dir);
        sqlite3* db = nullptr;
        sqlite3_open((dir / "shop.db").c_str(), &db);
        sqlite3_exec(db,
                     "CREATE TABLE C (Name VARCHAR(20), City VARCHAR(20));"
                     "INSERT INTO C VALUES ('Anna', 'Rome'), ('Bob', 'Oslo');",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
        std::ofstream(dir / "items.xml")
            << "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' "
               "xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' xmlns:rs='urn:schemas-microsoft-com:rowset' "
               "xmlns:z='#RowsetSchema'><s:Schema id='RowsetSchema'><s:ElementType name='row'>"
               "<s:AttributeType name='Item'><s:datatype dt:type='string'/></s:AttributeType>"
               "</s:ElementType></s:Schema><rs:data><z:row Item='Pen'/></rs:data></xml>";
    }
    void TearDown() override { fs::remove_all(dir); }

    void writeQzc(const std::string& connections) {
        std::ofstream(dir / "t.qzc") << "<QZC><TemplateProperties><Version>8.2.2</Version></TemplateProperties>"
                                        "<ConnectionList>" << connections << "</ConnectionList></QZC>";
    }
    static std::string connection(const std::string& id, const std::string& name, const std::string& type,
                                  const std::string& ds, const std::string& commands) {
        return "<Connection ID=\"" + id + "\"><Name>" + name + "</Name><DataSource>" + ds +
               "</DataSource><ConnectionType>" + type + "</ConnectionType><CommandList>" + commands +
               "</CommandList></Connection>";
    }
    static std::string command(const std::string& id, const std::string& name, const std::string& text) {
        return "<Command ID=\"" + id + "\"><Name>" + name + "</Name><Text>" + text + "</Text></Command>";
    }

    fs::path dir;
};

TEST_F(TemplateFolder, OpensEveryCommandAndListsWhatItLeftOut) {
    writeQzc(connection("ID1", "Shop", "0", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=shop.db",
                        command("ID1", "Cust", "SELECT Name FROM C WHERE City = ?") +
                            command("ID2", "Bad", "SELECT Name FROM Missing") +
                            command("ID3", "CUST", "SELECT City FROM C")) +
             connection("ID2", "Saved", "8", "",
                        command("ID1", "Items", "items.xml") + command("ID2", "Gone", "gone.xml")) +
             connection("ID3", "Contacts", "7", "", command("ID1", "People", "")) +
             connection("ID4", "Lost", "0", "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"nowhere.mdb\"",
                        command("ID1", "X", "SELECT 1")));
    std::vector<std::string> asked;
    TemplateData data;
    data.Open((dir / "t.qzc").string(), dir.string(), [&](const std::string& sql) {
        asked.push_back(sql);
        ado::SqlParameter rome;
        rome.kind = ado::SqlParameter::Kind::Text;
        rome.text = "Rome";
        return sql.find('?') == std::string::npos ? ado::BoundSql{sql, {}} : ado::BoundSql{sql, {rome}};
    });
    ASSERT_EQ(data.Recordsets().size(), 2u);
    EXPECT_EQ(data.Recordsets()[0].first, "Cust");
    EXPECT_EQ(data.Recordsets()[1].first, "Items");
    ado::Recordset& cust = *data.Recordsets()[0].second;
    EXPECT_EQ(cust.recordCount(), 1);
    EXPECT_EQ(cust.value(0).toUtf8(), "Anna");
    EXPECT_EQ(asked.size(), 3u);

    std::vector<std::string> skipped;
    for (const auto& s : data.SkippedItems()) skipped.push_back(s.connection + "/" + s.command);
    EXPECT_EQ(skipped, (std::vector<std::string>{"Shop/Bad", "Shop/CUST", "Saved/Gone", "Contacts/", "Lost/"}));
    for (const auto& s : data.SkippedItems()) EXPECT_FALSE(s.reason.empty());

    std::vector<std::string> registered;
    data.Register([&](const std::string& name, Ref<Dispatch> obj) {
        registered.push_back(name);
        EXPECT_TRUE(obj);
    });
    EXPECT_EQ(registered, (std::vector<std::string>{"Cust", "Items"}));
    Ref<ado::Recordset> keep = data.Recordsets()[0].second;
    data.Close();
    EXPECT_FALSE(keep->isOpen());
    EXPECT_TRUE(data.Recordsets().empty());
}

// Rows that would pass the memory ceiling stop the opening with error 7:
// they are counted as they are fetched, and not left out as a failed
// command would be.
TEST_F(TemplateFolder, RowsPastTheMemoryCeilingStopTheOpening) {
    writeQzc(connection("ID1", "Shop", "0", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=shop.db",
                        command("ID1", "Many", "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                                                "WHERE i &lt; 2000000) SELECT i, 'row ' || i FROM n")));
    const memory::CeilingScope ceiling(std::int64_t{16} << 20);
    TemplateData data;
    try {
        data.Open((dir / "t.qzc").string(), dir.string(), nullptr);
        FAIL() << "the rows were read whole";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.Number, runtimeError(err::OutOfMemory).Number);
        EXPECT_NE(e.Description.find("memory ceiling"), std::string::npos) << e.Description;
    }
    EXPECT_LT(memory::held(), std::int64_t{16} << 20);
}

TEST_F(TemplateFolder, UnreadableQzcFileThrows) {
    std::ofstream(dir / "bad.qzc") << "<QZC><Nonsense/>";
    TemplateData data;
    EXPECT_ANY_THROW(data.Open((dir / "bad.qzc").string(), dir.string(), nullptr));
    EXPECT_ANY_THROW(data.Open((dir / "missing.qzc").string(), dir.string(), nullptr));
}

} // namespace
} // namespace qz::production

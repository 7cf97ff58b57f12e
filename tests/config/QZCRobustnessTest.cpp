// Damaged QZC files: every truncation of a real file and thousands of random
// mutations either load or fail with the system's error, never crash or hang.
#include "config/QZCFile.h"

#include "QzcTestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace qz {
namespace {

using test::TempDir;

// Loads the bytes and, when that works, walks and saves the model. Returns
// true when the load succeeded; any failure must be an AutomationError.
bool loadAndUse(const TempDir& dir, const std::string& bytes) {
    const std::string path = dir.write("f.qzc", bytes);
    QZCFile file;
    try {
        file.Load(path);
    } catch (const AutomationError& e) {
        EXPECT_FALSE(file.TemplateProperties());
        EXPECT_FALSE(file.ConnectionList());
        EXPECT_FALSE(e.Description.empty());
        return false;
    }
    try {
        if (auto list = file.ConnectionList()) {
            for (const auto& cn : list->List()) {
                if (auto cmds = cn->CommandList()) {
                    for (const auto& cmd : cmds->List()) cmd->Save();
                    cmds->CreateNew();
                }
                cn->Save();
            }
            list->CreateNew()->Save();
        }
        if (auto props = file.TemplateProperties()) props->Save();
    } catch (const AutomationError&) {
        // IDs without numbers refuse new items; that is a proper error.
    }
    // Whatever was saved loads again.
    QZCFile again;
    EXPECT_NO_THROW(again.Load(path));
    return true;
}

const std::string kSample =
    "<QZC><TemplateProperties><Version>8.2.2</Version><FileName/><RevisionKeep>11</RevisionKeep>"
    "<Locale>1033</Locale><DateTimeFormat>DateTime:2;BlankProtect:0</DateTimeFormat>"
    "<StringFormat>UseDefaultProperties:-1</StringFormat><NumberFormat/><CurrencyFormat/><PercentFormat/>"
    "</TemplateProperties><ConnectionList><Connection ID=\"ID1\"><Name>Sales</Name>"
    "<DataSource>Provider=Microsoft.Jet.OLEDB.4.0;Data Source=db.mdb</DataSource><ConnectionType>0</ConnectionType>"
    "<CommandList><Command ID=\"ID1\"><Name>Orders</Name><Text>SELECT * FROM Orders WHERE a &lt; ?&#13;\nAND b='é'</Text>"
    "</Command><Command ID=\"ID2\"><Name>X</Name><Text><![CDATA[1<2]]></Text></Command></CommandList></Connection>"
    "<Connection ID=\"ID2\"><Name>N</Name><CommandList/></Connection></ConnectionList></QZC>";

TEST(QZCRobustness, EveryTruncationFailsCleanly) {
    TempDir dir(true);
    int loaded = 0;
    for (std::size_t n = 0; n < kSample.size(); ++n) {
        if (loadAndUse(dir, kSample.substr(0, n))) ++loaded;
    }
    EXPECT_EQ(loaded, 0); // no proper prefix is a complete document
    EXPECT_TRUE(loadAndUse(dir, kSample));
}

TEST(QZCRobustness, RandomMutationsNeverCrash) {
    TempDir dir(true);
    std::mt19937 rng(20261207);
    const std::string alphabet = "<>/=\"'&;#!?-[]QZCIDx \t\r\n\xC3\xA9\x00\xFF";
    int loaded = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = kSample;
        int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            std::size_t at = rng() % (bytes.size() + 1);
            switch (rng() % 4) {
            case 0: if (at < bytes.size()) bytes.erase(at, 1 + rng() % 8); break;
            case 1: bytes.insert(at, 1, alphabet[rng() % alphabet.size()]); break;
            case 2: if (at < bytes.size()) bytes[at] = static_cast<char>(rng() % 256); break;
            case 3: {
                std::size_t from = rng() % bytes.size(), len = rng() % 40;
                bytes.insert(at, bytes.substr(from, len));
                break;
            }
            }
        }
        if (loadAndUse(dir, bytes)) ++loaded;
    }
    // Some mutations hit only values and still load; most do not.
    EXPECT_GT(loaded, 0);
    EXPECT_LT(loaded, 3000);
}

TEST(QZCRobustness, RandomBytesAndDeepNesting) {
    TempDir dir(true);
    std::mt19937 rng(7);
    for (int round = 0; round < 600; ++round) {
        std::string bytes(rng() % 200, '\0');
        for (char& c : bytes) c = static_cast<char>(rng() % 256);
        // A third of them claim to be UTF-16 (broken surrogates and all).
        if (round % 3 == 1) bytes.insert(0, "\xFF\xFE<\0Q\0Z\0C\0>\0");
        if (round % 3 == 2) bytes.insert(0, "\xFE\xFF\0<\0Q\0Z\0C\0>");
        loadAndUse(dir, bytes);
    }
    // Nesting far deeper than any QZC file is refused, not followed down.
    std::string deep = "<QZC><TemplateProperties><Version>";
    for (int i = 0; i < 200000; ++i) deep += "<a>";
    deep += "v";
    for (int i = 0; i < 200000; ++i) deep += "</a>";
    deep += "</Version></TemplateProperties></QZC>";
    QZCFile file;
    EXPECT_EQ(test::errorNumberOf([&] { file.Load(dir.write("deep.qzc", deep)); }), test::ownError(2018));
    // Some nesting inside a value is read as its text.
    file.Load(dir.write("nested.qzc", "<QZC><TemplateProperties><Version>a<b>b<c>c</c></b>d</Version>"
                                      "</TemplateProperties></QZC>"));
    EXPECT_EQ(file.TemplateProperties()->Version, "abcd");
    file.TemplateProperties()->Save();
    EXPECT_EQ(test::readFile(dir.file("nested.qzc")),
              "<QZC><TemplateProperties><Version>abcd</Version></TemplateProperties></QZC>");
}

} // namespace
} // namespace qz

// The QZC file as a whole: the skeleton, round trips through real files,
// files written on Windows, and the document checks of Load.
#include "config/QZCFile.h"

#include "core/ModErrors.h"

#include "QzcTestSupport.h"

#include <gtest/gtest.h>

#include <array>

#include <sys/stat.h>

namespace qz {
namespace {

using test::errorNumberOf;
using test::ownError;
using test::readFile;
using test::TempDir;

[[maybe_unused]] auto* const kLogEnv = ::testing::AddGlobalTestEnvironment(new test::LogInTempFolder);

constexpr std::string_view kSkeleton =
    "<QZC><TemplateProperties><Version/><FileName/><RevisionKeep/><Locale/><DateTimeFormat/>"
    "<StringFormat/><NumberFormat/><CurrencyFormat/><PercentFormat/></TemplateProperties>"
    "<ConnectionList/></QZC>";

std::array<std::string, 9> propertiesOf(const QZCTemplateProperties& p) {
    return {p.Version, p.filename, p.RevisionKeep, p.Locale, p.DateTimeFormat,
            p.StringFormat, p.NumberFormat, p.CurrencyFormat, p.PercentFormat};
}

TEST(QZCFile, CreateNewWritesTheSkeletonAndLoadsIt) {
    TempDir dir;
    const std::string path = dir.write("T.qzc", "something else entirely, to be replaced");
    QZCFile file;
    file.CreateNew(path);
    EXPECT_EQ(readFile(path), kSkeleton);
    ASSERT_TRUE(file.TemplateProperties());
    ASSERT_TRUE(file.ConnectionList());
    for (const std::string& v : propertiesOf(*file.TemplateProperties())) EXPECT_EQ(v, "");
    EXPECT_EQ(file.ConnectionList()->Count(), 0u);
    // Only the file itself is left in the folder: no temporary files.
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"T.qzc"});

    // A file that cannot be written: the error, and no objects of the file
    // loaded before.
    EXPECT_EQ(errorNumberOf([&] { file.CreateNew(dir.file("no/such/folder/T.qzc")); }), kErrorFail);
    EXPECT_FALSE(file.TemplateProperties());
    EXPECT_FALSE(file.ConnectionList());
}

// A template's whole configuration survives create, load, edit, save and
// reload, with line breaks, markup characters, spaces and characters outside
// ASCII unchanged.
TEST(QZCFile, EveryValueSurvivesSaveAndReload) {
    TempDir dir;
    const std::string path = dir.file("Invoice.qzc");
    const std::string sql = "SELECT *\r\nFROM [Orders] o\r\nWHERE o.Total > ? AND o.Name <> 'a&b'\r\n";
    const std::string unicode = "Données clients — 東京 \xF0\x9F\x93\x84";
    {
        QZCFile file;
        file.CreateNew(path);
        auto props = file.TemplateProperties();
        props->Version = "8.2.2";
        props->RevisionKeep = "11";
        props->Locale = "1036";
        props->DateTimeFormat = "DateTime:1;BlankProtect:-1";
        props->StringFormat = "UseDefaultProperties:-1";
        props->NumberFormat = "NumDigits:2;LeadingDigit:-1;UseParensForNeg:-2;GroupDigits:-1;BlankProtect:0";
        props->CurrencyFormat = "<&>\"'";
        props->PercentFormat = "  spaced  ";
        props->Save();

        auto cn = file.ConnectionList()->CreateNew();
        cn->Name = "Sales";
        cn->DataSource = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"sales db.mdb\"";
        cn->ConnectionType = "0";
        cn->Save();
        auto cmd = cn->CommandList()->CreateNew();
        cmd->Name = "Orders";
        cmd->Text = sql;
        cmd->Save();
        auto cmd2 = cn->CommandList()->CreateNew();
        cmd2->Name = "Clients";
        cmd2->Text = unicode;
        cmd2->Save();

        auto cn2 = file.ConnectionList()->CreateNew();
        cn2->Name = "Saved";
        cn2->DataSource = "";
        cn2->ConnectionType = "8";
        cn2->Save();
        auto cmd3 = cn2->CommandList()->CreateNew();
        cmd3->Name = "Rs";
        cmd3->Text = "recordset.xml";
        cmd3->Save();
    }

    // Markup characters are escaped in the file, carriage returns written as
    // references so that the CR LF pairs of the SQL survive any XML reader.
    const std::string written = readFile(path);
    EXPECT_NE(written.find("<CurrencyFormat>&lt;&amp;&gt;\"'</CurrencyFormat>"), std::string::npos);
    EXPECT_NE(written.find("SELECT *&#13;\nFROM"), std::string::npos);

    QZCFile file;
    file.Load(path);
    auto props = file.TemplateProperties();
    ASSERT_TRUE(props);
    EXPECT_EQ(props->Version, "8.2.2");
    EXPECT_EQ(props->RevisionKeep, "11");
    EXPECT_EQ(props->Locale, "1036");
    EXPECT_EQ(props->DateTimeFormat, "DateTime:1;BlankProtect:-1");
    EXPECT_EQ(props->CurrencyFormat, "<&>\"'");
    EXPECT_EQ(props->PercentFormat, "  spaced  ");
    const auto& list = file.ConnectionList()->List();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->ID, "ID1");
    EXPECT_EQ(list[0]->Name, "Sales");
    EXPECT_EQ(list[0]->DataSource, "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"sales db.mdb\"");
    EXPECT_EQ(list[0]->ConnectionType, "0");
    const auto& cmds = list[0]->CommandList()->List();
    ASSERT_EQ(cmds.size(), 2u);
    EXPECT_EQ(cmds[0]->ID, "ID1");
    EXPECT_EQ(cmds[0]->Text, sql);
    EXPECT_EQ(cmds[1]->ID, "ID2");
    EXPECT_EQ(cmds[1]->Text, unicode);
    EXPECT_EQ(list[1]->ID, "ID2");
    ASSERT_EQ(list[1]->CommandList()->Count(), 1u);
    EXPECT_EQ(list[1]->CommandList()->List()[0]->ID, "ID1"); // numbering restarts per connection

    // Edit, delete and reload again.
    cmds[0]->Text = "SELECT 1";
    cmds[0]->Save();
    file.ConnectionList()->Delete("id2");
    QZCFile again;
    again.Load(path);
    ASSERT_EQ(again.ConnectionList()->Count(), 1u);
    EXPECT_EQ(again.ConnectionList()->List()[0]->CommandList()->List()[0]->Text, "SELECT 1");
    EXPECT_EQ(again.ConnectionList()->List()[0]->CommandList()->List()[1]->Text, unicode);
    EXPECT_EQ(propertiesOf(*again.TemplateProperties()), propertiesOf(*props));
}

// What a Windows machine wrote: indentation with CR LF line ends, a byte-order
// mark, UTF-16, and SQL text whose line breaks are raw CR LF in the file.
TEST(QZCFile, LoadsFilesWrittenOnWindows) {
    const std::string body =
        "<QZC>\r\n"
        "\t<TemplateProperties>\r\n"
        "\t\t<Version>8.1.0</Version>\r\n"
        "\t\t<FileName></FileName>\r\n"
        "\t\t<Locale>1033</Locale>\r\n"
        "\t</TemplateProperties>\r\n"
        "\t<ConnectionList>\r\n"
        "\t\t<Connection ID=\"ID3\">\r\n"
        "\t\t\t<Name>Nordwind</Name>\r\n"
        "\t\t\t<DataSource>Provider=Microsoft.Jet.OLEDB.4.0;Data Source=nw.mdb</DataSource>\r\n"
        "\t\t\t<ConnectionType>0</ConnectionType>\r\n"
        "\t\t\t<CommandList>\r\n"
        "\t\t\t\t<Command ID=\"ID1\">\r\n"
        "\t\t\t\t\t<Name>Kunden</Name>\r\n"
        "\t\t\t\t\t<Text>SELECT Firma\r\nFROM Kunden WHERE Ort = 'Köln'</Text>\r\n"
        "\t\t\t\t</Command>\r\n"
        "\t\t\t</CommandList>\r\n"
        "\t\t</Connection>\r\n"
        "\t</ConnectionList>\r\n"
        "</QZC>\r\n";

    // UTF-16 of the body, little or big endian, with its byte-order mark.
    auto utf16 = [&](bool bigEndian) {
        std::u16string wide;
        for (std::size_t i = 0; i < body.size();) {
            auto c = static_cast<unsigned char>(body[i]);
            char32_t cp = c;
            std::size_t len = 1;
            if (c >= 0xC0) {
                len = c >= 0xE0 ? 3 : 2;
                cp = c & (len == 3 ? 0x0F : 0x1F);
                for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (body[i + k] & 0x3F);
            }
            wide += static_cast<char16_t>(cp);
            i += len;
        }
        std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t u : wide) {
            char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
            bytes += bigEndian ? hi : lo;
            bytes += bigEndian ? lo : hi;
        }
        return bytes;
    };

    const std::array<std::pair<const char*, std::string>, 4> variants = {{
        {"plain UTF-8", body},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" + body},
        {"UTF-16 LE", utf16(false)},
        {"UTF-16 BE", utf16(true)},
    }};
    for (const auto& [what, bytes] : variants) {
        SCOPED_TRACE(what);
        TempDir dir;
        const std::string path = dir.write("Win.qzc", bytes);
        QZCFile file;
        ASSERT_NO_THROW(file.Load(path));
        EXPECT_EQ(file.TemplateProperties()->Version, "8.1.0");
        EXPECT_EQ(file.TemplateProperties()->Locale, "1033");
        EXPECT_EQ(file.TemplateProperties()->StringFormat, "");
        auto cn = file.ConnectionList()->FindItem("ID3");
        ASSERT_TRUE(cn);
        EXPECT_EQ(cn->Name, "Nordwind");
        auto cmd = cn->CommandList()->FindItem("id1");
        ASSERT_TRUE(cmd);
        EXPECT_EQ(cmd->Text, "SELECT Firma\r\nFROM Kunden WHERE Ort = 'Köln'");

        // Saving rewrites it in the system's own form, which loads the same.
        cmd->Save();
        const std::string written = readFile(path);
        EXPECT_EQ(written.find('\t'), std::string::npos);
        EXPECT_NE(written.find("SELECT Firma&#13;\nFROM Kunden WHERE Ort = 'Köln'"), std::string::npos);
        QZCFile again;
        again.Load(path);
        EXPECT_EQ(again.ConnectionList()->FindItem("ID3")->CommandList()->FindItem("ID1")->Text, cmd->Text);
    }
}

TEST(QZCFile, AcceptsEitherOrderAndMissingTopElements) {
    TempDir dir;
    QZCFile file;
    file.Load(dir.write("a.qzc", "<QZC><ConnectionList/><TemplateProperties><Locale>-1</Locale></TemplateProperties></QZC>"));
    ASSERT_TRUE(file.TemplateProperties());
    EXPECT_EQ(file.TemplateProperties()->Locale, "-1");
    EXPECT_TRUE(file.ConnectionList());

    file.Load(dir.write("b.qzc", "<QZC><ConnectionList/></QZC>"));
    EXPECT_FALSE(file.TemplateProperties());
    EXPECT_TRUE(file.ConnectionList());

    file.Load(dir.write("c.qzc", "<QZC/>"));
    EXPECT_FALSE(file.TemplateProperties());
    EXPECT_FALSE(file.ConnectionList());
}

// Every malformed file of the validation table fails with its own message id.
TEST(QZCFile, RefusesMalformedFilesWithTheirMessageIds) {
    struct Case {
        const char* what;
        std::string bytes;
        std::int32_t number;
    };
    const std::string props = "<TemplateProperties/>";
    const std::vector<Case> cases = {
        {"empty file", "", ownError(2018)},
        {"not XML", "hello", ownError(2018)},
        {"unclosed root", "<QZC><ConnectionList/>", ownError(2018)},
        {"mismatched tags", "<QZC><ConnectionList></TemplateProperties></QZC>", ownError(2018)},
        {"text outside the root", "junk<QZC/>", ownError(2018)},
        {"two roots", "<QZC/><QZC/>", ownError(2018)},
        {"invalid UTF-8", "<QZC><TemplateProperties><Version>\xC3\x28</Version></TemplateProperties></QZC>", ownError(2018)},
        {"XML declaration", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><QZC/>", ownError(2017)},
        {"comment before the root", "<!-- made by hand --><QZC/>", ownError(2017)},
        {"comment after the root", "<QZC/><!-- end -->", ownError(2017)},
        {"processing instruction", "<?style x?><QZC/>", ownError(2017)},
        {"document type", "<!DOCTYPE QZC><QZC/>", ownError(2017)},
        {"root in other case", "<qzc/>", ownError(2016)},
        {"root of another name", "<Configuration/>", ownError(2016)},
        {"two template properties", "<QZC>" + props + props + "</QZC>", ownError(2015)},
        {"two connection lists", "<QZC><ConnectionList/><ConnectionList/></QZC>", ownError(2014)},
        {"comment in the root", "<QZC><!-- x --><ConnectionList/></QZC>", ownError(2012)},
        {"text in the root", "<QZC>text<ConnectionList/></QZC>", ownError(2012)},
        {"unknown root child", "<QZC><Settings/></QZC>", ownError(2012)},
        {"unknown property", "<QZC><TemplateProperties><Foo/></TemplateProperties></QZC>", ownError(2012)},
        {"property in other case", "<QZC><TemplateProperties><locale/></TemplateProperties></QZC>", ownError(2012)},
        {"unknown connection child",
         "<QZC><ConnectionList><Connection ID=\"ID1\"><Server/></Connection></ConnectionList></QZC>", ownError(2012)},
        {"two command lists",
         "<QZC><ConnectionList><Connection ID=\"ID1\"><CommandList/><CommandList/></Connection></ConnectionList></QZC>",
         ownError(2013)},
        {"unknown command child",
         "<QZC><ConnectionList><Connection ID=\"ID1\"><CommandList><Command ID=\"ID1\"><Sql/></Command>"
         "</CommandList></Connection></ConnectionList></QZC>",
         ownError(2012)},
        {"connection without ID", "<QZC><ConnectionList><Connection/></ConnectionList></QZC>", 91},
        {"comment as a connection", "<QZC><ConnectionList><!-- c --></ConnectionList></QZC>", 91},
        {"command without ID",
         "<QZC><ConnectionList><Connection ID=\"ID1\"><CommandList><Command/></CommandList></Connection>"
         "</ConnectionList></QZC>",
         91},
        {"IDs differing in case",
         "<QZC><ConnectionList><Connection ID=\"ID1\"/><Connection ID=\"id1\"/></ConnectionList></QZC>", 457},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.write("bad.qzc", c.bytes);
        QZCFile file;
        EXPECT_EQ(errorNumberOf([&] { file.Load(path); }), c.number);
        EXPECT_FALSE(file.TemplateProperties());
        EXPECT_FALSE(file.ConnectionList());
    }
    QZCFile file;
    EXPECT_EQ(errorNumberOf([&] { file.Load(dir.file("missing.qzc")); }), ownError(2018));
    EXPECT_EQ(errorNumberOf([&] { file.Load(dir.path()); }), ownError(2018)); // a folder
    const std::string fifo = dir.file("pipe.qzc");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(errorNumberOf([&] { file.Load(fifo); }), ownError(2018)); // refused, not waited on
}

// Error 2018 keeps its text and goes on to name the file and the reason.
TEST(QZCFile, AFileThatCannotBeOpenedIsNamedWithTheReason) {
    TempDir dir;
    auto description = [](const std::string& path) {
        try {
            QZCFile().Load(path);
        } catch (const AutomationError& e) {
            return e.Description;
        }
        return std::string();
    };
    const std::pair<std::string, const char*> cases[] = {{"<QZC><ConnectionList/>", "is not well-formed XML"},
                                                         {"<QZC/><QZC/>", "has more than one root element"},
                                                         {"junk<QZC/>", "holds text outside its root element"},
                                                         {"<QZC>\xC3\x28</QZC>", "is not UTF-8 text"}};
    for (const auto& [bytes, why] : cases) {
        const std::string path = dir.write("bad.qzc", bytes);
        const std::string d = description(path);
        EXPECT_EQ(d.rfind("Unable to open qzc file. The file '" + path + "' " + why, 0), 0u) << d;
    }
    const std::string d = description(dir.file("missing.qzc"));
    EXPECT_NE(d.find("missing.qzc' cannot be read: "), std::string::npos) << d;
}

// A load that fails leaves no half-built model behind, even over a file that
// was loaded before.
TEST(QZCFile, FailedLoadLeavesNoObjects) {
    TempDir dir;
    QZCFile file;
    file.CreateNew(dir.file("good.qzc"));
    ASSERT_TRUE(file.TemplateProperties());
    const std::string bad = dir.write(
        "bad.qzc", "<QZC><TemplateProperties/><ConnectionList><Connection ID=\"ID1\"><Oops/></Connection>"
                   "</ConnectionList></QZC>");
    EXPECT_EQ(errorNumberOf([&] { file.Load(bad); }), ownError(2012));
    EXPECT_FALSE(file.TemplateProperties());
    EXPECT_FALSE(file.ConnectionList());
}

// A failure deep in the file is logged by every Load it passes through, from
// the innermost outwards, and reaches the caller once.
TEST(QZCFile, NestedFailureIsLoggedByEachLevel) {
    TempDir dir;
    const std::string path = dir.write(
        "t.qzc", "<QZC><ConnectionList><Connection ID=\"ID1\"><CommandList><Command ID=\"ID1\"><Sql/></Command>"
                 "</CommandList></Connection></ConnectionList></QZC>");
    const std::string log = ErrorLogFileName();
    const std::size_t before = readFile(log).size();
    QZCFile file;
    EXPECT_EQ(errorNumberOf([&] { file.Load(path); }), ownError(2012));
    const std::string added = readFile(log).substr(before);
    std::vector<std::string> routines;
    for (std::size_t at = 0; (at = added.find('\t', at)) != std::string::npos;) {
        std::size_t end = added.find('\t', added.find('\t', at + 1) + 1);
        routines.push_back(added.substr(at + 1, end - at - 1));
        at = added.find('\n', at);
        if (at == std::string::npos) break;
    }
    EXPECT_EQ(routines, (std::vector<std::string>{"QZCCommand\tLoad", "QZCCommandList\tLoad", "QZCConnection\tLoad",
                                                  "QZCConnectionList\tLoad", "QZCFile\tLoad"}));
    EXPECT_NE(added.find("-2147219492\tInvalid qzc element."), std::string::npos);
}

TEST(QZCFile, IndentedAndCompactFilesLoadAlike) {
    TempDir dir;
    const std::string compact =
        "<QZC><TemplateProperties><Version>1</Version></TemplateProperties><ConnectionList>"
        "<Connection ID=\"ID1\"><Name>A</Name><CommandList><Command ID=\"ID1\"><Name>Q</Name>"
        "<Text> padded </Text></Command></CommandList></Connection></ConnectionList></QZC>";
    const std::string indented =
        "<QZC>\n  <TemplateProperties>\n    <Version>1</Version>\n  </TemplateProperties>\n  <ConnectionList>\n"
        "    <Connection ID=\"ID1\">\n      <Name>A</Name>\n      <CommandList>\n        <Command ID=\"ID1\">\n"
        "          <Name>Q</Name>\n          <Text> padded </Text>\n        </Command>\n      </CommandList>\n"
        "    </Connection>\n  </ConnectionList>\n</QZC>\n";
    QZCFile a, b;
    a.Load(dir.write("a.qzc", compact));
    b.Load(dir.write("b.qzc", indented));
    auto ca = a.ConnectionList()->List()[0], cb = b.ConnectionList()->List()[0];
    EXPECT_EQ(ca->Name, cb->Name);
    EXPECT_EQ(ca->CommandList()->List()[0]->Text, " padded ");
    EXPECT_EQ(cb->CommandList()->List()[0]->Text, " padded ");
    // Saving the indented one writes the compact form.
    cb->Save();
    EXPECT_EQ(readFile(dir.file("b.qzc")), compact);
}

TEST(QZCFile, FindsTheFileWhateverTheCaseOfItsName) {
    TempDir dir;
    const std::string real = dir.write("Letter.QZC", std::string(kSkeleton));
    QZCFile file;
    file.Load(dir.file("Letter.qzc"));
    file.TemplateProperties()->Version = "8.2.2";
    file.TemplateProperties()->Save();
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"Letter.QZC"});
    EXPECT_NE(readFile(real).find("<Version>8.2.2</Version>"), std::string::npos);
}

// Two studios on one QZC file: a save never undoes the other's.
TEST(QZCFile, ASaveKeepsWhatAnotherStudioSavedMeanwhile) {
    TempDir dir;
    const std::string path = dir.file("T.qzc");
    QZCFile first, second;
    first.CreateNew(path);
    second.Load(path);
    auto theirs = second.ConnectionList()->CreateNew();
    theirs->Name = "Theirs";
    theirs->Save();
    first.TemplateProperties()->Locale = "1036";
    try {
        first.TemplateProperties()->Save();
        FAIL() << "saved over the other studio's connection";
    } catch (const AutomationError& e) {
        EXPECT_NE(e.Description.find("was changed by someone else"), std::string::npos) << e.Description;
    }
    EXPECT_NE(readFile(path).find("Theirs"), std::string::npos);
    // Read again, the file takes this studio's change as well.
    first.Load(path);
    first.TemplateProperties()->Locale = "1036";
    first.TemplateProperties()->Save();
    EXPECT_NE(readFile(path).find("Theirs"), std::string::npos);
    EXPECT_NE(readFile(path).find("1036"), std::string::npos);
}

} // namespace
} // namespace qz

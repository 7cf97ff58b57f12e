// Template properties, connections and commands: IDs, saving, deleting, and
// how writes treat the file on disk.
#include "config/QZCFile.h"

#include "config/QZCDocument.h"

#include "QzcTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace qz {
namespace {

using test::errorNumberOf;
using test::ownError;
using test::readFile;
using test::TempDir;

std::string connectionsFile(std::initializer_list<int> numbers) {
    std::string s = "<QZC><TemplateProperties/><ConnectionList>";
    for (int n : numbers) s += "<Connection ID=\"ID" + std::to_string(n) + "\"><Name>C" + std::to_string(n) + "</Name><CommandList/></Connection>";
    return s + "</ConnectionList></QZC>";
}

TEST(QZCItems, NewIdsFollowTheHighestNumber) {
    TempDir dir;
    const std::string path = dir.write("t.qzc", connectionsFile({1, 2, 5}));
    {
        QZCFile file;
        file.Load(path);
        EXPECT_EQ(file.ConnectionList()->CreateNew()->ID, "ID6");
    }
    {
        QZCFile file;
        file.Load(path);
        file.ConnectionList()->Delete("ID5");
        EXPECT_EQ(file.ConnectionList()->CreateNew()->ID, "ID3");
    }
    dir.write("t.qzc", connectionsFile({1, 2, 5}));
    {
        QZCFile file;
        file.Load(path);
        file.ConnectionList()->Delete("ID2");
        EXPECT_EQ(file.ConnectionList()->CreateNew()->ID, "ID6");
        // New items come after the loaded ones, in order of creation.
        const auto& list = file.ConnectionList()->List();
        ASSERT_EQ(list.size(), 3u);
        EXPECT_EQ(list[0]->ID, "ID1");
        EXPECT_EQ(list[1]->ID, "ID5");
        EXPECT_EQ(list[2]->ID, "ID6");
        // Commands are numbered within their own connection only.
        EXPECT_EQ(list[1]->CommandList()->CreateNew()->ID, "ID1");
        EXPECT_EQ(list[1]->CommandList()->CreateNew()->ID, "ID2");
        EXPECT_EQ(list[2]->CommandList()->CreateNew()->ID, "ID1");
    }
}

TEST(QZCItems, IdWithoutNumberStopsNewItems) {
    TempDir dir;
    QZCFile file;
    file.Load(dir.write("t.qzc", "<QZC><ConnectionList><Connection ID=\"IDx\"/></ConnectionList></QZC>"));
    EXPECT_EQ(errorNumberOf([&] { file.ConnectionList()->CreateNew(); }), 13);
    EXPECT_EQ(file.ConnectionList()->Count(), 1u);
    file.Load(dir.write("u.qzc", "<QZC><ConnectionList><Connection ID=\"ID99999999999\"/></ConnectionList></QZC>"));
    EXPECT_EQ(errorNumberOf([&] { file.ConnectionList()->CreateNew(); }), 6);
}

TEST(QZCItems, DeleteOfAnUnknownIdChangesNothing) {
    TempDir dir;
    const std::string path = dir.write("t.qzc", connectionsFile({1}));
    const std::string before = readFile(path);
    QZCFile file;
    file.Load(path);
    EXPECT_EQ(errorNumberOf([&] { file.ConnectionList()->Delete("ID9"); }), 5);
    EXPECT_EQ(file.ConnectionList()->Count(), 1u);
    EXPECT_EQ(readFile(path), before);
}

// A new item reaches the file only with a save; any save of the document
// writes it, with empty children.
TEST(QZCItems, UnsavedNewItemsAreWrittenByTheNextSave) {
    TempDir dir;
    const std::string path = dir.file("t.qzc");
    QZCFile file;
    file.CreateNew(path);
    auto first = file.ConnectionList()->CreateNew();
    first->Name = "First";
    first->Save();
    auto second = file.ConnectionList()->CreateNew();
    second->Name = "Second"; // not saved
    EXPECT_EQ(readFile(path).find("ID2"), std::string::npos);
    first->ConnectionType = "5";
    first->Save();
    EXPECT_NE(readFile(path).find("<Connection ID=\"ID2\"><Name/><DataSource/><ConnectionType/><CommandList/></Connection>"),
              std::string::npos);
    auto cmd = first->CommandList()->CreateNew();
    file.TemplateProperties()->Save();
    EXPECT_NE(readFile(path).find("<Command ID=\"ID1\"><Name/><Text/></Command>"), std::string::npos);
    (void)cmd;
}

TEST(QZCItems, ChangedIdIsNotStored) {
    TempDir dir;
    const std::string path = dir.write("t.qzc", connectionsFile({1}));
    QZCFile file;
    file.Load(path);
    auto cn = file.ConnectionList()->List()[0];
    cn->ID = "ID7";
    cn->Name = "Renamed";
    cn->Save();
    QZCFile again;
    again.Load(path);
    EXPECT_EQ(again.ConnectionList()->List()[0]->ID, "ID1");
    EXPECT_EQ(again.ConnectionList()->List()[0]->Name, "Renamed");
    // The list still knows the item by the ID it was loaded with.
    EXPECT_EQ(file.ConnectionList()->FindItem("ID1"), cn);
}

TEST(QZCItems, ConnectionWithoutCommandListLoads) {
    TempDir dir;
    QZCFile file;
    file.Load(dir.write("t.qzc", "<QZC><ConnectionList><Connection ID=\"ID1\"><Name>A</Name><Name>B</Name></Connection>"
                                  "</ConnectionList></QZC>"));
    auto cn = file.ConnectionList()->List()[0];
    EXPECT_FALSE(cn->CommandList());
    EXPECT_EQ(cn->Name, "B"); // the last one wins
}

// Saving a connection writes its members into every element of that name,
// keeps its commands, and gives a member that lacks its element one.
TEST(QZCItems, SaveWritesMembersAndCreatesMissingElements) {
    TempDir dir;
    const std::string path = dir.write(
        "t.qzc", "<QZC><ConnectionList><Connection ID=\"ID1\"><Name>A</Name><Name>B</Name><CommandList>"
                 "<Command ID=\"ID1\"><Name>Q</Name></Command></CommandList></Connection></ConnectionList></QZC>");
    QZCFile file;
    file.Load(path);
    auto cn = file.ConnectionList()->List()[0];
    cn->Name = "N";
    cn->DataSource = "DSN=x";
    cn->Save();
    auto cmd = cn->CommandList()->List()[0];
    cmd->Text = "SELECT 1";
    cmd->Save();
    EXPECT_EQ(readFile(path),
              "<QZC><ConnectionList><Connection ID=\"ID1\"><Name>N</Name><Name>N</Name><DataSource>DSN=x</DataSource>"
              "<CommandList><Command ID=\"ID1\"><Name>Q</Name><Text>SELECT 1</Text></Command></CommandList>"
              "</Connection></ConnectionList></QZC>");
}

TEST(QZCTemplateProperties, LoadSaveAndRefusedChildren) {
    TempDir dir;
    // No children: nine empty properties.
    QZCFile file;
    file.Load(dir.write("empty.qzc", "<QZC><TemplateProperties/></QZC>"));
    EXPECT_EQ(file.TemplateProperties()->Version, "");

    // Duplicates: the last one is read, and a save writes both; a missing
    // element is created in the written order when its property has a value.
    const std::string dup = dir.write(
        "dup.qzc", "<QZC><TemplateProperties><Locale>1031</Locale><Version>1</Version><Locale>1036</Locale>"
                   "</TemplateProperties></QZC>");
    file.Load(dup);
    auto props = file.TemplateProperties();
    EXPECT_EQ(props->Locale, "1036");
    props->Locale = "2057";
    props->RevisionKeep = "3";
    props->Save();
    // (placed before the first element that is written after it)
    EXPECT_EQ(readFile(dup), "<QZC><TemplateProperties><RevisionKeep>3</RevisionKeep><Locale>2057</Locale>"
                             "<Version>1</Version><Locale>2057</Locale></TemplateProperties></QZC>");

    // A child of another name: Load fails with 2012; a Save through an object
    // bound to such an element fails with 2012 and writes nothing.
    const std::string badBytes = "<QZC><TemplateProperties><Version>1</Version><Foo/></TemplateProperties></QZC>";
    const std::string bad = dir.write("bad.qzc", badBytes);
    EXPECT_EQ(errorNumberOf([&] { file.Load(bad); }), ownError(2012));

    auto doc = qzc::readDocument(bad);
    QZCNode root{doc, doc->xml.first_child().internal_object()};
    QZCTemplateProperties bound;
    bound.XMLDOMNode(qzc::bindTo(root, doc->xml.first_child().child("TemplateProperties")));
    bound.Version = "9";
    EXPECT_EQ(errorNumberOf([&] { bound.Save(); }), ownError(2012));
    EXPECT_EQ(readFile(bad), badBytes);
    EXPECT_EQ(qzc::serialize(doc->xml), badBytes); // nothing changed in memory either
    EXPECT_EQ(errorNumberOf([&] { bound.Load(); }), ownError(2012));
    EXPECT_EQ(bound.Version, "9"); // a refused load leaves the properties as they were
}

TEST(QZCItems, DeletedConnectionTakesItsCommandsAlong) {
    TempDir dir;
    const std::string path = dir.file("t.qzc");
    QZCFile file;
    file.CreateNew(path);
    auto cn = file.ConnectionList()->CreateNew();
    cn->Name = "A";
    auto cmd = cn->CommandList()->CreateNew();
    cmd->Name = "Q";
    cmd->Save();
    auto commands = cn->CommandList();
    file.ConnectionList()->Delete("ID1");
    EXPECT_EQ(readFile(path).find("Connection "), std::string::npos);
    EXPECT_EQ(file.ConnectionList()->Count(), 0u);
    // Objects still held by a caller no longer reach the document.
    EXPECT_EQ(errorNumberOf([&] { commands->CreateNew(); }), 91);
    EXPECT_EQ(errorNumberOf([&] { cmd->Load(); }), 91);
    cmd->Name = "changed";
    EXPECT_NO_THROW(cmd->Save());
    EXPECT_EQ(readFile(path).find("changed"), std::string::npos);
    EXPECT_EQ(file.ConnectionList()->CreateNew()->ID, "ID1");
}

TEST(QZCItems, CommandDeleteWritesTheFile) {
    TempDir dir;
    const std::string path = dir.file("t.qzc");
    QZCFile file;
    file.CreateNew(path);
    auto cn = file.ConnectionList()->CreateNew();
    for (const char* name : {"A", "B", "C"}) {
        auto cmd = cn->CommandList()->CreateNew();
        cmd->Name = name;
        cmd->Save();
    }
    cn->CommandList()->Delete("ID2");
    QZCFile again;
    again.Load(path);
    const auto& cmds = again.ConnectionList()->List()[0]->CommandList()->List();
    ASSERT_EQ(cmds.size(), 2u);
    EXPECT_EQ(cmds[0]->Name, "A");
    EXPECT_EQ(cmds[1]->Name, "C");
}

// Writes replace the file through a temporary file: a write that cannot be
// done leaves the old file whole, and no temporary file remains.
TEST(QZCWrite, FailedWritesLeaveTheOldFile) {
    TempDir dir;
    const std::string path = dir.file("t.qzc");
    QZCFile file;
    file.CreateNew(path);
    file.TemplateProperties()->Version = "1";
    file.TemplateProperties()->Save();
    const std::string saved = readFile(path);

    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    file.TemplateProperties()->Version = "2";
    EXPECT_EQ(errorNumberOf([&] { file.TemplateProperties()->Save(); }), kErrorFail);
    EXPECT_EQ(errorNumberOf([&] { file.ConnectionList()->CreateNew()->Save(); }), kErrorFail);
    EXPECT_EQ(readFile(path), saved);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"t.qzc"});

    // A failed delete changes neither the file nor the model.
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    auto cn = file.ConnectionList()->List()[0];
    cn->Save();
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(errorNumberOf([&] { file.ConnectionList()->Delete("ID1"); }), kErrorFail);
    EXPECT_EQ(file.ConnectionList()->Count(), 1u);
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    file.TemplateProperties()->Save();
    EXPECT_NE(readFile(path).find("Connection ID=\"ID1\""), std::string::npos);

    // A folder that no longer exists.
    QZCFile gone;
    TempDir other;
    gone.CreateNew(other.file("g.qzc"));
    std::filesystem::remove_all(other.path());
    EXPECT_EQ(errorNumberOf([&] { gone.TemplateProperties()->Save(); }), kErrorFail);
}

TEST(QZCWrite, KeepsPermissionsAndSymbolicLinks) {
    TempDir dir;
    const std::string real = dir.file("real.qzc");
    QZCFile file;
    file.CreateNew(real);
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    const std::string link = dir.file("link.qzc");
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);

    QZCFile viaLink;
    viaLink.Load(link);
    viaLink.TemplateProperties()->Version = "5";
    viaLink.TemplateProperties()->Save();
    struct stat st;
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_NE(readFile(real).find("<Version>5</Version>"), std::string::npos);
}

} // namespace

// A stored kind reads back as the kind written; any other text is no kind.
TEST(QZCItems, ConnectionTypesRoundTripThroughTheirStoredText) {
    for (int k = kAccess; k <= kPersistedRecordset; ++k) {
        const std::string text = ConnectionTypeText(static_cast<ConnectionType>(k));
        EXPECT_EQ(text.size(), 1u);
        EXPECT_EQ(ConnectionTypeOf(text), static_cast<ConnectionType>(k)) << text;
    }
    for (const char* other : {"", "9", "-1", " 5", "5 ", "05", "x"}) EXPECT_FALSE(ConnectionTypeOf(other)) << other;
}

// The one check of a command's name, as the command windows run it before a save.
TEST(QZCItems, CommandNamesAreValidNamesAndUniqueWithoutLetterCase) {
    TempDir dir;
    QZCFile file;
    file.Load(dir.write("t.qzc", "<QZC><TemplateProperties/><ConnectionList>"
                                 "<Connection ID=\"ID1\"><Name>C</Name><CommandList>"
                                 "<Command ID=\"ID1\"><Name>Orders</Name><Text/></Command>"
                                 "<Command ID=\"ID2\"><Name>Lines</Name><Text/></Command>"
                                 "</CommandList></Connection></ConnectionList></QZC>"));
    const auto& list = *file.ConnectionList();
    const QZCCommand* lines = list.List()[0]->CommandList()->List()[1].get();
    EXPECT_TRUE(QzCommandNameAlreadyExist(list, "ORDERS", lines));
    EXPECT_FALSE(QzCommandNameAlreadyExist(list, "Lines", lines));  // its own name
    EXPECT_EQ(errorNumberOf([&] { CheckCommandName(&list, "orders", lines); }), ownError(4025));
    EXPECT_EQ(errorNumberOf([&] { CheckCommandName(&list, "   ", lines); }), ownError(4027));
    EXPECT_EQ(errorNumberOf([&] { CheckCommandName(&list, "1st", lines); }), ownError(4027));
    EXPECT_EQ(errorNumberOf([&] { CheckCommandName(&list, "Items", lines); }), 0);
    EXPECT_EQ(errorNumberOf([&] { CheckCommandName(nullptr, "Orders", lines); }), 0);
}

} // namespace qz

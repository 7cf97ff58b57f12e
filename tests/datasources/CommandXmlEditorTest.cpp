// The saved-recordset command editor driven as an author drives it: names
// refused and duplicates, the file stored by its bare name in the template
// folder, the preview of a real saved recordset, and a QZC file that cannot
// be written.
#include "DataSourceWindowsFixture.h"

#include "config/QZCFile.h"
#include "datasources/forms/frmCommandXML.h"

using namespace qz;
using namespace qz::datasources;

namespace {

constexpr const char* kRecordset =
    "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' "
    "xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'><s:Schema id='RowsetSchema'>"
    "<s:ElementType name='row'><s:AttributeType name='Item'><s:datatype dt:type='string'/></s:AttributeType>"
    "<s:AttributeType name='Qty'><s:datatype dt:type='int'/></s:AttributeType></s:ElementType></s:Schema>"
    "<rs:data><z:row Item='Pen' Qty='2'/><z:row Item='Ink' Qty='5'/></rs:data></xml>";

struct CommandXml : test::DataSourceWindows {
    frmCommandXML e;
    QZCFile file;
    std::shared_ptr<QZCCommand> Open(const std::string& connection = "ID1", const std::string& command = "ID1") {
        file.Load(qzcPath);
        const auto cn = file.ConnectionList()->FindItem(connection);
        auto cmd = cn->CommandList()->FindItem(command);
        e.QzCommand(cmd);
        e.QzCnCommand(cn);
        e.QzConnectionList(file.ConnectionList());
        e.Initialize();
        return cmd;
    }
    std::string Stored() {
        QZCFile f;
        f.Load(qzcPath);
        const auto cmd = f.ConnectionList()->FindItem("ID1")->CommandList()->FindItem("ID1");
        return cmd->Name + "|" + cmd->Text;
    }
    void Ok(const std::string& name) {
        e.txtCommandName.Text = name;
        Drive(e, [&] { e.cmdOk_Click(); });
    }
};

} // namespace

TEST_F(CommandXml, NamesAreCheckedAndTheFileKeptBareInTheTemplateFolder) {
    WriteQzc(Connection("ID1", "Saved", "8", "", Command("ID1", "Orders", "orders.xml")) +
             Connection("ID2", "Other", "8", "", Command("ID1", "Lines")));
    Open();
    EXPECT_EQ(e.Caption, "Command Properties (Saved)");
    EXPECT_EQ(e.txtFilename.Text, "orders.xml");
    for (const char* bad : {"2Orders", "Order Lines", "", "Orders-2"}) Ok(bad);
    Ok("LINES");
    EXPECT_EQ(host.errorTexts, (std::vector<std::string>{
                                   GetResourceString(4027), GetResourceString(4027), GetResourceString(4027),
                                   GetResourceString(4027),
                                   GetResourceString(4025) + "\r\n\r\nDetails: error -2147217479"}));
    EXPECT_FALSE(e.PropertiesSaved());
    // Only what a name may hold can be typed.
    for (int key : {'-', '.', '/', ' '}) {
        int k = key;
        e.txtCommandName.KeyPress(k);
        EXPECT_EQ(k, 0);
    }
    int quote = '\'';
    e.txtFilename.KeyPress(quote);
    EXPECT_EQ(quote, 0);
    // Browse: a file of the template folder is stored by its bare name.
    ui::FileDialogResult chosen;
    chosen.outcome = ui::FileDialogResult::Ok;
    chosen.path = dir + "/items.xml";
    host.queueFileDialog(chosen);
    e.cmdBrowse_Click();
    EXPECT_EQ(e.txtFilename.Text, "items.xml");
    EXPECT_EQ(host.requests(ui::UiRequest::FileDialog).back().file.initialFolder, dir);
    Ok("Orders");  // its own name, unchanged
    EXPECT_TRUE(e.PropertiesSaved());
    EXPECT_EQ(Stored(), "Orders|items.xml");
    Open();
    e.txtFilename.Text = dir + "/items.xml";
    Ok("Orders_2");
    EXPECT_EQ(Stored(), "Orders_2|items.xml");
    Open();
    e.txtFilename.Text = home.root() + "/elsewhere.xml";
    Ok("Orders_2");
    EXPECT_EQ(Stored(), "Orders_2|" + home.root() + "/elsewhere.xml");
}

TEST_F(CommandXml, OpenPreviewsTheSavedRecordset) {
    test::TestHome::write(dir + "/items.xml", kRecordset);
    test::TestHome::write(dir + "/broken.xml", "<xml><rs:data>");
    WriteQzc(Connection("ID1", "Saved", "8", "", Command("ID1", "Items", "items.xml")));
    Open();
    e.cmdOpen_Click();  // a bare name lies in the template folder
    EXPECT_EQ(e.msfgCommand.Data.Columns, (std::vector<std::string>{"Item", "Qty"}));
    ASSERT_EQ(e.msfgCommand.Data.Rows.size(), 2u);
    EXPECT_EQ(e.msfgCommand.Data.Rows[1].Cells, (std::vector<std::string>{"Ink", "5"}));
    e.txtFilename.Text = "missing.xml";
    e.cmdOpen_Click();
    EXPECT_EQ(host.errorTexts.back(), "Cannot find the specified file.\r\n\r\nDetails: error -2147217490");
    EXPECT_TRUE(e.msfgCommand.Data.Rows.empty());
    e.txtFilename.Text = "broken.xml";
    e.cmdOpen_Click();
    EXPECT_EQ(host.errorTexts.size(), 2u);
    EXPECT_EQ(e.txtFilename.Text, "broken.xml");  // the entries stay
    EXPECT_FALSE(host.busy());
}

TEST_F(CommandXml, AFileThatCannotBeWrittenMarksTheTemplateReadOnly) {
    WriteQzc(Connection("ID1", "Saved", "8", "", Command("ID1", "Items", "items.xml")));
    const auto cmd = Open();
    MakeReadOnly();
    Ok("Lines");
    EXPECT_FALSE(e.PropertiesSaved());
    ASSERT_EQ(host.errorTexts.size(), 1u);
    EXPECT_EQ(host.errorTexts[0], "Cannot update Quorvane template properties.\r\nThe Qzc file '" + qzcPath +
                                      "' is read-only.");
    EXPECT_TRUE(designer.readOnly);
    EXPECT_EQ(cmd->Name, "Items");
    EXPECT_EQ(Stored(), "Items|items.xml");
    // Opened again on the read-only template, OK is off; Cancel saves nothing.
    Open();
    EXPECT_FALSE(e.cmdOk.Enabled);
    Drive(e, [&] { e.cmdCancel_Click(); });
    EXPECT_FALSE(e.PropertiesSaved());
}

// The print dialog routine, the folder picker and tree routines, and the
// preview grid filled from a recordset with child records.
#include "core/ModBrowseFolderAPI.h"
#include "core/ModPrintDialog.h"
#include "core/RecordsetGrid.h"
#include "platform/ui/Printer.h"
#include "platform/ui/UiHost.h"

#include <gtest/gtest.h>

using namespace qz;

namespace {

struct HostAndPrinters : ::testing::Test {
    ui::HeadlessUiHost host;
    ui::HeadlessPrinterBackend printers;
    void SetUp() override {
        printers.installed = {{"Office Laser", "cups", "ipp://a"}, {"LABEL", "cups", "usb:"},
                              {"Label", "cups", "usb:2"}};
        ui::setCurrentHost(&host);
        ui::setPrinterBackend(&printers);
    }
    void TearDown() override {
        ui::setPrinterBackend(nullptr);
        ui::setCurrentHost(nullptr);
    }
    void answer(const std::string& printer, int copies) {
        ui::PrintDialogResult r;
        r.ok = true;
        r.settings.printerName = printer;
        r.settings.copies = copies;
        r.settings.orientation = 2;
        r.settings.paperSize = 1;
        r.settings.duplex = 3;
        r.settings.printQuality = 300;
        r.settings.colorMode = 1;
        r.settings.defaultSource = 4;
        host.queuePrintDialog(r);
    }
};

} // namespace

TEST_F(HostAndPrinters, PrinterDialogSeedsFromAndUpdatesTheCurrentPrinter) {
    ui::Printer& p = ui::CurrentPrinter();
    p.Orientation = 1;
    p.Duplex = 2;
    p.FontSize = 14;

    // Cancel: nothing changes.
    EXPECT_FALSE(ShowPrinterDialog(nullptr, 0));
    const auto asked = host.requests(ui::UiRequest::PrintDialog);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_FALSE(asked[0].print.allowSelection);
    EXPECT_EQ(asked[0].print.current.printerName, "Office Laser");
    EXPECT_EQ(asked[0].print.current.duplex, 2);
    EXPECT_EQ(asked[0].print.printers.size(), 3u);
    EXPECT_EQ(p.DeviceName, "Office Laser");
    EXPECT_EQ(p.Copies, 1);

    // The same printer: only the settings change.
    answer("Office Laser", 3);
    EXPECT_TRUE(ShowPrinterDialog(nullptr, 0));
    EXPECT_EQ(p.DeviceName, "Office Laser");
    EXPECT_EQ(p.Copies, 3);
    EXPECT_EQ(p.Orientation, 2);
    EXPECT_EQ(p.PaperSize, 1);
    EXPECT_EQ(p.Duplex, 3);
    EXPECT_EQ(p.PrintQuality, 300);
    EXPECT_EQ(p.ColorMode, 1);
    EXPECT_EQ(p.PaperBin, 4);
    EXPECT_EQ(p.OutputFileName, "");
    // A file chosen to print to is where the print goes.
    ui::PrintDialogResult toFile;
    toFile.ok = true;
    toFile.settings.printerName = "Office Laser";
    toFile.settings.outputFile = "/tmp/out.pdf";
    host.queuePrintDialog(toFile);
    EXPECT_TRUE(ShowPrinterDialog(nullptr, 0));
    EXPECT_EQ(p.OutputFileName, "/tmp/out.pdf");
    p.OutputFileName.clear();

    // Another printer named in other letter case; an exact match wins over
    // one that differs in case. The font stays with the document.
    answer("office LASER", 2);
    answer("Label", 1);
    EXPECT_TRUE(ShowPrinterDialog(nullptr, 0));
    EXPECT_TRUE(ShowPrinterDialog(nullptr, 0));
    EXPECT_EQ(p.DeviceName, "Label");
    EXPECT_EQ(p.Port, "usb:2");
    EXPECT_EQ(p.FontSize, 14);
    answer("Office Laser", 1);
    answer("label", 1);  // no exact match: the last that differs only in case
    EXPECT_TRUE(ShowPrinterDialog(nullptr, 0));
    EXPECT_TRUE(ShowPrinterDialog(nullptr, 0));
    EXPECT_EQ(p.Port, "usb:2");

    // A printer that is not installed: the current one stays, with the settings.
    answer("Nowhere", 5);
    EXPECT_TRUE(ShowPrinterDialog(nullptr, 0));
    EXPECT_EQ(p.DeviceName, "Label");
    EXPECT_EQ(p.Copies, 5);
}

TEST_F(HostAndPrinters, LongPrinterNamesAreMatchedWhole) {
    const std::string longName = "Second floor colour laser printer by the stairs";
    printers.installed.push_back({longName, "cups", "ipp://b"});
    answer(longName, 1);
    EXPECT_TRUE(ShowPrinterDialog(nullptr, 0));
    EXPECT_EQ(ui::CurrentPrinter().DeviceName, longName);
}

TEST_F(HostAndPrinters, FolderPickerAndPaths) {
    EXPECT_EQ(RemoveTrailingBackslash(""), "");
    EXPECT_EQ(RemoveTrailingBackslash("C:\\data\\\\"), "C:\\data\\");
    EXPECT_EQ(RemoveTrailingBackslash("/srv/data/"), "/srv/data");
    EXPECT_EQ(RemoveTrailingBackslash("/"), "/");
    EXPECT_EQ(RemoveTrailingBackslash("name"), "name");

    // Cancel gives an empty path; the start folder loses its separator.
    EXPECT_EQ(BrowseForFolder(nullptr, "Select directory.", "/srv/data/"), "");
    host.queueFolderDialog(std::string("/srv/other"));
    EXPECT_EQ(BrowseForFolder(nullptr, "Select directory.", "/srv/data"), "/srv/other");
    const auto asked = host.requests(ui::UiRequest::FolderDialog);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].title, "Select directory.");
    EXPECT_EQ(asked[0].text, "/srv/data");
}

TEST(TreeRoutines, SelectedNodeRectangle) {
    ui::TreeView tree;
    tree.Add("DTLNK", "Data Sources").Expanded = true;
    tree.Add("DTLNK", ui::tvwChild, "DBCON1", "Orders");
    ui::Rect r{7, 7, 7, 7};
    GetSelectedNodeRect(tree, r);  // no selection: unchanged
    EXPECT_EQ(r, (ui::Rect{7, 7, 7, 7}));
    tree.Select(tree.Find("DBCON1"));
    GetSelectedNodeRect(tree, r);
    ui::Rect expected;
    ASSERT_TRUE(tree.NodeRect(*tree.Find("DBCON1"), expected));
    EXPECT_EQ(r, expected);
    EXPECT_EQ(r.Top, tree.RowHeight);
}

TEST(RecordsetGrid, ChaptersBecomeChildTables) {
    const std::string xml =
        "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'"
        " xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>"
        "<s:Schema id='RowsetSchema'><s:ElementType name='row' content='eltOnly'>"
        "<s:AttributeType name='ID'><s:datatype dt:type='int'/></s:AttributeType>"
        "<s:AttributeType name='Name' rs:nullable='true'><s:datatype dt:type='string'/></s:AttributeType>"
        "<s:ElementType name='Items' content='eltOnly' rs:relation='01'>"
        "<s:AttributeType name='Product'><s:datatype dt:type='string'/></s:AttributeType>"
        "<s:extends type='rs:rowbase'/></s:ElementType>"
        "<s:extends type='rs:rowbase'/></s:ElementType></s:Schema>"
        "<rs:data><z:row ID='1' Name='First'><Items Product='Tea'/><Items Product='Milk'/></z:row>"
        "<z:row ID='2'/></rs:data></xml>";
    Ref<ado::Recordset> rs = ado::parseSavedRecordset(xml, "t.xml");
    rs->moveNext();
    ui::DataGrid grid;
    FillGridFromRecordset(grid, *rs);
    EXPECT_EQ(rs->value(0).toLong(), 2);  // the position did not move
    const ui::GridTable& t = grid.Data;
    EXPECT_EQ(t.Columns, (std::vector<std::string>{"ID", "Name", "Items"}));
    EXPECT_TRUE(t.IsChapter(2));
    ASSERT_EQ(t.Rows.size(), 2u);
    EXPECT_EQ(t.Rows[0].Cells, (std::vector<std::string>{"1", "First", ""}));
    EXPECT_EQ(t.Rows[1].Cells[1], "");  // Null
    ASSERT_EQ(t.Rows[0].Chapters.size(), 1u);
    const ui::GridTable& items = t.Rows[0].Chapters[0].Table;
    EXPECT_EQ(items.Columns, std::vector<std::string>{"Product"});
    ASSERT_EQ(items.Rows.size(), 2u);
    EXPECT_EQ(items.Rows[1].Cells[0], "Milk");
    // A parent without child rows has an empty child table with its columns.
    ASSERT_EQ(t.Rows[1].Chapters.size(), 1u);
    EXPECT_TRUE(t.Rows[1].Chapters[0].Table.Rows.empty());
    EXPECT_EQ(t.Rows[1].Chapters[0].Table.Columns.size(), 1u);

    rs->close();
    FillGridFromRecordset(grid, *rs);
    EXPECT_TRUE(grid.Data.Columns.empty());
}

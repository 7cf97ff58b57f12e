// The designer's field commands through the field editors: fields inserted
// and edited through the dialogs as an author does it, line breaks stored as
// the document keeps them, Cancel leaving the document as it was, the
// repeating paragraph's two fields, and a template made this way produced by
// the engine with exactly what was typed.
#include "EditorsFixture.h"

#include "designer/Designer.h"
#include "designer/ModMSWordMenuToolbar.h"
#include "designer/ModMsWordCurrentDocument.h"
#include "designer/modMSWordFields.h"
#include "editors/forms/FieldEditors.h"
#include "editors/forms/frmExpression.h"
#include "editors/forms/frmRepeatingPar.h"
#include "editors/forms/frmStatement.h"
#include "production/Production.h"

using namespace qz;
using namespace qz::designer;
using namespace qz::editors;

namespace {

class FieldCommands : public editors::test::EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        InstallAddinTemplate(app);
        designer = std::make_unique<Designer>();
        designer->Initialize(app);
        doc = &app.GetDocuments().Add();
        app.GetSelection().TypeText("Dear ");
        ModMsWordCurrentDocument(app).UpdateCustomDocumentProperty("8.2.2");
        doc->SaveAs(home.root() + "/Shop.rtf", 6);
        designer->HandleCmd(qzCmdItemDocumentChange);
        ASSERT_EQ(designer->QzcFileName(), "Shop.qzc");
    }
    void TearDown() override {
        designer.reset();
        EditorTest::TearDown();
    }
    // The codes of the document's SET fields.
    std::vector<std::string> SetCodes() {
        std::vector<std::string> out;
        for (word::Field& f : doc->Content().GetFields().All()) {
            const std::string code = f.Code().Text();
            if (code.rfind(" SET ", 0) == 0) out.push_back(code);
        }
        return out;
    }
    // Puts the selection before the first field and opens it.
    void OpenFirstField() {
        app.GetSelection().SetRange(0, 0);
        designer->HandleCmd(qzCmdItemOpenField);
    }

    word::Application app;
    word::Document* doc = nullptr;
    std::unique_ptr<Designer> designer;
};

} // namespace

TEST_F(FieldCommands, StatementInsertedEditedAndCancelled) {
    host.queueFormAction([](ui::Form& form) {
        auto& f = dynamic_cast<frmStatement&>(form);
        EXPECT_EQ(f.txtLabel.Text, "Statement");
        f.txtLabel.Text = "Loop";
        f.txtValue.Text = "a = 1\r\nb = \"x\"";
        f.txtValue_Change();
        f.cmdOk_Click();
    });
    designer->HandleCmd(qzCmdItemInsertStatement);
    ASSERT_EQ(SetCodes(), std::vector<std::string>{" SET _QZStatement377 a = 1_QZCRLFb = \"x\""});

    // Opened again: two lines; OK without changes writes the same field.
    const std::string before = doc->Content().Text();
    host.queueFormAction([](ui::Form& form) {
        auto& f = dynamic_cast<frmStatement&>(form);
        EXPECT_EQ(f.txtLabel.Text, "Loop");
        EXPECT_EQ(f.txtValue.Text, "a = 1\r\nb = \"x\"");
        f.cmdOk_Click();
    });
    OpenFirstField();
    EXPECT_EQ(doc->Content().Text(), before);

    // Cancel after editing changes nothing; a second insert starts empty.
    host.queueFormAction([](ui::Form& form) {
        auto& f = dynamic_cast<frmStatement&>(form);
        f.txtValue.Text = "changed";
        f.cmdCancel_Click();
    });
    OpenFirstField();
    host.queueFormAction([](ui::Form& form) {
        auto& f = dynamic_cast<frmStatement&>(form);
        EXPECT_EQ(f.txtLabel.Text, "Statement");
        EXPECT_EQ(f.txtValue.Text, "");
        f.cmdCancel_Click();
    });
    designer->HandleCmd(qzCmdItemInsertStatement);
    EXPECT_EQ(doc->Content().Text(), before);
    EXPECT_TRUE(host.errorTexts.empty()) << host.errorTexts[0];
}

TEST_F(FieldCommands, ExpressionInsertedAndEditedWithItsFormatAndLocale) {
    host.queueFormAction([](ui::Form& form) {
        auto& f = dynamic_cast<frmExpression&>(form);
        f.tvList.Select(NodeAt(f.tvList, "Shop/Orders/Total"));
        f.tvList_DblClick();
        f.cmdOk_Click();
    });
    designer->HandleCmd(qzCmdItemInsertExpression);
    const std::string sect = kFieldSeparator;
    ASSERT_EQ(SetCodes(), std::vector<std::string>{" SET _QZExpression377 Orders.Fields(\"Total\").Value" + sect +
                                                   "Number;UseDefaultProperties:-1" + sect + "-1"});
    host.queueFormAction([](ui::Form& form) {
        auto& f = dynamic_cast<frmExpression&>(form);
        EXPECT_EQ(f.txtLabel.Text, "Total");
        EXPECT_EQ(f.cboFormat.ListIndex, 2);
        f.txtValue.Text = "Orders.Fields(\"Total\").Value * 2 _\r\n+ 1";
        f.cboFormat.Select(5);
        f.cboFormat_Click();
        f.cmdOk_Click();
    });
    OpenFirstField();
    EXPECT_EQ(SetCodes(), std::vector<std::string>{" SET _QZExpression377 Orders.Fields(\"Total\").Value * 2 _" +
                                                   std::string("_QZCRLF+ 1") + sect + "RTF;" + sect + "-1"});
}

TEST_F(FieldCommands, RepeatingParagraphInsertsTheTwoLoopFields) {
    host.queueFormAction([](ui::Form& form) {
        auto& f = dynamic_cast<frmRepeatingPar&>(form);
        EXPECT_EQ(f.Caption, "Repeating Paragraph");
        std::string items;
        for (int i = 0; i < f.lstQueries.ListCount(); ++i) items += f.lstQueries.List(i) + ",";
        EXPECT_EQ(items, "<None>,Orders,Param,Broken,After,Orders,Gone,Blank,Nothing,");
        EXPECT_TRUE(f.cmdOk.Enabled);
        f.lstQueries.Select(1);
        f.lstQueries_DblClick();
    });
    designer->HandleCmd(qzCmdItemInsertRepeatingParagraph);
    EXPECT_EQ(SetCodes(), (std::vector<std::string>{" SET _QZStatement377 Orders.MoveFirst_QZCRLFDo While(Not Orders.EOF)",
                                                    " SET _QZStatement377 Orders.MoveNext_QZCRLFLoop"}));
    // "<None>" gives the empty loop; Cancel gives nothing.
    host.queueFormAction([](ui::Form& form) { dynamic_cast<frmRepeatingPar&>(form).cmdOk_Click(); });
    designer->HandleCmd(qzCmdItemInsertRepeatingParagraph);
    host.queueFormAction([](ui::Form& form) { dynamic_cast<frmRepeatingPar&>(form).cmdCancel_Click(); });
    designer->HandleCmd(qzCmdItemInsertRepeatingParagraph);
    const auto codes = SetCodes();
    ASSERT_EQ(codes.size(), 4u);
    EXPECT_EQ(codes[2], " SET _QZStatement377 Do While()");
    EXPECT_EQ(codes[3], " SET _QZStatement377 Loop");
}

TEST_F(FieldCommands, TemplateWrittenThroughTheEditorsProducesWhatWasTyped) {
    const std::string text = "{Q} \\ \"q\" \xC2\xA7 \xC3\xA9t\xC3\xA9 \xE6\xBC\xA2\xE5\xAD\x97";
    host.queueFormAction([&](ui::Form& form) {
        auto& f = dynamic_cast<frmStatement&>(form);
        f.txtLabel.Text = "Set {s}";
        f.txtValue.Text = "Dim t\r\nt = \"" + std::string("{Q} \\ \"\"q\"\" \xC2\xA7 \xC3\xA9t\xC3\xA9 \xE6\xBC\xA2\xE5\xAD\x97") + "\"";
        f.cmdOk_Click();
    });
    designer->HandleCmd(qzCmdItemInsertStatement);
    host.queueFormAction([](ui::Form& form) {
        auto& f = dynamic_cast<frmExpression&>(form);
        f.txtLabel.Text = "Text";
        f.txtValue.Text = "t & _\r\n\"?\"";
        f.txtValue_Change();
        f.cmdOk_Click();
    });
    designer->HandleCmd(qzCmdItemInsertExpression);
    // Both fields edited again: the statement keeps its lines, the
    // expression gets a section sign of its own.
    host.queueFormAction([](ui::Form& form) {
        auto& f = dynamic_cast<frmStatement&>(form);
        EXPECT_EQ(f.txtValue.Text.find("Dim t\r\nt = "), 0u);
        f.cmdOk_Click();
    });
    OpenFirstField();
    host.queueFormAction([](ui::Form& form) {
        auto& f = dynamic_cast<frmExpression&>(form);
        EXPECT_EQ(f.txtValue.Text, "t & _\r\n\"?\"");
        f.txtValue.Text = "t & _\r\n\"\xC2\xA7!\"";
        f.cmdOk_Click();
    });
    {
        // The expression field is the second: opened from just after the first.
        const long after = doc->Content().GetFields().All().front().End();
        app.GetSelection().SetRange(after, after);
    }
    designer->HandleCmd(qzCmdItemOpenField);
    ASSERT_TRUE(host.errorTexts.empty()) << host.errorTexts[0];
    doc->Save();

    production::Production p;
    p.TemplateFile(home.root() + "/Shop.rtf");
    p.OutputFile(home.root() + "/out.rtf");
    gbScriptErrorOccurred = false;
    p.Execute();
    EXPECT_FALSE(gbScriptErrorOccurred);
    word::Document& produced = app.GetDocuments().Open(home.root() + "/out.rtf");
    EXPECT_EQ(produced.Content().Text(), "Dear " + text + "\xC2\xA7!");
}

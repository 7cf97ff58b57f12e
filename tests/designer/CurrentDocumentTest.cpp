// The routines on the active document.
#include "DesignerTestSupport.h"

#include "core/WinDirs.h"
#include "designer/ModMsWordCurrentDocument.h"

using namespace qz;
using namespace qz::designer;
using namespace qz::designer::testing;

namespace {
class CurrentDocument : public DesignerDocument {
protected:
    ModMsWordCurrentDocument current{app};
};
} // namespace

TEST_F(CurrentDocument, NewDocumentLivesInThePersonalFolderAndIsNotSaved) {
    EXPECT_EQ(current.GetActiveDocumentName(), "Document1");
    EXPECT_EQ(current.CurrentDocumentPath(), WinDirs::GetPersonalPath());
    EXPECT_FALSE(current.IsActiveDocumentSaved());
    EXPECT_FALSE(current.IsActiveDocumentReadOnly());
    word::Application none;
    ModMsWordCurrentDocument noDoc(none);
    EXPECT_EQ(ErrorNumberOf([&] { noDoc.GetActiveDocumentName(); }), word::kErrNoDocumentOpen);
}

TEST_F(CurrentDocument, VersionPropertyIsAddedOnceMatchedExactlyAndSaved) {
    EXPECT_EQ(current.RetrieveCustomDocumentProperty(), "");
    doc->CustomDocumentProperties().Add("qzversion", false, "1.0.0", 4);
    EXPECT_FALSE(current.PropertyExist("QzVersion"));
    EXPECT_EQ(current.RetrieveCustomDocumentProperty(), "");
    doc->SetSaved(true);
    current.UpdateCustomDocumentProperty("8.2.1");
    current.UpdateCustomDocumentProperty("8.2.2");
    int count = 0;
    for (const auto& p : doc->CustomDocumentProperties()) count += p.Name == "QzVersion";
    EXPECT_EQ(count, 1);
    EXPECT_EQ(current.RetrieveCustomDocumentProperty(), "8.2.2");
    EXPECT_EQ(doc->CustomDocumentProperties().Item(std::string("QzVersion")).Type, 4);
    EXPECT_FALSE(doc->Saved());

    auto dir = TempDir("props");
    std::string file = (dir / "Report.rtf").string();
    current.SaveCurrentDocument(1, file);
    EXPECT_EQ(current.GetActiveDocumentName(), "Report.rtf");
    EXPECT_TRUE(current.IsActiveDocumentSaved());
    doc->Close();
    app.GetDocuments().Open(file);
    EXPECT_EQ(current.RetrieveCustomDocumentProperty(), "8.2.2");
    EXPECT_TRUE(app.ActiveDocument().Saved());
    EXPECT_EQ(current.CurrentDocumentPath(), dir.string());
    std::filesystem::remove_all(dir);
}

TEST_F(CurrentDocument, ModifyKeepsTextAndSelectionAndMarksUnsaved) {
    sel().TypeText("Hello");
    for (auto [s, e] : {std::pair<long, long>{1, 3}, {0, 2}, {5, 5}, {0, 0}}) {
        doc->SetSaved(true);
        sel().SetRange(s, e);
        current.ModifyCurrentDocument();
        EXPECT_EQ(text(), "Hello");
        EXPECT_EQ(sel().Start(), s);
        EXPECT_EQ(sel().End(), e);
        EXPECT_FALSE(doc->Saved());
    }
}

TEST_F(CurrentDocument, SaveModesAndErrors) {
    auto dir = TempDir("save");
    sel().TypeText("x");
    current.SaveCurrentDocument(3, (dir / "never.rtf").string());
    EXPECT_FALSE(std::filesystem::exists(dir / "never.rtf"));
    EXPECT_EQ(ErrorNumberOf([&] { current.SaveCurrentDocument(2, ""); }), word::kErrBadFileName);
    current.SaveCurrentDocument(1, (dir / "a.rtf").string());
    sel().TypeText("y");
    current.SaveCurrentDocument(2, "ignored");
    EXPECT_TRUE(doc->Saved());
    word::Application other;
    EXPECT_EQ(other.GetDocuments().Open((dir / "a.rtf").string()).Content().Text(), "xy");
    std::filesystem::remove_all(dir);
}

TEST_F(CurrentDocument, AlreadyOpenComparesTheFileNotTheSpelling) {
    auto dir = TempDir("open");
    std::string file = (dir / "T.rtf").string();
    current.SaveCurrentDocument(1, file);
    std::filesystem::create_symlink(file, dir / "link.rtf");
    EXPECT_TRUE(current.DocumentAlreadyOpen(file));
    EXPECT_TRUE(current.DocumentAlreadyOpen((dir / "." / "T.rtf").string()));
    EXPECT_TRUE(current.DocumentAlreadyOpen((dir / "link.rtf").string()));
    auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    EXPECT_TRUE(current.DocumentAlreadyOpen("T.rtf"));
    std::filesystem::current_path(cwd);
    EXPECT_FALSE(current.DocumentAlreadyOpen((dir / "t.rtf").string()));
    EXPECT_FALSE(current.DocumentAlreadyOpen((dir / "Other.rtf").string()));
    std::filesystem::remove_all(dir);
}

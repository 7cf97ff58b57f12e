// The studio's main window: the word processor in which templates are
// designed. One tab per open document of the word model; the word processor's
// own menus (File, Edit, View, Format, Window, Help); and the add-in's menus
// and toolbars as the command-bar model holds them, shown as real Qt menus and
// toolbars. A click on an add-in item reaches the designer as the command id
// its macro names. The window keeps its tabs in step with the model's
// documents after everything that may open, close or switch one, and tells
// the designer when the active document changed.
#pragma once

#include "platform/word/Application.h"

#include <QMainWindow>

#include <functional>
#include <map>
#include <string>
#include <vector>

class QMenu;
class QTabWidget;
class QToolBar;
class QAction;

namespace qz::views {

class DocumentView;
class FindReplaceDialog;
class FormatBar;

class StudioWindow : public QMainWindow {
    Q_OBJECT
public:
    // The command id of an add-in macro name (0 when unknown), and the
    // designer's command entry.
    using MacroToCommand = std::function<int(const std::string&)>;
    using CommandHandler = std::function<void(int)>;

    StudioWindow(word::Application& app, MacroToCommand macroToCommand, CommandHandler handleCmd,
                 QWidget* parent = nullptr);
    ~StudioWindow() override;

    // Opens an RTF file as a new document (or shows it when it is open);
    // false, with a message, when it cannot be read.
    bool openFile(const QString& path);
    // Sends a command to the designer, then brings the window in step with
    // the model (documents, menus, toolbars, the active view).
    void runCommand(int id);
    // The view of the active document, nullptr when none is open.
    DocumentView* activeView() const;
    // Brings tabs, menus and toolbars in step with the model.
    void sync();
    // Saves the active document (asking for a name when it has none); false
    // when it was not saved.
    bool saveActive(bool askName);
    // Closes a document, asking first when it has unsaved changes; false
    // when the user kept it.
    bool closeDocument(word::Document& doc);

    // File > Recent Files: opens one; a file that is gone is said to be
    // gone and taken off the list (false).
    bool openRecent(const QString& path);
    // File > Print (the print dialog, then the document's pages through
    // the printer layer) and Print Preview.
    void printActive();
    void printPreview();
    // The find and replace window of the documents (made at first use).
    FindReplaceDialog* findDialog();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildMenus();
    // The formatting toolbar, on the active document's view.
    void buildFormatBar();
    // File > Page Setup: paper, orientation and margins of the section the
    // cursor is in; one undo step.
    void pageSetup();
    void updateFormatBar();
    // Insert (table, picture, page break) and Table (rows, columns, merge,
    // shading, borders), on the active document's selection.
    void buildInsertAndTableMenus(QMenu* insert, QMenu* table);
    // Insert > Table: the rows and columns asked for.
    void insertTable();
    // Insert > Picture: a PNG or JPEG file embedded at the cursor.
    void insertPicture();
    // View > Header and Footer: the first section's header and footer
    // edited in views of their own, the header's or the footer's first.
    void editHeaderFooter(bool header);
    void fillRecentMenu();
    void rebuildAddinBars();
    void fillMenu(QMenu* menu, word::CommandBarControls& controls);
    QAction* actionFor(word::CommandBarControl& c, QObject* owner);
    void activeChanged();
    // A document's name on its tab and in the title: its window's caption or
    // its name; one that another open document shares also names its folder
    // (or is numbered), so that no two tabs read alike.
    QString documentLabel(const word::Document& d) const;
    void message(const QString& text);

    word::Application& app_;
    MacroToCommand macroToCommand_;
    CommandHandler handleCmd_;
    QTabWidget* tabs_ = nullptr;
    std::vector<QMenu*> hostMenus_;      // File, Edit, View, Insert, Format, Table, Window, Help
    std::vector<QMenu*> addinMenus_;     // menus built from the command-bar model
    std::vector<QToolBar*> addinBars_;
    std::vector<QAction*> documentActions_; // commands on the active document: greyed with none open
    QMenu* windowMenu_ = nullptr;
    QAction* fieldCodes_ = nullptr;
    FormatBar* formatBar_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    FindReplaceDialog* find_ = nullptr;
    word::Document* lastActive_ = nullptr;
    bool syncing_ = false;
    // The file each document (by its full name) was last printed to.
    std::map<std::string, std::string> printedTo_;
};

} // namespace qz::views

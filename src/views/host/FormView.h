// The window of one form. A FormView binds widgets to the control models of a
// ui::Form: every user event first copies what the widgets show into the
// models (pull), then runs the form's handler, then copies the models back
// into the widgets (push), so the form's logic sees and sets plain control
// state and never a widget. When a handler hides the form, the window closes.
//
// Beyond the main event of each binder, every bound widget forwards focus
// (Form::SetFocusTo: Validate may keep the focus where it was), keys
// (KeyDown, KeyPress; a code set to 0 consumes the key, another character
// replaces it) and mouse moves and releases to the control's hooks, when the
// control has them.
//
// A view of a form derives from FormView, builds its widgets with the bind
// functions and lays them out with Qt layouts; its newView (views/FormViews.h)
// is registered by form name so that the Qt host finds it when the form is
// shown.
#pragma once

#include "platform/ui/Bars.h"
#include "platform/ui/Controls.h"
#include "platform/ui/DataGrid.h"
#include "platform/ui/Form.h"
#include "platform/ui/ListView.h"
#include "platform/ui/TreeView.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTabBar;
class QToolBar;
class QTreeView;
class QTreeWidget;
class QVariant;

namespace qz::views {

using Handler = std::function<void()>;

class FormView : public QDialog {
    Q_OBJECT
public:
    explicit FormView(ui::Form& form, QWidget* parent = nullptr);
    ~FormView() override;

    ui::Form& form() const { return form_; }

    // Runs a handler of the form as a user event: pull, handler, push; the
    // window closes when the form is no longer visible afterwards. Errors
    // that reach here are the form's own to report; they never leave a
    // Qt event handler.
    void run(const Handler& handler);
    // Copies widget state into the control models, and back.
    void pull();
    void push();

    // The form is gone: the view no longer reads or writes its controls,
    // and a handler still asked for does nothing.
    void forgetForm();
    // The window is about to go while its form lives on: the form's tree
    // models stop pointing at it and the window reads no control again, so
    // that a deferred deletion that runs after the form is destroyed touches
    // nothing of the form. Called while the form's controls still exist.
    void releaseForm();

    // The widget of a control, nullptr when the control is not bound.
    QWidget* widgetOf(const ui::Control& control) const;
    // The controls bound to a widget, in the order they were bound.
    std::vector<const ui::Control*> boundControls() const;

protected:
    // Binders. Each makes the widget, remembers the pair, and wires the
    // widget's user event to the handler (through run). The widget takes the
    // control's name as its object name, so tests find it by the form's name.
    QLabel* bind(ui::Label& c);
    QGroupBox* bind(ui::Frame& c);
    QPushButton* bind(ui::CommandButton& c, Handler click);
    // A single-line box is a QLineEdit, a multi-line one a QPlainTextEdit.
    QWidget* bind(ui::TextBox& c, Handler change = {});
    // A label, or a single-line box the user does not type in, whose text is
    // shown shortened with an ellipsis (Qt::ElideMiddle for paths) to the
    // width the layout gives the widget, again whenever it is resized; the
    // whole text is then the tooltip. The control keeps the whole text.
    QLabel* bindElided(ui::Label& c, Qt::TextElideMode mode);
    QLineEdit* bindElided(ui::TextBox& c, Qt::TextElideMode mode);
    QCheckBox* bind(ui::CheckBox& c, Handler click = {});
    QRadioButton* bind(ui::OptionButton& c, Handler click = {});
    QComboBox* bind(ui::ComboBox& c, Handler click = {});
    QListWidget* bindList(ui::ListBox& c, Handler click = {}, Handler doubleClick = {});
    QTabBar* bind(ui::TabStrip& c, Handler click = {});
    // A tree: nodes keyed as in the model, expansion, selection (NodeClick on
    // a click or a keyboard move) and label editing wired back; the model's
    // node rectangles and hit tests are answered from the widget while bound.
    // The view's rows are made as they are shown; picture gives a node's
    // picture (a QIcon in a QVariant, or none).
    using NodePicture = std::function<QVariant(const ui::Node&)>;
    QTreeView* bind(ui::TreeView& c, Handler nodeClick = {}, Handler dblClick = {}, NodePicture picture = {});
    // A list in report view. A header click runs columnClick with the column
    // (from 0), or sorts by it (ListView::SortByColumn) when none is given.
    using ItemHandler = std::function<void(ui::ListItem&)>;
    QTreeWidget* bind(ui::ListView& c, ItemHandler itemCheck = {}, ItemHandler itemClick = {},
                      std::function<void(int column)> columnClick = {}, Handler dblClick = {});
    // A read-only grid; the child tables of a chapter column hang under
    // their row as "name" items with a header row and the child rows.
    QTreeWidget* bind(ui::DataGrid& c);
    QStatusBar* bind(ui::StatusBar& c);
    // One action per button (object name = key); a click passes the key.
    QToolBar* bind(ui::Toolbar& c, std::function<void(const std::string& key)> buttonClick);

    bool eventFilter(QObject* watched, QEvent* event) override;

    // Escape and the close box: the form's Cancel button when it has one,
    // else the form's OnClose.
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct Binding {
        ui::Control* control;
        QWidget* widget;
        std::function<void()> pull;  // widget -> model
        std::function<void()> push;  // model -> widget
        std::function<void()> fit;   // shortens the shown text to the widget's width
    };
    Binding& add(ui::Control& c, QWidget* w);
    void linkLabels();
    void closeIfHidden();
    Binding* bindingOf(QObject* watched);
    bool focusIn(Binding& b, bool byTab);
    bool keyPress(Binding& b, QObject* watched, QEvent* event);
    bool mouse(Binding& b, QObject* watched, QEvent* event);

    ui::Form& form_;
    std::vector<Binding> bindings_;
    std::vector<std::unique_ptr<ui::TreeView::Geometry>> geometries_;
    bool pushing_ = false;  // signals raised while pushing are not user events
    bool closing_ = false;
    bool gone_ = false;     // the form was destroyed before the view
    bool forwarding_ = false;  // a key event this view sends itself
};

} // namespace qz::views

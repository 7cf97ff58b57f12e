// The window of one form. A FormView binds widgets to the control models of a
// ui::Form: every user event first copies what the widgets show into the
// models (pull), then runs the form's handler, then copies the models back
// into the widgets (push), so the form's logic sees and sets plain control
// state and never a widget. When a handler hides the form, the window closes.
//
// A view of a form derives from FormView, builds its widgets with the bind
// functions, lays them out with Qt layouts, and registers itself by form name
// (QZ_REGISTER_VIEW) so that the Qt host finds it when the form is shown.
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

#include <QDialog>

#include <functional>
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
class QTabBar;

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

    // The widget of a control, nullptr when the control is not bound.
    QWidget* widgetOf(const ui::Control& control) const;

protected:
    // Binders. Each makes the widget, remembers the pair, and wires the
    // widget's user event to the handler (through run). The widget takes the
    // control's name as its object name, so tests find it by the form's name.
    QLabel* bind(ui::Label& c);
    QGroupBox* bind(ui::Frame& c);
    QPushButton* bind(ui::CommandButton& c, Handler click);
    // A single-line box is a QLineEdit, a multi-line one a QPlainTextEdit.
    QWidget* bind(ui::TextBox& c, Handler change = {});
    QCheckBox* bind(ui::CheckBox& c, Handler click = {});
    QRadioButton* bind(ui::OptionButton& c, Handler click = {});
    QComboBox* bind(ui::ComboBox& c, Handler click = {});
    QListWidget* bindList(ui::ListBox& c, Handler click = {}, Handler doubleClick = {});
    QTabBar* bind(ui::TabStrip& c, Handler click = {});

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
    };
    Binding& add(ui::Control& c, QWidget* w);
    void closeIfHidden();

    ui::Form& form_;
    std::vector<Binding> bindings_;
    bool pushing_ = false;  // signals raised while pushing are not user events
    bool closing_ = false;
};

} // namespace qz::views

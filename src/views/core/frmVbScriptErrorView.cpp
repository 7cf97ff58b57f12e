// The script-error dialog: the location and the error in two framed groups of
// labelled, read-only boxes on the button-face background; OK under them at
// the error frame's right edge.
#include "core/forms/frmVbScriptError.h"
#include "views/FormViews.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace qz::views {

class frmVbScriptErrorView : public FormView {
public:
    frmVbScriptErrorView(frmVbScriptError& f, QWidget* parent) : FormView(f, parent) {
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(group(f.fraQzField, {{&f.lblQzFieldName, &f.txtQzFieldName},
                                               {&f.lblQzLineNumber, &f.txtQzFieldLineNumber},
                                               {&f.lblQzVbscriptCode, &f.txtQzFieldCode}}));
        layout->addWidget(group(f.fraError, {{&f.lblErrorNumber, &f.txtErrorNumber},
                                             {&f.lblErrorSource, &f.txtErrorSource},
                                             {&f.lblErrorDescription, &f.txtErrorDescription}}));
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(bind(f.cmdHelp, {}));
        buttons->addStretch();
        buttons->addWidget(bind(f.cmdOk, [&f] { f.cmdOk_Click(); }));
        layout->addLayout(buttons);
        resize(460, 440);
    }

protected:
    void showEvent(QShowEvent* event) override {
        FormView::showEvent(event);  // the captions and texts are in the widgets now
        applyColours();
        // The boxes of both frames start at one column.
        int labelWidth = 0;
        for (QLabel* l : labels_) labelWidth = std::max(labelWidth, l->sizeHint().width());
        for (QGridLayout* g : grids_) g->setColumnMinimumWidth(0, labelWidth);
    }

    // A click that brings the focus places the caret after the box has
    // selected its text on focus; the selection is shown again once the
    // click is through.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn &&
            static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason) {
            for (auto& [box, widget] : boxes_)
                if (widget == watched) QMetaObject::invokeMethod(this, [this] { push(); }, Qt::QueuedConnection);
        }
        return FormView::eventFilter(watched, event);
    }

private:
    struct Row {
        ui::Label* label;
        ui::TextBox* box;
    };

    QGroupBox* group(ui::Frame& frame, std::initializer_list<Row> rows) {
        QGroupBox* g = bind(frame);
        auto* grid = new QGridLayout(g);
        grids_.push_back(grid);
        int r = 0;
        for (const Row& row : rows) {
            QLabel* label = bind(*row.label);
            label->setWordWrap(false);
            labels_.push_back(label);
            QWidget* box = bind(*row.box);
            box->installEventFilter(this);
            if (auto* multi = qobject_cast<QPlainTextEdit*>(box)) {
                multi->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
                grid->setRowStretch(r, 1);
                grid->addWidget(label, r, 0, Qt::AlignTop);
            } else {
                grid->addWidget(label, r, 0);
            }
            grid->addWidget(box, r, 1);
            boxes_.push_back({row.box, box});
            ++r;
        }
        return g;
    }

    // Colours as the form keeps them: 0x00BBGGRR, or a system colour
    // (0x80000000 + its index) taken from the desktop's palette.
    QColor colour(std::int32_t c, QPalette::ColorRole fallback) const {
        const auto u = static_cast<std::uint32_t>(c);
        if (u & 0x80000000u) {
            switch (u & 0xFFu) {
            case 0x0F: return palette().color(QPalette::Button);
            case 0x05: return palette().color(QPalette::Base);
            case 0x08: return palette().color(QPalette::Text);
            default: return palette().color(fallback);
            }
        }
        return QColor(u & 0xFF, (u >> 8) & 0xFF, (u >> 16) & 0xFF);
    }

    void applyColours() {
        for (auto& [box, widget] : boxes_) {
            QPalette p = widget->palette();
            p.setColor(QPalette::Base, colour(box->BackColor, QPalette::Base));
            p.setColor(QPalette::Text, colour(box->ForeColor, QPalette::Text));
            widget->setPalette(p);
        }
    }

    std::vector<std::pair<ui::TextBox*, QWidget*>> boxes_;
    std::vector<QGridLayout*> grids_;
    std::vector<QLabel*> labels_;
};

FormView* newView(frmVbScriptError& form, QWidget* parent) { return new frmVbScriptErrorView(form, parent); }

} // namespace qz::views

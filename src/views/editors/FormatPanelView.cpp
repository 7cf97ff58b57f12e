#include "views/editors/FormatPanelView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

#include <utility>

namespace qz::views {

QGroupBox* FormatPanelView::bindStringFrame(editors::FormatPanel::StringFrame& s, Handler toggle) {
    QGroupBox* g = bind(s.fra);
    auto* grid = new QGridLayout(g);
    grid->addWidget(bind(s.chkOverride, std::move(toggle)), 0, 0, 1, 2);
    grid->addWidget(bind(s.lblMaxLength), 1, 0);
    grid->addWidget(bind(s.txtMaxLength), 1, 1);
    grid->addWidget(bind(s.chkBlankProtect), 2, 0, 1, 2);
    grid->setRowStretch(3, 1);
    return g;
}

QGroupBox* FormatPanelView::bindNumberFrame(editors::FormatPanel::NumberFrame& n, Handler toggle) {
    QGroupBox* g = bind(n.fra);
    auto* grid = new QGridLayout(g);
    grid->addWidget(bind(n.chkOverride, std::move(toggle)), 0, 0, 1, 2);
    const std::pair<ui::Label*, ui::ComboBox*> rows[4] = {{&n.lblNumberOfDigits, &n.cboNumberOfDigits},
                                                          {&n.lblIncludeLeading, &n.cboIncludeLeading},
                                                          {&n.lblUseParens, &n.cboUseParens},
                                                          {&n.lblGroupDigits, &n.cboGroupDigits}};
    for (int r = 0; r < 4; ++r) {
        // A caption on one line: the column takes its width, where a wrapped
        // caption got a second line in a row one line high and showed cut.
        QLabel* label = bind(*rows[r].first);
        label->setWordWrap(false);
        grid->addWidget(label, r + 1, 0);
        grid->addWidget(bind(*rows[r].second), r + 1, 1);
    }
    grid->addWidget(bind(n.chkBlankProtect), 5, 0, 1, 2);
    grid->setRowStretch(6, 1);
    return g;
}

} // namespace qz::views

// The waiting window: its one message, centred, in a small window without
// buttons.
#include "designer/forms/frmWaiting.h"
#include "views/FormViews.h"

#include <QLabel>
#include <QVBoxLayout>

#include <memory>

namespace qz::views {

class frmWaitingView : public FormView {
public:
    frmWaitingView(designer::frmWaiting& f, QWidget* parent) : FormView(f, parent) {
        QLabel* message = bind(f.lblWaiting);
        message->setAlignment(Qt::AlignCenter);
        message->setWordWrap(true);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(message);
        setMinimumWidth(300);
        resize(300, 80);
    }
};

FormView* newView(designer::frmWaiting& form, QWidget* parent) { return new frmWaitingView(form, parent); }

} // namespace qz::views

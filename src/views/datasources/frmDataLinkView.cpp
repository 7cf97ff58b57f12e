// The data-sources window: the toolbar over the tree of connections and
// commands, Help and Close under it. The tree's right click and keys go to
// the form, which opens its popup menus at the point of the tree.
#include "datasources/forms/frmDataLink.h"
#include "views/FormViews.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QLabel>
#include <QPushButton>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace qz::views {

using datasources::frmDataLink;

class frmDataLinkView : public FormView {
public:
    frmDataLinkView(frmDataLink& f, QWidget* parent) : FormView(f, parent), f_(f) {
        auto* layout = new QVBoxLayout(this);
        QToolBar* bar = bind(f.tlbDataLink, [&f](const std::string& key) { f.tlbDataLink_ButtonClick(key); });
        bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
        layout->addWidget(bar);
        // Pictures by kind: the data sources, a connection, a command. One
        // picture of each kind serves every node (a file may hold a hundred
        // thousand connections), given as a row is shown.
        pictures_[0] = style()->standardIcon(QStyle::SP_ComputerIcon);
        pictures_[1] = style()->standardIcon(QStyle::SP_DriveHDIcon);
        pictures_[2] = style()->standardIcon(QStyle::SP_FileIcon);
        tree_ = bind(
            f.trvDataLink, [&f] { f.trvDataLink_NodeClick(); }, [&f] { f.trvDataLink_DblClick(); },
            [this](const ui::Node& node) { return QVariant(pictures_[std::min(node.Depth(), 2)]); });
        layout->addWidget(tree_, 1);
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(bind(f.cmdHelp, [&f] { f.cmdHelp_Click(); }));
        buttons->addStretch();
        buttons->addWidget(bind(f.cmdClose, [&f] { f.cmdClose_Click(); }));
        layout->addLayout(buttons);
        resize(460, 420);
    }

protected:
    // The form places its popup menus in window pixels.
    void resizeEvent(QResizeEvent* event) override {
        FormView::resizeEvent(event);
        f_.TreeLeft = tree_->x();
        f_.TreeTop = tree_->y();
    }

private:
    frmDataLink& f_;
    QTreeView* tree_ = nullptr;
    QIcon pictures_[3];
};

FormView* newView(frmDataLink& form, QWidget* parent) { return new frmDataLinkView(form, parent); }

} // namespace qz::views

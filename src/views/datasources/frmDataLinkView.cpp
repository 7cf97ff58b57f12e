// The data-sources window: the toolbar over the tree of connections and
// commands, Help and Close under it. The tree's right click and keys go to
// the form, which opens its popup menus at the point of the tree.
#include "datasources/forms/frmDataLink.h"
#include "views/host/ViewRegistry.h"

#include <QAbstractItemModel>
#include <QHBoxLayout>
#include <QStyle>
#include <QLabel>
#include <QPushButton>
#include <QToolBar>
#include <QTreeWidget>
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
        tree_ = bind(f.trvDataLink, [&f] { f.trvDataLink_NodeClick(); }, [&f] { f.trvDataLink_DblClick(); });
        layout->addWidget(tree_, 1);
        // Pictures by kind, as the tree's nodes are made: the data sources,
        // a connection, a command. One picture of each kind serves every
        // node (a file may hold thousands of connections).
        pictures_[0] = style()->standardIcon(QStyle::SP_ComputerIcon);
        pictures_[1] = style()->standardIcon(QStyle::SP_DriveHDIcon);
        pictures_[2] = style()->standardIcon(QStyle::SP_FileIcon);
        connect(tree_->model(), &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex& parent, int first, int last) {
                    int depth = 0;
                    for (QModelIndex p = parent; p.isValid(); p = p.parent()) ++depth;
                    const QIcon& picture = pictures_[std::min(depth, 2)];
                    for (int row = first; row <= last; ++row)
                        tree_->model()->setData(tree_->model()->index(row, 0, parent), picture, Qt::DecorationRole);
                });
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
    QTreeWidget* tree_ = nullptr;
    QIcon pictures_[3];
};

QZ_REGISTER_VIEW("frmDataLink", frmDataLink, frmDataLinkView)

} // namespace qz::views

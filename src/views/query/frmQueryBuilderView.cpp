// The query builder: the command name and the rows-to-select choice on top,
// the five tabs with one page each below, Ok, Cancel and Help at the bottom
// right. The conditions page is a grid of six rows (field, operator, and the
// parameter box or the TRUE/FALSE list in one place); the SQL page splits its
// height between the text and the preview grid.
#include "query/forms/frmQueryBuilder.h"
#include "views/FormViews.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>

namespace qz::views {

using query::frmQueryBuilder;

class frmQueryBuilderView : public FormView {
public:
    frmQueryBuilderView(frmQueryBuilder& f, QWidget* parent) : FormView(f, parent) {
        auto* layout = new QVBoxLayout(this);
        auto* top = new QHBoxLayout;
        QLabel* nameLabel = bind(f.lblCommandName);
        QWidget* nameBox = bind(f.txtCommandName);
        nameLabel->setBuddy(nameBox);
        top->addWidget(nameLabel);
        top->addWidget(nameBox, 1);
        top->addSpacing(12);
        top->addWidget(bind(f.lblRowsToSelect));
        top->addWidget(bind(f.cboRowsToSelect, [&f] { f.cboRowsToSelect_Click(); }));
        layout->addLayout(top);

        QTabBar* tabs = bind(f.tabQueryBuilder, [&f] { f.tabQueryBuilder_Click(); });
        auto* pages = new QStackedWidget(this);
        pages->addWidget(TablesPage(f));
        pages->addWidget(RelationshipsPage(f));
        pages->addWidget(FieldsPage(f));
        pages->addWidget(ConditionsPage(f));
        pages->addWidget(SqlPage(f));
        connect(tabs, &QTabBar::currentChanged, pages, &QStackedWidget::setCurrentIndex);
        layout->addWidget(tabs);
        layout->addWidget(pages, 1);

        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(bind(f.cmdOk, [&f] { f.cmdOk_Click(); }));
        buttons->addWidget(bind(f.cmdCancel, [&f] { f.cmdCancel_Click(); }));
        buttons->addWidget(bind(f.cmdHelp, [&f] { f.cmdHelp_Click(); }));
        layout->addLayout(buttons);
        setMinimumSize(558, 406);
        resize(760, 520);
    }

private:
    static void Sortable(QTreeWidget* list) { list->setRootIsDecorated(false); }

    QWidget* TablesPage(frmQueryBuilder& f) {
        auto* page = new QWidget;
        auto* row = new QHBoxLayout(page);
        QGroupBox* tables = bind(f.fraSelectedTable);
        auto* inTables = new QVBoxLayout(tables);
        QTreeWidget* list = bind(f.lsvTables, [&f](ui::ListItem& item) { f.lsvTables_ItemCheck(item); });
        Sortable(list);
        inTables->addWidget(list);
        row->addWidget(tables, 1);
        QGroupBox* display = bind(f.fraDisplay);
        auto* inDisplay = new QVBoxLayout(display);
        for (int i = 0; i < 4; ++i)
            inDisplay->addWidget(bind(f.chkTablesToDisplay[i], [&f, i] { f.chkTablesToDisplay_Click(i); }));
        inDisplay->addStretch();
        row->addWidget(display);
        return page;
    }

    QWidget* RelationshipsPage(frmQueryBuilder& f) {
        auto* page = new QWidget;
        auto* v = new QVBoxLayout(page);
        QGroupBox* frame = bind(f.fraRelationShips);
        auto* inFrame = new QVBoxLayout(frame);
        QTreeWidget* list = bind(
            f.lsvForeignKeys, {},
            [&f](ui::ListItem& item) {
                f.lsvForeignKeys.Select(&item);
                f.lsvForeignKeys_Click();
            },
            {}, [&f] { f.cmdEditForeignKey_Click(); });
        Sortable(list);
        inFrame->addWidget(list, 1);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(bind(f.cmdAddForeignKey, [&f] { f.cmdAddForeignKey_Click(); }));
        buttons->addWidget(bind(f.cmdEditForeignKey, [&f] { f.cmdEditForeignKey_Click(); }));
        buttons->addWidget(bind(f.cmdRemoveForeignKey, [&f] { f.cmdRemoveForeignKey_Click(); }));
        inFrame->addLayout(buttons);
        v->addWidget(frame);
        return page;
    }

    QWidget* FieldsPage(frmQueryBuilder& f) {
        auto* page = new QWidget;
        auto* row = new QHBoxLayout(page);
        QGroupBox* fields = bind(f.fraSelectedFields);
        auto* inFields = new QVBoxLayout(fields);
        QTreeWidget* list = bind(f.lsvColumns, [&f](ui::ListItem& item) { f.lsvColumns_ItemCheck(item); },
                                 [&f](ui::ListItem& item) { f.lsvColumns_ItemClick(item); });
        Sortable(list);
        inFields->addWidget(list);
        row->addWidget(fields, 1);
        QGroupBox* sort = bind(f.fraSort);
        auto* grid = new QGridLayout(sort);
        grid->addWidget(bind(f.lblSortColumnName), 0, 0);
        grid->addWidget(bind(f.txtSortColumnName, [&f] { f.txtSortColumnName_Change(); }), 1, 0);
        grid->addWidget(bind(f.lblSortType), 2, 0);
        grid->addWidget(bind(f.cboSortType, [&f] { f.cboSortType_Click(); }), 3, 0);
        grid->addWidget(bind(f.lblSortPriority), 4, 0);
        grid->addWidget(bind(f.cboSortPriority, [&f] { f.cboSortPriority_Click(); }), 5, 0);
        grid->setRowStretch(6, 1);
        row->addWidget(sort);
        return page;
    }

    QWidget* ConditionsPage(frmQueryBuilder& f) {
        auto* page = new QWidget;
        auto* v = new QVBoxLayout(page);
        auto* match = new QHBoxLayout;
        match->addWidget(bind(f.lblMatch));
        match->addWidget(bind(f.cboSearchType, [&f] { f.cboSearchType_Click(); }));
        QLabel* end = bind(f.lblMatchEnd);
        end->setWordWrap(false);
        match->addWidget(end);
        match->addStretch();
        v->addLayout(match);
        auto* grid = new QGridLayout;
        grid->addWidget(bind(f.lblConditionField), 0, 0);
        grid->addWidget(bind(f.lblConditionOperator), 0, 1);
        grid->addWidget(bind(f.lblConditionParameter), 0, 2);
        for (int i = 0; i < 6; ++i) {
            grid->addWidget(bind(f.cboConditionField[i], [&f, i] { f.cboConditionField_Click(i); }), i + 1, 0);
            grid->addWidget(bind(f.cboConditionOperator[i], [&f, i] { f.cboConditionOperator_Click(i); }), i + 1, 1);
            grid->addWidget(bind(f.txtConditionParameter[i], [&f, i] { f.txtConditionParameter_Change(i); }), i + 1, 2);
            grid->addWidget(bind(f.cboConditionBooleanParameter[i], [&f, i] { f.cboConditionBooleanParameter_Click(i); }),
                            i + 1, 2);
        }
        grid->setColumnStretch(0, 3);
        grid->setColumnStretch(1, 2);
        grid->setColumnStretch(2, 3);
        v->addLayout(grid);
        v->addStretch();
        return page;
    }

    QWidget* SqlPage(frmQueryBuilder& f) {
        auto* page = new QWidget;
        auto* v = new QVBoxLayout(page);
        v->addWidget(bind(f.lblQuery));
        QWidget* text = bind(f.txtQuery, [&f] { f.txtQuery_Change(); });
        if (auto* edit = qobject_cast<QPlainTextEdit*>(text)) edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        v->addWidget(text, 1);
        v->addWidget(bind(f.msfgrdCommand), 1);
        auto* below = new QHBoxLayout;
        below->addWidget(bind(f.cmdExecute, [&f] { f.cmdExecute_Click(); }));
        below->addWidget(bind(f.lblNumberOfRows));
        below->addStretch();
        v->addLayout(below);
        return page;
    }
};

FormView* newView(frmQueryBuilder& form, QWidget* parent) { return new frmQueryBuilderView(form, parent); }

} // namespace qz::views

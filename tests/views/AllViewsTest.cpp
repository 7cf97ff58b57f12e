// Every window that has a sample, checked the same way: each control of its
// form has a widget of the control's name and every widget shows a registered
// control, the default button is the window's default, and a label's access
// key leads to a control.
#include "query/forms/frmQueryBuilder.h"
#include "views/host/ViewRegistry.h"
#include "views/samples/Samples.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <set>

using namespace qz;

namespace {

// The accelerator letter of a caption ("&Open" gives 'o'), 0 when none.
char accelerator(const std::string& caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return static_cast<char>(std::tolower(static_cast<unsigned char>(caption[i + 1])));
    }
    return 0;
}

std::string captionOf(ui::Control* c) {
    if (auto* b = dynamic_cast<ui::CommandButton*>(c)) return b->Caption;
    if (auto* l = dynamic_cast<ui::Label*>(c)) return l->Caption;
    if (auto* f = dynamic_cast<ui::Frame*>(c)) return f->Caption;
    if (auto* k = dynamic_cast<ui::CheckBox*>(c)) return k->Caption;
    if (auto* o = dynamic_cast<ui::OptionButton*>(c)) return o->Caption;
    return {};
}

} // namespace

TEST(AllViews, EveryControlIsBoundAndLabelsLeadToTheirControls) {
    const std::vector<std::string> names = views::registeredSamples();
    ASSERT_GE(names.size(), 5u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        std::unique_ptr<ui::Form> form = views::makeSample(name);
        std::unique_ptr<views::FormView> view(views::createView(*form, nullptr));
        ASSERT_NE(view, nullptr);
        view->setAttribute(Qt::WA_DontShowOnScreen);
        view->show();
        std::set<std::string> seen;
        for (ui::Control* c : form->Controls()) {
            EXPECT_TRUE(seen.insert(c->Name).second) << c->Name << " is registered twice";
            QWidget* w = view->widgetOf(*c);
            EXPECT_NE(w, nullptr) << c->Name << " has no widget";
            if (!w) continue;
            EXPECT_EQ(w->objectName().toStdString(), c->Name);
            auto* button = dynamic_cast<ui::CommandButton*>(c);
            auto* qbutton = qobject_cast<QPushButton*>(w);
            if (button && button->Default && qbutton) {
                EXPECT_TRUE(qbutton->isDefault()) << c->Name;
            }
            // A label's access key moves the focus on: it needs a control to go to.
            if (dynamic_cast<ui::Label*>(c) && accelerator(captionOf(c))) {
                EXPECT_NE(qobject_cast<QLabel*>(w)->buddy(), nullptr) << c->Name;
            }
        }
        // A control the window shows is one the form registered: the tab
        // order and the walks over the form's controls reach it.
        const std::vector<ui::Control*>& registered = form->Controls();
        for (const ui::Control* c : view->boundControls())
            EXPECT_NE(std::find(registered.begin(), registered.end(), c), registered.end())
                << c->Name << " is shown but not registered";
    }
}

// The builder's sample opens the Access database of the tests wherever the
// build and the program run, so that its pictures show the database's tables
// (a path made from the source file's name failed under a compiler cache that
// rewrites it).
TEST(AllViews, TheQueryBuilderSamplesOpenTheirDatabase) {
    auto tables = views::makeSample("frmQueryBuilder");
    auto& builder = dynamic_cast<query::frmQueryBuilder&>(*tables);
    std::vector<std::string> checked;
    for (std::size_t i = 0; i < builder.lsvTables.Count(); ++i)
        if (builder.lsvTables.Item(i).Checked) checked.push_back(builder.lsvTables.Item(i).Text);
    EXPECT_EQ(checked, (std::vector<std::string>{"Customers", "Orders"}));
    tables->Unload();
}

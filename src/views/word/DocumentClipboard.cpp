#include "views/word/DocumentClipboard.h"

#include "platform/word/Application.h"
#include "platform/word/Range.h"
#include "platform/word/Table.h"
#include "views/host/Text.h"

#include <QMimeData>

namespace qz::views {

namespace {

constexpr const char* kAtomsMime = "application/x-quorvane-studio-atoms";

struct StudioClipboard {
    word::Application app;
    word::Document* doc = nullptr;
    QByteArray token; // marks the data of the last copy
    unsigned count = 0;
};

StudioClipboard& studioClipboard() {
    static StudioClipboard c;
    return c;
}

} // namespace

QMimeData* copySelection(word::Document& doc) {
    const word::Selection& sel = doc.GetSelection();
    std::string plain;
    for (char c : sel.Text()) {
        if (c == '\r') plain += '\n';
        else if (c != '\x13' && c != '\x15') plain += c;
    }
    auto* mime = new QMimeData;
    mime->setText(qs(plain));
    const word::Story& story = *sel.GetStory();
    // The studio's own copy is of whole fields and whole rows, what a paste can take.
    if (sel.Start() < sel.End() && word::HoldsWholeFields(story, sel.Start(), sel.End()) &&
        !word::SplitsTableRows(doc, story, sel.Start(), sel.End())) {
        StudioClipboard& c = studioClipboard();
        if (c.doc) c.app.GetDocuments().Close(*c.doc);
        c.doc = &c.app.GetDocuments().Add();
        const std::vector<word::Atom> atoms = word::TransferAtoms(doc, story, sel.Start(), sel.End(), *c.doc);
        c.doc->MainStory().insert(0, atoms.data(), atoms.size());
        c.token = QByteArray::number(++c.count);
        mime->setData(kAtomsMime, c.token);
    }
    return mime;
}

bool holdsStudioAtoms(const QMimeData& source) {
    const StudioClipboard& c = studioClipboard();
    return c.doc && source.hasFormat(kAtomsMime) && source.data(kAtomsMime) == c.token;
}

std::vector<word::Atom> studioAtoms(word::Document& into) {
    StudioClipboard& c = studioClipboard();
    if (!c.doc) return {};
    const word::Story& story = c.doc->MainStory();
    return word::TransferAtoms(*c.doc, story, 0, static_cast<long>(story.size()), into);
}

} // namespace qz::views

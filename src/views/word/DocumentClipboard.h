// The studio's clipboard. What the studio copied last is kept with its
// formats and fields in a document of its own, so that it outlives the
// document it came from and pastes into any other; other programs get the
// plain text.
#pragma once

#include "platform/word/Document.h"

#include <vector>

class QMimeData;

namespace qz::views {

// The selection of `doc` as clipboard data: its text (paragraph marks as line
// ends, without field characters), and its atoms when it holds whole fields.
QMimeData* copySelection(word::Document& doc);
// Whether the data is the studio's last copy, which pastes as atoms.
bool holdsStudioAtoms(const QMimeData& source);
// The atoms of the studio's last copy, made valid in `into`.
std::vector<word::Atom> studioAtoms(word::Document& into);

} // namespace qz::views

// The model's own consistency check: what every edit must leave true of the
// stories, the selection and the tables the atoms refer to.
#include "platform/word/Range.h"

namespace qz::word {

namespace {

std::string At(const char* what, std::size_t i) { return std::string(what) + " at " + std::to_string(i); }

} // namespace

std::string Document::CheckStory(const Story& story) const {
    int depth = 0;     // fields open
    int cells = 0;     // cell marks since the last row mark
    for (std::size_t i = 0; i < story.size(); ++i) {
        const Atom& a = story[i];
        if (a.fmt >= formats_.size()) return At("character format out of range", i);
        switch (a.Kind()) {
        case AtomKind::Char:
            if (a.value > 0x10FFFF) return At("character out of range", i);
            break;
        case AtomKind::Symbol: break;
        case AtomKind::FieldBegin:
            if (a.value >= fieldInfos_.size()) return At("field out of range", i);
            ++depth;
            break;
        case AtomKind::FieldEnd:
            if (--depth < 0) return At("field end without a begin", i);
            break;
        case AtomKind::Opaque:
            if (a.value >= opaques_.size()) return At("kept group out of range", i);
            break;
        case AtomKind::ParaEnd: {
            if (a.value >= paraEnds_.size()) return At("paragraph mark out of range", i);
            const ParaEndInfo& pe = paraEnds_[a.value];
            // A table's marks stand outside fields, and a row's cells end
            // with its row mark, no paragraph outside the table between.
            if (pe.word == "cell" || pe.word == "row") {
                if (depth > 0) return At("table mark inside a field", i);
                if (pe.word == "cell") ++cells;
                else if (cells == 0) return At("row mark that ends no cell", i);
                else cells = 0;
            } else if (cells > 0 && (pe.word == "sect" || (pe.word == "par" && pe.props.find("\\intbl") == std::string::npos))) {
                return At("paragraph outside the table inside a row", i);
            }
            break;
        }
        default: return At("atom of no kind", i);
        }
    }
    if (depth != 0) return "field not ended";
    if (cells != 0) return "row not ended";
    return {};
}

std::string Document::CheckModel() const {
    const Selection& sel = *selection_;
    bool known = sel.GetStory() == &main_;
    if (std::string f = CheckStory(main_); !f.empty()) return "main story: " + f;
    for (const auto& sec : sections_)
        for (const auto* list : {&sec->headers, &sec->footers})
            for (const HeaderFooter& hf : *list) {
                known = known || sel.GetStory() == &hf.story;
                if (std::string f = CheckStory(hf.story); !f.empty()) return "header or footer: " + f;
            }
    if (!known) return "selection in no story of the document";
    if (sel.Start() < 0 || sel.Start() > sel.End() || sel.End() > sel.StoryLength())
        return "selection [" + std::to_string(sel.Start()) + ", " + std::to_string(sel.End()) + ") outside its story of " +
               std::to_string(sel.StoryLength());
    if (mainLastFormat && *mainLastFormat >= formats_.size()) return "last mark's format out of range";
    if (defaultFormat_ >= formats_.size()) return "default format out of range";
    return {};
}

} // namespace qz::word

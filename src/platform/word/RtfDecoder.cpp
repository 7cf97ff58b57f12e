#include "platform/word/RtfDecoder.h"

#include "platform/word/Utf8.h"

#include <algorithm>
#include <array>

namespace qz::rtf {

bool IsDestinationWord(std::string_view w) {
    static constexpr std::string_view kWords[] = {
        "field", "fldinst", "fldrslt", "fonttbl", "colortbl", "stylesheet", "info", "pict",
        "object", "shp", "shpgrp", "shppict", "nonshppict", "footnote", "header", "headerl",
        "headerr", "headerf", "footer", "footerl", "footerr", "footerf", "listtable",
        "listoverridetable", "revtbl", "rsidtbl", "listtext", "pntext", "pn", "pnseclvl",
        "xe", "tc", "bkmkstart", "bkmkend", "annotation", "atnid", "atnauthor", "do",
        "userprops", "author", "operator", "title", "subject", "keywords", "comment",
        "doccomm", "company", "manager", "category", "creatim", "revtim", "printim",
        "buptim", "template", "falt", "panose", "txe", "private", "result", "objdata",
        "upr", "ud", "pgdsctbl", "generator", "xmlnstbl", "latentstyles", "datastore",
        "themedata", "colorschememapping", "filetbl", "mmathPr", "defchp", "defpap",
        "background", "sp", "sn", "sv", "nesttableprops", "nonesttables", "mmath", "mmathPara",
        "moMath", "moMathPara", "listname", "listpicture", "liststylename"};
    return std::find(std::begin(kWords), std::end(kWords), w) != std::end(kWords);
}

char32_t SpecialCharacter(std::string_view w) {
    struct Entry {
        std::string_view word;
        char32_t c;
    };
    static constexpr Entry kWords[] = {
        {"tab", U'\t'},       {"line", 0x0B},       {"page", 0x0C},       {"column", 0x0E},
        {"emdash", 0x2014},   {"endash", 0x2013},   {"emspace", 0x2003},  {"enspace", 0x2002},
        {"qmspace", 0x2005},  {"bullet", 0x2022},   {"lquote", 0x2018},   {"rquote", 0x2019},
        {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"zwj", 0x200D},    {"zwnj", 0x200C},
        {"ltrmark", 0x200E},  {"rtlmark", 0x200F},
    };
    for (const Entry& e : kWords)
        if (e.word == w) return e.c;
    return 0;
}

ByteCharset ByteCharset::OfCodePage(int codePage) {
    ByteCharset s;
    s.table_ = word::CodePageTable(codePage);
    s.dbcs_ = word::IsDbcsCodePage(codePage) ? codePage : 0;
    return s;
}

ByteCharset ByteCharset::OfFont(int charset, int ansiCodePage, bool glyphs) {
    ByteCharset s = OfCodePage(word::CharsetCodePage(charset, ansiCodePage));
    s.symbols_ = glyphs && charset == 2;
    return s;
}

bool ByteCharset::LeadsPair(unsigned char b) const { return dbcs_ && word::IsDbcsLeadByte(dbcs_, b); }

char32_t ByteCharset::DecodePair(unsigned char lead, unsigned char trail) const {
    return word::DecodeDbcsPair(dbcs_, lead, trail);
}

} // namespace qz::rtf

#include "platform/word/Utf8.h"

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <string>
#include <unicode/ucnv.h>

namespace qz::word {

std::u32string DecodeUtf8(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        char32_t c = nextUtf8(s, i);
        out += c == kIllFormed ? U'\uFFFD' : c;
    }
    return out;
}

namespace {

// A single-byte code page both ways: every byte's character (bytes the code
// page leaves undefined read as Windows-1252) and the bytes of the characters
// it defines.
struct SingleByteCodePage {
    std::array<char32_t, 256> chars;
    std::unordered_map<char32_t, unsigned char> bytes;
};

const SingleByteCodePage* SingleByte(int codePage) {
    if (codePage == 1252 || codePage <= 0 || IsDbcsCodePage(codePage)) return nullptr;
    // Built once per code page and never changed afterwards; the lock lets
    // applications on several threads share the cache.
    static std::mutex lock;
    static std::map<int, std::unique_ptr<SingleByteCodePage>> tables;
    std::lock_guard<std::mutex> guard(lock);
    auto it = tables.find(codePage);
    if (it != tables.end()) return it->second.get();
    std::string name = codePage == 10000 ? "macintosh"
                       : codePage < 1000 && codePage != 874 ? "ibm-" + std::to_string(codePage)
                                                            : "windows-" + std::to_string(codePage);
    UErrorCode err = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open(name.c_str(), &err);
    std::unique_ptr<SingleByteCodePage> table;
    if (U_SUCCESS(err) && cnv && ucnv_getMaxCharSize(cnv) == 1) {
        table = std::make_unique<SingleByteCodePage>();
        for (int b = 0; b < 256; ++b) {
            char in = static_cast<char>(b);
            UChar out[4];
            UErrorCode e = U_ZERO_ERROR;
            int32_t n = ucnv_toUChars(cnv, out, 4, &in, 1, &e);
            bool ok = U_SUCCESS(e) && n == 1 && out[0] != 0xFFFD && (out[0] != 0x1A || b == 0x1A);
            char32_t c = ok ? out[0] : sys::cp1252ToUnicode(static_cast<unsigned char>(b));
            table->chars[static_cast<std::size_t>(b)] = c;
            if (ok && b >= 0x80) table->bytes.emplace(c, static_cast<unsigned char>(b));
        }
    }
    if (cnv) ucnv_close(cnv);
    return tables.emplace(codePage, std::move(table)).first->second.get();
}

} // namespace

const char32_t* CodePageTable(int codePage) {
    const SingleByteCodePage* t = SingleByte(codePage);
    return t ? t->chars.data() : nullptr;
}

int EncodeCodePageByte(int codePage, char32_t c) {
    if (c < 0x80) return static_cast<int>(c);
    if (IsDbcsCodePage(codePage)) return -1;
    const SingleByteCodePage* t = SingleByte(codePage);
    if (!t) return sys::unicodeToCp1252(c);
    auto it = t->bytes.find(c);
    return it == t->bytes.end() ? -1 : it->second;
}

bool IsDbcsCodePage(int codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

bool IsDbcsLeadByte(int codePage, unsigned char b) {
    if (codePage == 932) return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    return IsDbcsCodePage(codePage) && b >= 0x81 && b <= 0xFE;
}

char32_t DecodeDbcsPair(int codePage, unsigned char lead, unsigned char trail) {
    // One converter per code page, opened on first use and closed at exit.
    struct Converters {
        std::map<int, UConverter*> byCodePage;
        ~Converters() {
            for (auto& [cp, cnv] : byCodePage)
                if (cnv) ucnv_close(cnv);
        }
    };
    static std::mutex lock;
    static Converters converters;
    std::lock_guard<std::mutex> guard(lock);
    auto it = converters.byCodePage.find(codePage);
    if (it == converters.byCodePage.end()) {
        UErrorCode err = U_ZERO_ERROR;
        UConverter* cnv = ucnv_open(("windows-" + std::to_string(codePage)).c_str(), &err);
        if (U_FAILURE(err) && cnv) {
            ucnv_close(cnv);
            cnv = nullptr;
        }
        it = converters.byCodePage.emplace(codePage, U_SUCCESS(err) ? cnv : nullptr).first;
    }
    if (!it->second) return 0xFFFD;
    char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    UChar out[4];
    UErrorCode err = U_ZERO_ERROR;
    ucnv_reset(it->second);
    int32_t n = ucnv_toUChars(it->second, out, 4, in, 2, &err);
    if (U_FAILURE(err) || n < 1) return 0xFFFD;
    if (n == 2 && out[0] >= 0xD800 && out[0] < 0xDC00)
        return 0x10000 + ((static_cast<char32_t>(out[0]) - 0xD800) << 10) + (out[1] - 0xDC00);
    return n == 1 ? out[0] : 0xFFFD;
}

int CharsetCodePage(int charset, int ansiCodePage) {
    switch (charset) {
    case 0:
    case 2: return 1252;
    case 1: return ansiCodePage;
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 255: return 437;
    default: return ansiCodePage;
    }
}

} // namespace qz::word

// Saved recordsets in the XML persistence format: a schema (s:Schema with one
// s:ElementType "row" whose s:AttributeType children are the columns, and
// nested s:ElementType children for child recordsets) and the rows (z:row
// elements of rs:data, one attribute per non-null value, child rows as nested
// elements named after their child recordset).
//
// The file is read as a stream of tags, a chunk at a time, and each row turns
// into its values as soon as its tag is read: loading takes the memory of the
// finished recordset plus one chunk of the file, never a copy of the file or a
// tree of its elements (a 100,000-row file is several times larger as a tree
// than as the values it holds). Only the schema, which is small, is kept as a
// tree while its columns are read.
#include "platform/ado/Recordset.h"
#include "platform/automation/Text.h"
#include "platform/system/Paths.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>

namespace qz::ado {

namespace {

constexpr const char* kSource = "MSPersist";

// A fault in the XML itself; reported with the offset where it was found.
struct XmlError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Decodes the encoding a file declares into UTF-8, a piece at a time: a
// character cut by the end of one piece is completed by the next. Bytes that
// are no character of the encoding are an error, not a replacement character.
class Decoder {
public:
    explicit Decoder(std::string name) : name_(std::move(name)) {
        UErrorCode err = U_ZERO_ERROR;
        from_.reset(ucnv_open(name_.c_str(), &err));
        if (U_FAILURE(err) || !from_) throw XmlError("it declares the encoding '" + name_ + "', which is not known");
        // Its declaration was read as ASCII: the file is in no encoding of
        // two or four bytes a character.
        if (ucnv_getMinCharSize(from_.get()) > 1)
            throw XmlError("it declares the encoding '" + name_ + "' but is not written in it");
        ucnv_setToUCallBack(from_.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
        utf8_.reset(ucnv_open("UTF-8", &err));
        if (U_FAILURE(err) || !utf8_) throw XmlError("the encoding '" + name_ + "' cannot be decoded here");
    }

    // Appends the UTF-8 of the bytes to out; last: no bytes follow them.
    void decode(std::string_view bytes, bool last, std::string& out) {
        const char* source = bytes.data();
        const char* const end = source + bytes.size();
        for (;;) {
            std::size_t have = out.size();
            out.resize(have + (end - source) * 3 + 64);
            char* target = out.data() + have;
            UErrorCode err = U_ZERO_ERROR;
            ucnv_convertEx(utf8_.get(), from_.get(), &target, out.data() + out.size(), &source, end, pivot_, &pivotSource_,
                           &pivotTarget_, pivot_ + kPivot, false, last, &err);
            out.resize(static_cast<std::size_t>(target - out.data()));
            if (err == U_BUFFER_OVERFLOW_ERROR) continue;
            if (U_FAILURE(err))
                throw XmlError("the bytes before offset " + std::to_string(read_ + (source - bytes.data())) +
                               " are no character of the encoding '" + name_ + "' it declares");
            break;
        }
        read_ += bytes.size();
    }

private:
    static constexpr std::size_t kPivot = 1024;
    std::string name_;
    struct Close {
        void operator()(UConverter* c) const { ucnv_close(c); }
    };
    std::unique_ptr<UConverter, Close> from_, utf8_;
    UChar pivot_[kPivot];
    UChar* pivotSource_ = pivot_;
    UChar* pivotTarget_ = pivot_;
    std::size_t read_ = 0; // bytes decoded so far
};

// The encoding the XML declaration at the start of the text names, "" when
// it names none.
std::string declaredEncoding(std::string_view head) {
    if (head.substr(0, 5) != "<?xml") return {};
    head = head.substr(0, head.find("?>"));
    std::size_t i = head.find("encoding");
    if (i == std::string_view::npos) return {};
    auto blanks = [&] {
        while (i < head.size() && (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n')) ++i;
    };
    i += 8;
    blanks();
    if (i >= head.size() || head[i] != '=') return {};
    ++i;
    blanks();
    if (i >= head.size() || (head[i] != '"' && head[i] != '\'')) return {};
    const std::size_t close = head.find(head[i], i + 1);
    if (close == std::string_view::npos) return {};
    return std::string(head.substr(i + 1, close - i - 1));
}

// True for a name of UTF-8, which is read as it stands.
bool namesUtf8(std::string_view name) {
    std::string bare;
    for (char c : name)
        if (c != '-' && c != '_') bare += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return bare == "utf8";
}

// A pull reader of start and end tags over a text or a file read in chunks.
// It checks what the rows depend on (tags closed in order, quoted attribute
// values, one root element) and passes over text, comments, CDATA, processing
// instructions and declarations. Attribute values come with their character
// references decoded and their white space normalised as XML requires.
class XmlReader {
public:
    struct Attribute {
        std::string_view name, value;
    };
    enum Kind { StartTag, EndTag };

    explicit XmlReader(std::string_view text) : buf_(text) { start(); }
    explicit XmlReader(std::FILE* file) : file_(file) {
        std::size_t i = 0;
        more(i);
        start();
    }

    // The first bytes of the input, for the checks of its format.
    std::string_view head() const { return buf_; }
    // Why the input cannot be read in the encoding it declares ("" when it can).
    const std::string& encodingFault() const { return encodingFault_; }

    // Advances to the next start or end tag.
    Kind next();
    std::string_view name() const { return name_; }
    bool selfClosing() const { return selfClosing_; }
    const std::vector<Attribute>& attributes() const { return attrs_; }
    // Passes over the content of the current start tag, up to its end tag.
    void skipElement() {
        if (selfClosing_) return;
        const std::size_t depth = open_.size();
        while (open_.size() >= depth) next();
    }

private:
    void start();
    bool more(std::size_t& i);
    // The character at i, reading on when the buffer ends there; -1 at the end.
    int at(std::size_t& i) {
        if (i < buf_.size() || more(i)) return static_cast<unsigned char>(buf_[i]);
        return -1;
    }
    [[noreturn]] void fail(const std::string& why, std::size_t at) const {
        throw XmlError(why + " at offset " + std::to_string(base_ + at));
    }
    std::size_t skipTo(std::size_t i, char a, char b, const char* what);
    std::size_t skipPast(std::size_t i, char twice, const char* what);
    void parseStartTag(std::size_t end);
    void decode(std::string_view raw, std::string& out) const;

    std::FILE* file_ = nullptr;
    std::unique_ptr<Decoder> decoder_; // the encoding declared, when it is not UTF-8
    std::string raw_;        // a chunk of a file as read, before it is decoded
    std::string encodingFault_;
    std::string store_;      // the buffered part of a file, or the decoded text
    std::string_view buf_;   // the buffered part of the input
    std::size_t base_ = 0;   // offset of buf_[0] in the input
    std::size_t pos_ = 0;    // next unread character in buf_
    std::size_t tok_ = 0;    // start of the token being read (kept when reading on)
    bool eof_ = false;
    bool rootDone_ = false;

    std::string_view name_;
    bool selfClosing_ = false;
    std::vector<Attribute> attrs_;
    std::vector<std::pair<std::size_t, std::size_t>> decoded_; // per attribute: scratch_ range, or npos
    std::string scratch_;
    std::string openNames_;             // names of the open elements, one after another
    std::vector<std::size_t> open_;     // where each starts in openNames_
};

bool XmlReader::more(std::size_t& i) {
    if (!file_ || eof_) return false;
    // Keep the token being read and drop what is before it.
    if (tok_ > 0) {
        store_.erase(0, tok_);
        base_ += tok_;
        pos_ -= std::min(pos_, tok_);
        i -= tok_;
        tok_ = 0;
    }
    constexpr std::size_t kChunk = 64 * 1024;
    for (;;) {
        const std::size_t have = store_.size();
        const std::size_t want = std::max(kChunk, have);
        std::size_t got = 0;
        if (!decoder_) {
            store_.resize(have + want);
            got = std::fread(store_.data() + have, 1, want, file_);
            store_.resize(have + got);
        } else {
            raw_.resize(want);
            got = std::fread(raw_.data(), 1, want, file_);
            raw_.resize(got);
        }
        if (got == 0 && std::ferror(file_)) throw XmlError("the file could not be read to its end");
        eof_ = got == 0;
        if (decoder_) decoder_->decode(raw_, eof_, store_);
        buf_ = store_;
        // A chunk of a declared encoding may end inside a character, which
        // then waits for the next.
        if (i < buf_.size() || eof_) return i < buf_.size();
    }
}

void XmlReader::start() {
    if (buf_.substr(0, 3) == "\xEF\xBB\xBF") {
        pos_ = 3;  // marked as UTF-8
    } else {
        try {
            const std::string encoding = declaredEncoding(buf_);
            if (!encoding.empty() && !namesUtf8(encoding)) {
                // What was read so far is decoded; a file's further chunks as they are read.
                decoder_ = std::make_unique<Decoder>(encoding);
                const std::string bytes = file_ ? std::move(store_) : std::string(buf_);
                store_.clear();
                buf_ = store_;
                decoder_->decode(bytes, !file_, store_);
                buf_ = store_;
            }
        } catch (const XmlError& e) {
            encodingFault_ = e.what();
        }
    }
    tok_ = pos_;
}

// Index just past the first "ab" (or past a when b is 0) from i.
std::size_t XmlReader::skipTo(std::size_t i, char a, char b, const char* what) {
    int prev = -1;
    for (;; ++i) {
        const int c = at(i);
        if (c < 0) fail(std::string("the file ends inside ") + what, i);
        if (b == 0 ? c == a : (prev == a && c == b)) return i + 1;
        prev = c;
    }
}

// Index just past the first "--" + '>' (or "]]" + '>') from i.
std::size_t XmlReader::skipPast(std::size_t i, char twice, const char* what) {
    for (;;) {
        i = skipTo(i, twice, twice, what);
        int k;
        while ((k = at(i)) == twice) ++i;
        if (k == '>') return i + 1;
    }
}

// Byte classes of a start tag, looked up once a byte: what ends a name, and
// what an attribute value needs decoded for (a reference, a line end or tab).
struct TagBytes {
    std::array<bool, 256> endsName{}, decodes{}, quoteOrEnd{};
    constexpr TagBytes() {
        for (unsigned char c : {' ', '\t', '\r', '\n', '/', '>', '='}) endsName[c] = true;
        for (unsigned char c : {'"', '\'', '>'}) quoteOrEnd[c] = true;
        for (unsigned char c : {'&', '\t', '\r', '\n'}) decodes[c] = true;
    }
};
constexpr TagBytes kTagBytes;

XmlReader::Kind XmlReader::next() {
    for (;;) {
        std::size_t i = pos_;
        tok_ = i;
        // Text between tags is not part of any value here.
        int c;
        for (;;) {
            if (const void* lt = i < buf_.size() ? std::memchr(buf_.data() + i, '<', buf_.size() - i) : nullptr) {
                i = static_cast<std::size_t>(static_cast<const char*>(lt) - buf_.data());
                tok_ = i;
                c = '<';
                break;
            }
            tok_ = i = buf_.size();
            if ((c = at(i)) < 0 || c == '<') break;
        }
        if (c < 0) {
            pos_ = i;
            if (!open_.empty())
                fail("the file ends before the element '" + openNames_.substr(open_.back()) + "' is closed", i);
            if (!rootDone_) fail("it holds no element", i);
            fail("it ends after its root element", i); // next() is not called past the root
        }
        tok_ = i;
        const int c1 = at(++i);
        if (c1 == '?') {
            pos_ = skipTo(i + 1, '?', '>', "a processing instruction");
            continue;
        }
        if (c1 == '!') {
            const int c2 = at(++i);
            if (c2 == '-' && at(++i) == '-') {
                pos_ = skipPast(i + 1, '-', "a comment"); // "-->"
            } else if (c2 == '[') {
                pos_ = skipPast(i + 1, ']', "a CDATA section"); // <![CDATA[ ... ]]>
            } else {
                // <!DOCTYPE ...>, with an internal subset in brackets.
                int depth = 0;
                char quote = 0;
                for (;; ++i) {
                    const int k = at(i);
                    if (k < 0) fail("the file ends inside a declaration", i);
                    if (quote) { if (k == quote) quote = 0; }
                    else if (k == '"' || k == '\'') quote = static_cast<char>(k);
                    else if (k == '[') ++depth;
                    else if (k == ']') --depth;
                    else if (k == '>' && depth <= 0) break;
                }
                pos_ = i + 1;
            }
            continue;
        }
        if (c1 == '/') {
            const std::size_t end = skipTo(i + 1, '>', 0, "an end tag");
            std::string_view name = buf_.substr(tok_ + 2, end - 1 - (tok_ + 2));
            while (!name.empty() && std::strchr(" \t\r\n", name.back())) name.remove_suffix(1);
            if (open_.empty()) fail("the end tag '" + std::string(name) + "' closes no element", tok_);
            const std::string_view expected = std::string_view(openNames_).substr(open_.back());
            if (name != expected)
                fail("the end tag '" + std::string(name) + "' does not close the element '" + std::string(expected) + "'",
                     tok_);
            openNames_.resize(open_.back());
            open_.pop_back();
            if (open_.empty()) rootDone_ = true;
            name_ = name;
            selfClosing_ = false;
            attrs_.clear();
            pos_ = end;
            return EndTag;
        }
        // A start tag: find its '>' outside quoted values, then read it whole.
        // A quoted value is passed over at once; the buffer is read on when
        // the tag goes past its end.
        char quote = 0;
        for (;; ++i) {
            if (quote) {
                if (const void* q = i < buf_.size() ? std::memchr(buf_.data() + i, quote, buf_.size() - i) : nullptr) {
                    i = static_cast<std::size_t>(static_cast<const char*>(q) - buf_.data());
                    quote = 0;
                    continue;
                }
                i = buf_.size();
            } else {
                const char* b = buf_.data();
                const std::size_t n = buf_.size();
                while (i < n && !kTagBytes.quoteOrEnd[static_cast<unsigned char>(b[i])]) ++i;
            }
            const int k = at(i);
            if (k < 0) fail("the file ends inside a tag", tok_);
            if (quote) { if (k == quote) quote = 0; }
            else if (k == '"' || k == '\'') quote = static_cast<char>(k);
            else if (k == '>') break;
        }
        if (rootDone_) fail("it has more than one root element", tok_);
        parseStartTag(i + 1);
        pos_ = i + 1;
        return StartTag;
    }
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }


void XmlReader::parseStartTag(std::size_t end) {
    const std::string_view tag = buf_.substr(tok_, end - tok_); // "<name ... >"
    std::size_t i = 1;
    auto nameEnd = [&](std::size_t k) {
        while (k < tag.size() && !kTagBytes.endsName[static_cast<unsigned char>(tag[k])]) ++k;
        return k;
    };
    const std::array<bool, 256>& decodes = kTagBytes.decodes;
    std::size_t e = nameEnd(i);
    if (e == i) fail("a tag has no name", tok_);
    name_ = tag.substr(i, e - i);
    attrs_.clear();
    decoded_.clear();
    scratch_.clear();
    selfClosing_ = false;
    for (i = e;;) {
        while (isSpace(tag[i])) ++i;
        if (tag[i] == '>') break;
        if (tag[i] == '/') {
            if (tag[i + 1] != '>') fail("a '/' stands inside the tag '" + std::string(name_) + "'", tok_ + i);
            selfClosing_ = true;
            break;
        }
        e = nameEnd(i);
        if (e == i) fail("the tag '" + std::string(name_) + "' has a stray character", tok_ + i);
        const std::string_view attrName = tag.substr(i, e - i);
        i = e;
        while (isSpace(tag[i])) ++i;
        if (tag[i] != '=') fail("the attribute '" + std::string(attrName) + "' has no value", tok_ + i);
        ++i;
        while (isSpace(tag[i])) ++i;
        const char quote = tag[i];
        if (quote != '"' && quote != '\'')
            fail("the value of the attribute '" + std::string(attrName) + "' is not quoted", tok_ + i);
        const std::size_t close = tag.find(quote, i + 1);
        if (close == std::string_view::npos)
            fail("the value of the attribute '" + std::string(attrName) + "' is not closed", tok_ + i);
        const std::string_view raw = tag.substr(i + 1, close - i - 1);
        i = close + 1;
        const bool plain =
            std::none_of(raw.begin(), raw.end(), [&](char c) { return decodes[static_cast<unsigned char>(c)]; });
        if (plain) {
            attrs_.push_back({attrName, raw});
            decoded_.emplace_back(std::string::npos, 0);
        } else {
            const std::size_t from = scratch_.size();
            decode(raw, scratch_);
            attrs_.push_back({attrName, {}});
            decoded_.emplace_back(from, scratch_.size() - from);
        }
        if (!isSpace(tag[i]) && tag[i] != '/' && tag[i] != '>')
            fail("the attributes of the tag '" + std::string(name_) + "' are not separated", tok_ + i);
    }
    // Decoded values point into scratch_ once it no longer grows.
    for (std::size_t k = 0; k < attrs_.size(); ++k)
        if (decoded_[k].first != std::string::npos)
            attrs_[k].value = std::string_view(scratch_).substr(decoded_[k].first, decoded_[k].second);
    if (!selfClosing_) {
        open_.push_back(openNames_.size());
        openNames_ += name_;
    }
}

// Character references and the five named entities; line ends and tabs
// become spaces (a value's own line breaks are written as "&#xA;"). An
// unknown or malformed reference is kept as it stands.
void XmlReader::decode(std::string_view raw, std::string& out) const {
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\r') {
            out += ' ';
            if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
        } else if (c == '\n' || c == '\t') {
            out += ' ';
        } else if (c == '&') {
            const std::size_t semi = raw.find(';', i + 1);
            const std::string_view ent =
                semi == std::string_view::npos || semi - i > 12 ? std::string_view() : raw.substr(i + 1, semi - i - 1);
            const char* named = ent == "lt" ? "<" : ent == "gt" ? ">" : ent == "amp" ? "&" : ent == "quot" ? "\""
                              : ent == "apos" ? "'" : nullptr;
            std::uint32_t cp = 0;
            bool number = ent.size() > 1 && ent[0] == '#';
            if (number) {
                const bool hex = ent[1] == 'x';
                const std::string_view digits = ent.substr(hex ? 2 : 1);
                number = !digits.empty();
                for (char d : digits) {
                    const int v = hex ? (std::isxdigit(static_cast<unsigned char>(d))
                                             ? (std::isdigit(static_cast<unsigned char>(d)) ? d - '0' : (d | 0x20) - 'a' + 10)
                                             : -1)
                                      : (std::isdigit(static_cast<unsigned char>(d)) ? d - '0' : -1);
                    if (v < 0 || cp > 0x10FFFF) { number = false; break; }
                    cp = cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(v);
                }
                number = number && cp != 0 && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
            }
            if (named) {
                out += named;
                i = semi;
            } else if (number) {
                appendUtf8(out, static_cast<char32_t>(cp));
                i = semi;
            } else {
                out += '&';
            }
        } else {
            out += c;
        }
    }
}

std::string_view localName(std::string_view name) {
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The schema, kept as a small tree of its elements while its columns are read.
struct Node {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<Node> children;

    bool is(std::string_view local) const { return localName(name) == local; }
    const Node* child(std::string_view local) const {
        for (const Node& c : children)
            if (c.is(local)) return &c;
        return nullptr;
    }
    // An attribute by its prefixed name, or by its local name under another prefix.
    const char* attr(std::string_view prefixed) const {
        for (const auto& [n, v] : attributes)
            if (n == prefixed) return v.c_str();
        const std::string_view local = localName(prefixed);
        for (const auto& [n, v] : attributes) {
            const std::string_view nm = n;
            const auto colon = nm.find(':');
            if (colon != std::string_view::npos && nm.substr(0, colon) != "xmlns" && nm.substr(colon + 1) == local)
                return v.c_str();
        }
        return nullptr;
    }
};

// The element whose start tag was just read, with everything inside it.
Node readTree(XmlReader& r, int depth = 0) {
    if (depth > 256) throw XmlError("its elements are nested too deeply");
    Node n;
    n.name = r.name();
    for (const XmlReader::Attribute& a : r.attributes()) n.attributes.emplace_back(a.name, a.value);
    if (!r.selfClosing())
        while (r.next() == XmlReader::StartTag) n.children.push_back(readTree(r, depth + 1));
    return n;
}

bool isTrue(const char* v) { return v && (std::strcmp(v, "true") == 0 || std::strcmp(v, "True") == 0 || std::strcmp(v, "1") == 0); }

struct Schema;

struct SchemaColumn {
    Column column;
    std::string xmlName;               // the attribute (or child element) name in rows
    std::shared_ptr<Schema> chapter;   // for child recordsets
    int number = 0;
    bool hex = false, base64 = false;
};

struct Schema {
    std::vector<SchemaColumn> columns;
    bool hasChapters = false;
};

std::int32_t typeOf(std::string_view dt, std::string_view db, bool fixed, bool isLong) {
    if (dt == "i1") return adTinyInt;
    if (dt == "ui1") return adUnsignedTinyInt;
    if (dt == "i2") return adSmallInt;
    if (dt == "ui2") return 18;
    if (dt == "int" || dt == "i4") return adInteger;
    if (dt == "ui4") return 19;
    if (dt == "i8") return adBigInt;
    if (dt == "ui8") return 21;
    if (dt == "r4") return adSingle;
    if (dt == "float" || dt == "r8") return adDouble;
    if (dt == "fixed.14.4") return adCurrency;
    if (dt == "number") {
        if (db == "currency") return adCurrency;
        if (db == "decimal") return adDecimal;
        return adNumeric;
    }
    if (dt == "boolean") return adBoolean;
    if (dt == "dateTime" || dt == "dateTime.tz") return db == "timestamp" ? adDBTimeStamp : adDate;
    if (dt == "date") return adDBDate;
    if (dt == "time" || dt == "time.tz") return adDBTime;
    if (dt == "uuid") return adGUID;
    if (dt == "bin.hex" || dt == "bin.base64") return isLong ? adLongVarBinary : (fixed ? adBinary : adVarBinary);
    if (dt == "string" || dt.empty()) {
        if (dt.empty() && db.empty()) return adVariant;
        if (db == "str") return isLong ? adLongVarChar : (fixed ? adChar : adVarChar);
        return isLong ? adLongVarWChar : (fixed ? adWChar : adVarWChar);
    }
    return adVariant;
}

std::int32_t toInt(const char* v) {
    if (!v) return 0;
    long long n = std::strtoll(v, nullptr, 10);
    return n > INT32_MAX ? INT32_MAX : (n < 0 ? 0 : static_cast<std::int32_t>(n));
}

std::shared_ptr<Schema> readSchema(const Node& elementType, int depth) {
    if (depth > 32) throw std::runtime_error("child recordsets are nested too deeply");
    auto schema = std::make_shared<Schema>();
    int order = 0;
    for (const Node& c : elementType.children) {
        const bool attribute = c.is("AttributeType");
        const bool nested = c.is("ElementType");
        if (!attribute && !nested) continue;
        SchemaColumn sc;
        const char* xmlName = c.attr("name");
        sc.xmlName = xmlName ? xmlName : "";
        const char* realName = c.attr("rs:name");
        sc.column = Column(realName ? realName : sc.xmlName, adChapter, 0);
        const char* number = c.attr("rs:number");
        sc.number = number ? toInt(number) : 0;
        if (sc.xmlName.empty()) throw std::runtime_error("a column has no name");
        if (nested) {
            sc.chapter = readSchema(c, depth + 1);
            sc.column.definedSize = 4;
            sc.column.chapter = makeRef<RecordsetData>();
            for (const SchemaColumn& child : sc.chapter->columns) sc.column.chapter->columns.push_back(child.column);
            schema->hasChapters = true;
        } else {
            const Node* dtNode = c.child("datatype");
            if (!dtNode) dtNode = &c; // the type may stand on the attribute type itself
            const char* dt = dtNode->attr("dt:type");
            const char* db = dtNode->attr("rs:dbtype");
            const bool fixed = isTrue(dtNode->attr("rs:fixedlength"));
            const bool isLong = isTrue(dtNode->attr("rs:long"));
            sc.column.type = typeOf(dt ? dt : "", db ? db : "", fixed, isLong);
            sc.column.definedSize = toInt(dtNode->attr("dt:maxLength"));
            sc.column.precision = toInt(dtNode->attr("rs:precision"));
            sc.column.numericScale = toInt(dtNode->attr("rs:scale"));
            sc.hex = dt && std::strcmp(dt, "bin.hex") == 0;
            sc.base64 = dt && std::strcmp(dt, "bin.base64") == 0;
        }
        if (!sc.number) sc.number = 100000 + order;
        ++order;
        schema->columns.push_back(std::move(sc));
    }
    std::stable_sort(schema->columns.begin(), schema->columns.end(),
                     [](const SchemaColumn& a, const SchemaColumn& b) { return a.number < b.number; });
    return schema;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

Variant decodeBinary(std::string_view text, bool hex) {
    std::string bytes;
    if (hex) {
        int hi = -1;
        for (char ch : text) {
            const int d = hexDigit(ch);
            if (d < 0) continue;
            if (hi < 0) hi = d;
            else { bytes.push_back(static_cast<char>(hi * 16 + d)); hi = -1; }
        }
    } else {
        unsigned acc = 0;
        int bits = 0;
        for (const char c : text) {
            int v;
            if (c >= 'A' && c <= 'Z') v = c - 'A';
            else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
            else if (c >= '0' && c <= '9') v = c - '0' + 52;
            else if (c == '+') v = 62;
            else if (c == '/') v = 63;
            else continue;
            acc = (acc << 6) | static_cast<unsigned>(v);
            bits += 6;
            if (bits >= 8) {
                bits -= 8;
                bytes.push_back(static_cast<char>((acc >> bits) & 0xFF));
            }
        }
    }
    return valueFromBytes(bytes.data(), bytes.size());
}

// Reads rows into their recordset as their tags arrive.
class RowReader {
public:
    RowReader(XmlReader& r, std::string_view sourceName)
        : r_(r), name_(sourceName), source_(Variant::fromUtf8(sourceName).stringValue()) {}

    // The content of rs:data (or of an rs:insert in it): rows of the top
    // schema; other elements are passed over.
    void rows(const Schema& schema, std::string_view rowName, RecordsetData& data, bool inInsert) {
        while (r_.next() == XmlReader::StartTag) {
            const std::string_view local = localName(r_.name());
            if (local == rowName) {
                ++topRow_;
                row(schema, data, {});
            } else if (local == "insert" && !inInsert) {
                if (!r_.selfClosing()) rows(schema, rowName, data, true);
            } else {
                r_.skipElement();
            }
        }
    }

private:
    // One row: its values from the attributes of its tag, its child rows from
    // the elements inside it. A child row's columns are named after their
    // parent column (prefix) in errors.
    void row(const Schema& schema, RecordsetData& data, const std::string& prefix) {
        const std::size_t n = schema.columns.size();
        const std::size_t index = data.rowCount;
        Cell* out = data.addRow();
        const std::vector<XmlReader::Attribute>& attrs = r_.attributes();
        std::size_t hint = 0; // attributes usually come in column order
        for (std::size_t c = 0; c < n; ++c) {
            const SchemaColumn& sc = schema.columns[c];
            if (sc.chapter) continue;
            const XmlReader::Attribute* a = nullptr;
            for (std::size_t k = 0, at = hint; k < attrs.size(); ++k, ++at) {
                if (at == attrs.size()) at = 0;
                if (attrs[at].name == sc.xmlName) {
                    a = &attrs[at];
                    hint = at + 1;
                    break;
                }
            }
            if (!a) out[c].type = VarType::Null;
            else if (sc.hex || sc.base64) data.set(out[c], decodeBinary(a->value, sc.hex));
            else if (sc.column.type == adVariant) data.setString(out[c], a->value);
            else if (!data.setText(out[c], a->value, sc.column.type)) outOfRange(prefix + sc.column.name, a->value);
        }
        if (!schema.hasChapters) {
            r_.skipElement();
            return;
        }
        // Every parent row has a child recordset per child column, empty when
        // no child row stands in it.
        std::vector<Ref<RecordsetData>> children(n);
        for (std::size_t c = 0; c < n; ++c) {
            if (!schema.columns[c].chapter) continue;
            children[c] = makeRef<RecordsetData>();
            children[c]->columns = schema.columns[c].column.chapter->columns;
        }
        if (!r_.selfClosing()) {
            while (r_.next() == XmlReader::StartTag) {
                const std::string_view local = localName(r_.name());
                std::size_t c = 0;
                while (c < n && !(schema.columns[c].chapter && schema.columns[c].xmlName == local)) ++c;
                if (c < n) row(*schema.columns[c].chapter, *children[c], prefix + schema.columns[c].column.name + ".");
                else r_.skipElement();
            }
        }
        out = data.row(index);
        for (std::size_t c = 0; c < n; ++c) {
            if (!children[c]) continue;
            Ref<Recordset> rs = makeRef<Recordset>();
            rs->attach(children[c], source_);
            data.set(out[c], Variant(Ref<Dispatch>(rs)));
        }
    }

    // A Currency column's number that Currency cannot hold: the file is
    // refused rather than the amount read as something else.
    [[noreturn]] void outOfRange(const std::string& column, std::string_view value) const;

    XmlReader& r_;
    std::string name_;
    std::u16string source_;
    std::size_t topRow_ = 0; // the row being read, counted from 1 (child rows count as their parent's)
};

[[noreturn]] void invalid(std::string_view name, std::string_view why) {
    raiseProvider(kSource, "The file '" + std::string(name) + "' is not a valid saved recordset: " +
                               std::string(why) + ".");
}

void RowReader::outOfRange(const std::string& column, std::string_view value) const {
    invalid(name_, "in row " + std::to_string(topRow_) + ", column '" + column + "', the value '" +
                       std::string(value.substr(0, 40)) + (value.size() > 40 ? "..." : "") +
                       "' is beyond the range of a Currency amount (-922337203685477.5808 to "
                       "922337203685477.5807)");
}

// The checks on the first bytes: an XML file in UTF-8, not the binary format.
void checkFormat(std::string_view head, std::string_view sourceName) {
    std::size_t start = 0;
    if (head.substr(0, 3) == "\xEF\xBB\xBF") start = 3;
    while (start < head.size() && isSpace(head[start])) ++start;
    const bool bom16 = head.size() >= 2 && (head[0] == '\xFF' || head[0] == '\xFE') && (head[1] == '\xFE' || head[1] == '\xFF');
    const bool wide = start + 1 < head.size() && head[start] == '<' && head[start + 1] == '\0';
    if (bom16 || wide) invalid(sourceName, "it is in UTF-16; save it as UTF-8 XML");
    if (start >= head.size() || head[start] != '<')
        raiseProvider(kSource, "The file '" + std::string(sourceName) +
                                   "' is not an XML saved recordset (recordsets saved in the binary "
                                   "ADTG format cannot be read here; save the recordset as XML).");
}

Ref<Recordset> readSavedRecordset(XmlReader& r, std::string_view sourceName) {
    if (!r.encodingFault().empty()) invalid(sourceName, r.encodingFault());
    checkFormat(r.head(), sourceName);
    std::shared_ptr<Schema> schema;
    std::string rowName;
    Ref<RecordsetData> data;
    try {
        r.next();
        if (r.selfClosing()) invalid(sourceName, "it has no schema");
        bool dataSeen = false;
        RowReader rows(r, sourceName);
        while (r.next() == XmlReader::StartTag) {
            const std::string_view local = localName(r.name());
            if (!schema && local == "Schema") {
                const Node schemaNode = readTree(r);
                const Node* rowType = schemaNode.child("ElementType");
                if (!rowType) invalid(sourceName, "its schema describes no rows");
                try {
                    schema = readSchema(*rowType, 0);
                } catch (const std::runtime_error& e) {
                    invalid(sourceName, e.what());
                }
                if (schema->columns.empty()) invalid(sourceName, "its schema has no columns");
                const char* name = rowType->attr("name");
                rowName = name ? name : "";
                data = makeRef<RecordsetData>();
                for (const SchemaColumn& sc : schema->columns) data->columns.push_back(sc.column);
            } else if (!dataSeen && local == "data") {
                if (!schema) invalid(sourceName, "it has no schema before its rows");
                dataSeen = true;
                if (!r.selfClosing()) rows.rows(*schema, rowName, *data, false);
            } else {
                r.skipElement();
            }
        }
    } catch (const XmlError& e) {
        invalid(sourceName, e.what());
    }
    if (!schema) invalid(sourceName, "it has no schema");
    Ref<Recordset> rs = makeRef<Recordset>();
    rs->attach(data, Variant::fromUtf8(sourceName).stringValue());
    return rs;
}

} // namespace

Ref<Recordset> parseSavedRecordset(std::string_view xml, std::string_view sourceName) {
    XmlReader reader(xml);
    return readSavedRecordset(reader, sourceName);
}

Ref<Recordset> loadSavedRecordset(const std::string& pathIn) {
    const std::string path = sys::localPath(pathIn);
    if (!sys::regularFileExists(path))
        raiseProvider(kSource, "The saved recordset file '" + pathIn + "' cannot be found.");
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        raiseProvider(kSource, "The saved recordset file '" + pathIn + "' cannot be read.");
    std::optional<XmlReader> reader;
    try {
        reader.emplace(file.get());
    } catch (const XmlError&) {
        raiseProvider(kSource, "The saved recordset file '" + pathIn + "' cannot be read.");
    }
    return readSavedRecordset(*reader, pathIn);
}

} // namespace qz::ado

// Saved recordsets in the XML persistence format: a schema (s:Schema with one
// s:ElementType "row" whose s:AttributeType children are the columns, and
// nested s:ElementType children for child recordsets) and the rows (z:row
// elements of rs:data, one attribute per non-null value, child rows as nested
// elements named after their child recordset).
#include "platform/ado/Recordset.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qz::ado {

namespace {

constexpr const char* kSource = "MSPersist";

std::string_view localName(const char* name) {
    const char* colon = std::strchr(name, ':');
    return colon ? std::string_view(colon + 1) : std::string_view(name);
}

bool isNamed(const pugi::xml_node& n, std::string_view local) { return localName(n.name()) == local; }

pugi::xml_node child(const pugi::xml_node& n, std::string_view local) {
    for (pugi::xml_node c : n.children())
        if (c.type() == pugi::node_element && isNamed(c, local)) return c;
    return {};
}

// An attribute by its prefixed name, or by its local name under another prefix.
const char* attr(const pugi::xml_node& n, const char* prefixed) {
    if (pugi::xml_attribute a = n.attribute(prefixed)) return a.value();
    const std::string_view local = localName(prefixed);
    for (pugi::xml_attribute x : n.attributes()) {
        const std::string_view nm = x.name();
        const auto colon = nm.find(':');
        if (colon != std::string_view::npos && nm.substr(0, colon) != "xmlns" && nm.substr(colon + 1) == local)
            return x.value();
    }
    return nullptr;
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

std::shared_ptr<Schema> readSchema(const pugi::xml_node& elementType, int depth) {
    if (depth > 32) throw std::runtime_error("child recordsets are nested too deeply");
    auto schema = std::make_shared<Schema>();
    int order = 0;
    for (pugi::xml_node c : elementType.children()) {
        if (c.type() != pugi::node_element) continue;
        const bool attribute = isNamed(c, "AttributeType");
        const bool nested = isNamed(c, "ElementType");
        if (!attribute && !nested) continue;
        SchemaColumn sc;
        sc.xmlName = c.attribute("name").value();
        const char* realName = attr(c, "rs:name");
        sc.column = Column(realName ? realName : sc.xmlName, adChapter, 0);
        const char* number = attr(c, "rs:number");
        sc.number = number ? toInt(number) : 0;
        if (sc.xmlName.empty()) throw std::runtime_error("a column has no name");
        if (nested) {
            sc.chapter = readSchema(c, depth + 1);
            sc.column.definedSize = 4;
            sc.column.chapter = makeRef<RecordsetData>();
            for (const SchemaColumn& child : sc.chapter->columns) sc.column.chapter->columns.push_back(child.column);
        } else {
            pugi::xml_node dtNode = child(c, "datatype");
            if (!dtNode) dtNode = c; // the type may stand on the attribute type itself
            const char* dt = attr(dtNode, "dt:type");
            const char* db = attr(dtNode, "rs:dbtype");
            const bool fixed = isTrue(attr(dtNode, "rs:fixedlength"));
            const bool isLong = isTrue(attr(dtNode, "rs:long"));
            sc.column.type = typeOf(dt ? dt : "", db ? db : "", fixed, isLong);
            sc.column.definedSize = toInt(attr(dtNode, "dt:maxLength"));
            sc.column.precision = toInt(attr(dtNode, "rs:precision"));
            sc.column.numericScale = toInt(attr(dtNode, "rs:scale"));
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

Variant decodeBinary(const char* text, bool hex) {
    std::string bytes;
    if (hex) {
        int hi = -1;
        for (const char* p = text; *p; ++p) {
            const int d = hexDigit(*p);
            if (d < 0) continue;
            if (hi < 0) hi = d;
            else { bytes.push_back(static_cast<char>(hi * 16 + d)); hi = -1; }
        }
    } else {
        unsigned acc = 0;
        int bits = 0;
        for (const char* p = text; *p; ++p) {
            const char c = *p;
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

Ref<Recordset> buildRecordset(const Schema& schema, const std::vector<pugi::xml_node>& rows,
                              const std::u16string& source) {
    Ref<RecordsetData> data = makeRef<RecordsetData>();
    for (const SchemaColumn& sc : schema.columns) data->columns.push_back(sc.column);
    data->cells.reserve(rows.size() * schema.columns.size());
    for (const pugi::xml_node& row : rows) {
        Variant* out = data->addRow();
        for (std::size_t c = 0; c < schema.columns.size(); ++c) {
            const SchemaColumn& sc = schema.columns[c];
            if (sc.chapter) {
                std::vector<pugi::xml_node> children;
                for (pugi::xml_node k : row.children())
                    if (k.type() == pugi::node_element && localName(k.name()) == sc.xmlName) children.push_back(k);
                out[c] = Variant(Ref<Dispatch>(buildRecordset(*sc.chapter, children, source)));
                continue;
            }
            pugi::xml_attribute a = row.attribute(sc.xmlName.c_str());
            if (!a) { out[c] = Variant::null(); continue; }
            if (sc.hex || sc.base64) out[c] = decodeBinary(a.value(), sc.hex);
            else if (sc.column.type == adVariant) out[c] = Variant::fromUtf8(a.value());
            else out[c] = valueFromText(a.value(), sc.column.type);
        }
    }
    Ref<Recordset> rs = makeRef<Recordset>();
    rs->attach(data, source);
    return rs;
}

[[noreturn]] void invalid(std::string_view name, std::string_view why) {
    raiseProvider(kSource, "The file '" + std::string(name) + "' is not a valid saved recordset: " +
                               std::string(why) + ".");
}

} // namespace

Ref<Recordset> parseSavedRecordset(std::string_view xml, std::string_view sourceName) {
    std::size_t start = 0;
    if (xml.substr(0, 3) == "\xEF\xBB\xBF") start = 3;
    while (start < xml.size() && (xml[start] == ' ' || xml[start] == '\t' || xml[start] == '\r' || xml[start] == '\n'))
        ++start;
    if (start >= xml.size() || xml[start] != '<') {
        if (xml.size() >= 2 && (xml[0] == '\xFF' || xml[0] == '\xFE') && (xml[1] == '\xFE' || xml[1] == '\xFF'))
            invalid(sourceName, "it is in UTF-16; save it as UTF-8 XML");
        raiseProvider(kSource, "The file '" + std::string(sourceName) +
                                   "' is not an XML saved recordset (recordsets saved in the binary "
                                   "ADTG format cannot be read here; save the recordset as XML).");
    }
    pugi::xml_document doc;
    const pugi::xml_parse_result r = doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_auto);
    if (!r) invalid(sourceName, std::string(r.description()) + " at offset " + std::to_string(r.offset));
    pugi::xml_node root = doc.document_element();
    pugi::xml_node schemaNode = child(root, "Schema");
    if (!schemaNode) invalid(sourceName, "it has no schema");
    pugi::xml_node rowType;
    for (pugi::xml_node c : schemaNode.children())
        if (c.type() == pugi::node_element && isNamed(c, "ElementType")) { rowType = c; break; }
    if (!rowType) invalid(sourceName, "its schema describes no rows");
    std::shared_ptr<Schema> schema;
    try {
        schema = readSchema(rowType, 0);
    } catch (const std::runtime_error& e) {
        invalid(sourceName, e.what());
    }
    if (schema->columns.empty()) invalid(sourceName, "its schema has no columns");
    const std::string rowName = rowType.attribute("name").value();
    std::vector<pugi::xml_node> rows;
    if (pugi::xml_node data = child(root, "data")) {
        for (pugi::xml_node c : data.children()) {
            if (c.type() != pugi::node_element) continue;
            if (localName(c.name()) == rowName) rows.push_back(c);
            else if (isNamed(c, "insert"))
                for (pugi::xml_node k : c.children())
                    if (k.type() == pugi::node_element && localName(k.name()) == rowName) rows.push_back(k);
        }
    }
    return buildRecordset(*schema, rows, Variant::fromUtf8(sourceName).stringValue());
}

Ref<Recordset> loadSavedRecordset(const std::string& pathIn) {
    std::string path = pathIn;
    std::error_code ec;
    if (path.find('\\') != std::string::npos && !std::filesystem::exists(path, ec))
        std::replace(path.begin(), path.end(), '\\', '/');
    if (!std::filesystem::is_regular_file(path, ec))
        raiseProvider(kSource, "The saved recordset file '" + pathIn + "' cannot be found.");
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buf;
    if (!in || !(buf << in.rdbuf()))
        raiseProvider(kSource, "The saved recordset file '" + pathIn + "' cannot be read.");
    return parseSavedRecordset(buf.str(), pathIn);
}

} // namespace qz::ado

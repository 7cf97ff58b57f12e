#include "Conformance.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace qz::script::conformance {

namespace {

std::string shortest(double d) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, r.ptr);
}

std::string shortest(float f) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, f);
    return std::string(buf, r.ptr);
}

// Serial date (days since 30 Dec 1899, the fraction the time of day taken
// without sign) as "yyyy-mm-dd" and " hh:mm:ss" when there is a time.
std::string dateText(double serial) {
    double whole = std::trunc(serial);
    double frac = std::fabs(serial - whole);
    long long secs = std::llround(frac * 86400.0);
    if (secs >= 86400) {
        secs -= 86400;
        whole += serial < 0 ? -1 : 1;
    }
    // Days from 1970-01-01 to the civil date (Howard Hinnant's algorithm).
    long long z = static_cast<long long>(whole) - 25569 + 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long y = yoe + era * 400;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    long long d = doy - (153 * mp + 2) / 5 + 1;
    long long m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2) ++y;
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld", y, m, d);
    if (secs != 0)
        std::snprintf(buf + n, sizeof buf - n, " %02lld:%02lld:%02lld", secs / 3600, secs / 60 % 60,
                      secs % 60);
    return buf;
}

} // namespace

std::string describe(const Variant& v) {
    if (v.isArray()) {
        SafeArray* a = v.arrayValue();
        if (!a) return "Array[?]";
        if (a->bounds.size() != 1) return "Array" + std::to_string(a->bounds.size()) + "D";
        std::string out = "Array[";
        for (std::size_t i = 0; i < a->data.size(); ++i) {
            if (i) out += ", ";
            out += describe(a->data[i]);
        }
        return out + "]";
    }
    switch (v.type()) {
    case VarType::Empty: return "Empty";
    case VarType::Null: return "Null";
    case VarType::Integer: return "Integer:" + std::to_string(v.integerValue());
    case VarType::Long: return "Long:" + std::to_string(v.longValue());
    case VarType::Byte: return "Byte:" + std::to_string(v.byteValue());
    case VarType::Single: return "Single:" + shortest(v.singleValue());
    case VarType::Double: return "Double:" + shortest(v.doubleValue());
    case VarType::Currency: {
        std::int64_t c = v.currencyValue();
        std::string s = c < 0 ? "-" : "";
        std::uint64_t m = c < 0 ? 0 - static_cast<std::uint64_t>(c) : static_cast<std::uint64_t>(c);
        s += std::to_string(m / 10000);
        if (m % 10000) {
            char frac[8];
            std::snprintf(frac, sizeof frac, "%04u", static_cast<unsigned>(m % 10000));
            std::string f = frac;
            while (f.back() == '0') f.pop_back();
            s += "." + f;
        }
        return "Currency:" + s;
    }
    case VarType::Date: return "Date:" + dateText(v.dateValue());
    case VarType::String: return "String:" + v.toUtf8();
    case VarType::Boolean: return v.boolValue() ? "Boolean:True" : "Boolean:False";
    case VarType::Object: {
        Dispatch* d = v.objectValue();
        if (!d) return "Nothing";
        return "Object:" + Variant(d->typeName()).toUtf8();
    }
    case VarType::Error: return "Error:" + std::to_string(v.errorValue());
    default: return "VarType:" + std::to_string(v.varType());
    }
}

std::string run(const Case& c) {
    ScriptControl sc;
    sc.setTimeout(5000);
    try {
        sc.ExecuteStatement("SetLocale 1033");
        if (!c.code.empty()) sc.AddCode(c.code);
        return describe(sc.Eval(c.expr));
    } catch (const AutomationError& e) {
        return "err:" + std::to_string(e.Number);
    }
}

void expectAll(std::span<const Case> cases) {
    for (const Case& c : cases)
        EXPECT_EQ(run(c), c.expected) << "code: " << c.code << "\nexpr: " << c.expr;
}

} // namespace qz::script::conformance

// Values bound to the "?" of a statement: the database reads each as one
// value of its type, whatever the text around its "?" is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qz::ado {

struct SqlParameter {
    enum class Kind {
        Null,
        Boolean,  // integer 0 or 1
        Integer,  // integer
        Decimal,  // text: the digits as written ("-12.50"), at most 38 of them
        Double,   // number
        Text,     // text, UTF-8
        Date,     // text "YYYY-MM-DD"
        DateTime, // text "YYYY-MM-DD HH:MM:SS"
        Time,     // text "HH:MM:SS"
    };
    Kind kind = Kind::Null;
    std::int64_t integer = 0;
    double number = 0;
    std::string text;
};

// A statement's text with its "?" markers, and the values bound to them in
// the order the markers come.
struct BoundSql {
    std::string text;
    std::vector<SqlParameter> parameters;
};

} // namespace qz::ado

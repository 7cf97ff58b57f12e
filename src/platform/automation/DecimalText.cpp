#include "DecimalText.h"

#include <charconv>
#include <cmath>

namespace qz {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The value strtod gives for a number whose magnitude a Double cannot hold:
// its decimal exponent (of the first significant digit) tells an overflow
// from an underflow.
double outOfRange(const char* p, const char* end) {
    const bool negative = *p == '-';
    if (negative) ++p;
    // The power of ten of the first significant digit.
    long magnitude = -1;
    bool significant = false, afterPoint = false;
    for (; p != end && (isDigit(*p) || *p == '.'); ++p) {
        if (*p == '.') {
            afterPoint = true;
            continue;
        }
        if (!significant && *p == '0') {
            if (afterPoint) --magnitude; // a zero after the point and before the first significant digit
            continue;
        }
        significant = true;
        if (!afterPoint) ++magnitude;
    }
    long exponent = 0;
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        const bool down = p != end && *p == '-';
        if (p != end && (*p == '-' || *p == '+')) ++p;
        for (; p != end && isDigit(*p); ++p)
            if (exponent < 1'000'000) exponent = exponent * 10 + (*p - '0');
        if (down) exponent = -exponent;
    }
    const double v = magnitude + exponent > 0 ? HUGE_VAL : 0.0;
    return negative ? -v : v;
}

} // namespace

const char* readDecimal(const char* first, const char* last, double& out) noexcept {
    const char* p = first;
    const bool plus = p != last && *p == '+';
    if (plus) ++p;
    const char* body = !plus && p != last && *p == '-' ? p + 1 : p;
    // Only the decimal form: no "inf", "nan" or hexadecimal digits.
    if (body == last || !(isDigit(*body) || *body == '.')) return first;
    double v = 0;
    const auto [end, ec] = std::from_chars(p, last, v, std::chars_format::general);
    if (ec == std::errc::invalid_argument) return first;
    out = ec == std::errc::result_out_of_range ? outOfRange(p, end) : v;
    return end;
}

bool readDecimal(std::string_view text, double& out) noexcept {
    const char* end = text.data() + text.size();
    double v = 0;
    if (text.empty() || readDecimal(text.data(), end, v) != end) return false;
    out = v;
    return true;
}

std::string decimalText(double value, int significantDigits) {
    char buf[64];
    const char* end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, significantDigits).ptr;
    return std::string(static_cast<const char*>(buf), end);
}

std::string roundTripText(double value) {
    std::string text;
    for (int digits = 15; digits <= 17; ++digits) {
        text = decimalText(value, digits);
        double back = 0;
        if (readDecimal(text, back) && back == value) break;
    }
    return text;
}

} // namespace qz

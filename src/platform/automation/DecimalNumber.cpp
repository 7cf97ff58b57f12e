#include "DecimalNumber.h"

#include "DecimalText.h"

#include <array>
#include <cmath>

namespace qz {
namespace {

using u128 = unsigned __int128;
constexpr u128 kLimit = u128(1) << 96;

// A 320-bit unsigned integer: room for a magnitude times 10^56, where sums,
// products and quotients are taken exactly before they are rounded to fit.
struct Wide {
    std::array<std::uint32_t, 10> limb{};

    static Wide of(u128 v) {
        Wide w;
        for (int i = 0; i < 4; ++i, v >>= 32) w.limb[i] = static_cast<std::uint32_t>(v);
        return w;
    }
    static Wide product(u128 a, u128 b) {
        const Wide x = of(a), y = of(b);
        Wide w;
        for (int i = 0; i < 3; ++i) {
            std::uint64_t carry = 0;
            for (int j = 0; j < 4; ++j) {
                const std::uint64_t p = std::uint64_t{x.limb[i]} * y.limb[j] + w.limb[i + j] + carry;
                w.limb[i + j] = static_cast<std::uint32_t>(p);
                carry = p >> 32;
            }
            w.limb[i + 4] = static_cast<std::uint32_t>(carry);
        }
        return w;
    }
    bool fits96() const {
        for (int i = 3; i < 10; ++i)
            if (limb[i]) return false;
        return true;
    }
    u128 low() const {
        u128 v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 32) | limb[i];
        return v;
    }
    bool timesTen(int n) {
        for (; n > 0; --n) {
            std::uint64_t carry = 0;
            for (auto& l : limb) {
                const std::uint64_t p = std::uint64_t{l} * 10 + carry;
                l = static_cast<std::uint32_t>(p);
                carry = p >> 32;
            }
            if (carry) return false;
        }
        return true;
    }
    int divideByTen() {
        std::uint64_t rem = 0;
        for (int i = 9; i >= 0; --i) {
            const std::uint64_t cur = (rem << 32) | limb[i];
            limb[i] = static_cast<std::uint32_t>(cur / 10);
            rem = cur % 10;
        }
        return static_cast<int>(rem);
    }
    void add(const Wide& o) {
        std::uint64_t carry = 0;
        for (int i = 0; i < 10; ++i) {
            const std::uint64_t s = std::uint64_t{limb[i]} + o.limb[i] + carry;
            limb[i] = static_cast<std::uint32_t>(s);
            carry = s >> 32;
        }
    }
    void subtract(const Wide& o) {  // *this >= o
        std::uint64_t borrow = 0;
        for (int i = 0; i < 10; ++i) {
            const std::uint64_t d = std::uint64_t{limb[i]} - o.limb[i] - borrow;
            limb[i] = static_cast<std::uint32_t>(d);
            borrow = (d >> 63) & 1;
        }
    }
    int compare(const Wide& o) const {
        for (int i = 9; i >= 0; --i)
            if (limb[i] != o.limb[i]) return limb[i] < o.limb[i] ? -1 : 1;
        return 0;
    }
    // The quotient by d (0 < d < 2^96); the remainder is returned.
    u128 divide(u128 d, Wide& q) const {
        u128 rem = 0;
        q = Wide{};
        for (int bit = 319; bit >= 0; --bit) {
            rem = (rem << 1) | ((limb[bit / 32] >> (bit % 32)) & 1);
            if (rem >= d) {
                rem -= d;
                q.limb[bit / 32] |= 1u << (bit % 32);
            }
        }
        return rem;
    }
};

// Rounds w / 10^scale to at most 28 decimals and 96 bits, half to even
// (`sticky`: something non-zero was already dropped below w).
bool finish(Wide w, int scale, bool negative, bool sticky, DecimalNumber& out) {
    int dropped = 0;
    while (scale > DecimalNumber::kMaxScale || (scale > 0 && !w.fits96())) {
        sticky = sticky || dropped != 0;
        dropped = w.divideByTen();
        --scale;
    }
    if (!w.fits96()) return false;
    u128 m = w.low();
    if (dropped > 5 || (dropped == 5 && (sticky || (m & 1)))) {
        if (++m == kLimit) {
            if (scale == 0) return false;
            m = m / 10 + 1;  // 2^96 ends in 6
            --scale;
        }
    }
    out.magnitude = m;
    out.scale = static_cast<std::uint8_t>(scale);
    out.negative = negative && m != 0;
    return true;
}

// The magnitude with `count` decimals dropped, half to even.
u128 dropDigits(u128 m, int count) {
    int dropped = 0;
    bool sticky = false;
    for (; count > 0 && (m != 0 || dropped != 0); --count) {
        sticky = sticky || dropped != 0;
        dropped = static_cast<int>(m % 10);
        m /= 10;
    }
    if (count > 0) return 0;
    if (dropped > 5 || (dropped == 5 && (sticky || (m & 1)))) ++m;
    return m;
}

Wide scaledTo(const DecimalNumber& d, int scale) {
    Wide w = Wide::of(d.magnitude);
    w.timesTen(scale - d.scale);  // at most 28 places: never overflows
    return w;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

DecimalNumber decimalFromInt(std::int64_t v) noexcept {
    DecimalNumber d;
    d.negative = v < 0;
    d.magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    return d;
}

DecimalNumber decimalFromCurrency(std::int64_t scaled) noexcept {
    DecimalNumber d = decimalFromInt(scaled);
    d.scale = 4;
    return d;
}

bool decimalFromDouble(double v, DecimalNumber& out) noexcept {
    if (!std::isfinite(v)) return false;
    try {
        return parseDecimalNumber(decimalText(v, 15), out);
    } catch (...) {
        return false;
    }
}

double decimalToDouble(const DecimalNumber& d) noexcept {
    double v = 0;
    try {
        readDecimal(decimalNumberText(d), v);
    } catch (...) {
    }
    return v;
}

bool parseDecimalNumber(std::string_view t, DecimalNumber& out) noexcept {
    std::size_t i = 0;
    const bool negative = !t.empty() && t[0] == '-';
    if (!t.empty() && (t[0] == '-' || t[0] == '+')) ++i;
    Wide w;
    int digits = 0, scale = 0;
    bool any = false, point = false;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        if (c == '.') {
            if (point) return false;
            point = true;
            continue;
        }
        if (!isDigit(c)) break;
        any = true;
        if (point) ++scale;
        if (digits == 0 && c == '0') continue;
        if (++digits > 40) return false;
        w.timesTen(1);
        w.add(Wide::of(static_cast<unsigned>(c - '0')));
    }
    if (!any) return false;
    long exponent = 0;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        const bool down = i < t.size() && t[i] == '-';
        if (i < t.size() && (t[i] == '-' || t[i] == '+')) ++i;
        if (i == t.size()) return false;
        for (; i < t.size() && isDigit(t[i]); ++i)
            if (exponent < 100000) exponent = exponent * 10 + (t[i] - '0');
        if (down) exponent = -exponent;
    }
    if (i != t.size()) return false;
    long s = scale - exponent;
    if (digits == 0) s = 0;
    if (s < 0) {
        if (s < -40 || !w.timesTen(static_cast<int>(-s))) return false;
        s = 0;
    }
    if (s > DecimalNumber::kMaxScale + 42) {  // far below the last decimal
        out = DecimalNumber{};
        return true;
    }
    return finish(w, static_cast<int>(s), negative, false, out);
}

std::string decimalNumberText(const DecimalNumber& d) {
    char buf[64];
    char* p = buf + sizeof buf;
    u128 m = d.magnitude;
    int n = 0;
    do {
        *--p = static_cast<char>('0' + static_cast<int>(m % 10));
        m /= 10;
        ++n;
    } while (m);
    for (; n <= d.scale; ++n) *--p = '0';
    std::string s(p, buf + sizeof buf);
    if (d.scale > 0) {
        s.insert(s.size() - d.scale, 1, '.');
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    if (d.negative) s.insert(s.begin(), '-');
    return s;
}

__int128 roundDecimalToInteger(const DecimalNumber& d) noexcept {
    const auto m = static_cast<__int128>(dropDigits(d.magnitude, d.scale));
    return d.negative ? -m : m;
}

DecimalNumber roundDecimal(const DecimalNumber& d, int decimals) noexcept {
    if (decimals >= d.scale) return d;
    DecimalNumber r;
    r.magnitude = dropDigits(d.magnitude, d.scale - decimals);
    r.scale = static_cast<std::uint8_t>(decimals);
    r.negative = d.negative && r.magnitude != 0;
    return r;
}

DecimalNumber wholePart(const DecimalNumber& d, bool floor) noexcept {
    DecimalNumber r;
    u128 unit = 1;
    for (int i = 0; i < d.scale; ++i) unit *= 10;
    r.magnitude = d.magnitude / unit;
    if (floor && d.negative && d.magnitude % unit != 0) ++r.magnitude;  // below 2^96 still
    r.negative = d.negative && r.magnitude != 0;
    return r;
}

int compareDecimal(const DecimalNumber& a, const DecimalNumber& b) noexcept {
    if (a.negative != b.negative) return a.negative ? -1 : 1;
    const int scale = a.scale > b.scale ? a.scale : b.scale;
    const int c = scaledTo(a, scale).compare(scaledTo(b, scale));
    return a.negative ? -c : c;
}

bool addDecimal(const DecimalNumber& a, const DecimalNumber& b, DecimalNumber& out) noexcept {
    const int scale = a.scale > b.scale ? a.scale : b.scale;
    Wide x = scaledTo(a, scale), y = scaledTo(b, scale);
    if (a.negative == b.negative) {
        x.add(y);
        return finish(x, scale, a.negative, false, out);
    }
    if (x.compare(y) >= 0) {
        x.subtract(y);
        return finish(x, scale, a.negative, false, out);
    }
    y.subtract(x);
    return finish(y, scale, b.negative, false, out);
}

bool multiplyDecimal(const DecimalNumber& a, const DecimalNumber& b, DecimalNumber& out) noexcept {
    return finish(Wide::product(a.magnitude, b.magnitude), a.scale + b.scale, a.negative != b.negative, false, out);
}

bool divideDecimal(const DecimalNumber& a, const DecimalNumber& b, DecimalNumber& out) noexcept {
    // a * 10^k / b has the scale 29: one digit past the most a result takes,
    // which finish rounds away with the remainder.
    const int k = DecimalNumber::kMaxScale + 1 + b.scale - a.scale;
    Wide n = Wide::of(a.magnitude), q;
    n.timesTen(k);
    const bool sticky = n.divide(b.magnitude, q) != 0;
    if (!finish(q, DecimalNumber::kMaxScale + 1, a.negative != b.negative, sticky, out)) return false;
    while (out.scale > 0 && out.magnitude % 10 == 0) {
        out.magnitude /= 10;
        --out.scale;
    }
    return true;
}

} // namespace qz

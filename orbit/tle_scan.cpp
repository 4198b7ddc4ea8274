#include "orbit/tle_scan.h"

#include "orbit/element_lines.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <system_error>

namespace {

constexpr int kEof = -1;

bool isCSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(int c) {
    return c >= '0' && c <= '9';
}
bool isXdigit(int c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
int toLower(int c) {
    return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
}

// Conversion of the characters a float conversion collected, with strtod's result in the "C"
// locale. Plain decimals of up to 15 significant digits with a small power of ten are the exact
// quotient of two exactly representable numbers, so one IEEE division gives the correctly
// rounded value (fastDecimal). Everything else (exponents, hex, inf, nan) goes to from_chars,
// which rounds the same way but needs no locale and allocates nothing.
bool cNumber(const char* s, int n, double& value) {
    const char* p = s;
    const char* const end = s + n;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+'))
        negative = *p++ == '-';
    const bool hex = end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
    double v = 0.0;
    std::from_chars_result r;
    if (hex) {
        r = std::from_chars(p + 2, end, v, std::chars_format::hex);
        if (r.ec == std::errc::invalid_argument) { // "0x" without digits: the "0" alone
            v = 0.0;
            r.ec = std::errc();
        }
    } else {
        r = std::from_chars(p, end, v, std::chars_format::general);
        if (r.ec == std::errc::invalid_argument)
            return false;
    }
    if (r.ec == std::errc::result_out_of_range) {
        // strtod gives infinity or zero. Tokens here are at most 12 characters, too short for
        // the digits to outweigh an exponent that large, so the exponent's sign decides.
        const int marker = hex ? 'p' : 'e';
        const char* e = std::find_if(p, r.ptr, [marker](char c) { return toLower(c) == marker; });
        v = (e + 1 < r.ptr && e[1] == '-') ? 0.0 : HUGE_VAL;
    }
    value = negative ? -v : v;
    return true;
}

bool fastDecimal(const char* s, int n, double& value) {
    static const double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    int i = 0;
    bool negative = false;
    if (i < n && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    long long mantissa = 0;
    int digits = 0, fraction_digits = 0;
    bool dot = false;
    for (; i < n; ++i) {
        const char c = s[i];
        if (isDigit(c)) {
            mantissa = mantissa * 10 + (c - '0');
            ++digits;
            if (dot)
                ++fraction_digits;
        } else if (c == '.' && !dot) {
            dot = true;
        } else {
            return false;
        }
    }
    if (digits == 0 || digits > 15)
        return false;
    double v = double(mantissa);
    if (fraction_digits > 0)
        v /= kPow10[fraction_digits];
    value = negative ? -v : v;
    return true;
}

// Sequential reader following the C library's scanning rules for one format string.
class Scanner {
public:
    explicit Scanner(const char* line) : p_(line) {}

    bool failed() const { return failed_; }
    int assigned() const { return assigned_; }

    // "%Nd" and "%Nld".
    template <typename Int> bool integer(int width, Int& out) {
        if (!begin())
            return false;
        char buf[16];
        int n = 0;
        int c = inchar();
        if (c == '-' || c == '+') {
            buf[n++] = char(c);
            --width;
            c = inchar();
        }
        while (c != kEof && width != 0 && isDigit(c) && n < 15) {
            buf[n++] = char(c);
            --width;
            c = inchar();
        }
        unget(c);
        const int signs = (n > 0 && (buf[0] == '-' || buf[0] == '+')) ? 1 : 0;
        if (n == signs)
            return fail();
        // Widths here are at most 6, so the value always fits.
        long value = 0;
        for (int i = signs; i < n; ++i)
            value = value * 10 + (buf[i] - '0');
        out = Int(buf[0] == '-' ? -value : value);
        ++assigned_;
        return true;
    }

    // "%5ld" for a catalogue number, optionally accepting the Alpha-5 form.
    bool catalogueNumber(long& out, CatalogueNumbers numbers) {
        if (failed_)
            return false;
        if (numbers == CatalogueNumbers::Alpha5) {
            skipSpace();
            if (p_[0] >= 'A' && p_[0] <= 'Z') {
                // Up to the field's width, never past the line's end.
                std::size_t n = 0;
                while (n < kCatalogueNumberField.width() && p_[n] != '\0')
                    ++n;
                if (const std::optional<long> number = decodeCatalogueNumber({p_, n})) {
                    out = *number;
                    p_ += n;
                    ++assigned_;
                    return true;
                }
            }
        }
        return integer(5, out);
    }

    // " %1c": the format's blank skips white space, then one character.
    bool character(char& out) {
        if (failed_)
            return false;
        skipSpace();
        const int c = inchar();
        if (c == kEof)
            return fail();
        out = char(c);
        ++assigned_;
        return true;
    }

    // "%Ns" into a buffer of at least N + 1 characters.
    bool word(int width, char* out) {
        if (!begin())
            return false;
        int c = inchar();
        if (c == kEof)
            return fail();
        int n = 0;
        for (;;) {
            if (isCSpace(c)) {
                unget(c);
                break;
            }
            out[n++] = char(c);
            if (--width <= 0)
                break;
            c = inchar();
            if (c == kEof)
                break;
        }
        out[n] = '\0';
        ++assigned_;
        return true;
    }

    // "%Nlf", following the C library's rules for which characters belong to the number.
    bool floating(int width, double& out) {
        if (!begin())
            return false;
        char buf[64];
        int n = 0;
        auto add = [&](int ch) {
            buf[n++] = char(ch);
        };
        bool got_digit = false, got_dot = false, got_e = false, got_sign = false, hexa = false;

        int c = inchar();
        --width;
        if (c == kEof)
            return fail();
        if (c == '-' || c == '+') {
            got_sign = true;
            add(c);
            if (width == 0 || (c = inchar()) == kEof)
                return fail();
            --width;
        }
        if (toLower(c) == 'n') { // "nan"
            add(c);
            if (width == 0 || (c = inchar()) == kEof || toLower(c) != 'a')
                return fail();
            --width;
            add(c);
            if (width == 0 || (c = inchar()) == kEof || toLower(c) != 'n')
                return fail();
            --width;
            add(c);
            return convert(buf, n, out);
        }
        if (toLower(c) == 'i') { // "inf" or "infinity"
            add(c);
            if (width == 0 || (c = inchar()) == kEof || toLower(c) != 'n')
                return fail();
            --width;
            add(c);
            if (width == 0 || (c = inchar()) == kEof || toLower(c) != 'f')
                return fail();
            --width;
            add(c);
            if (width != 0 && (c = inchar()) != kEof) {
                if (toLower(c) == 'i') {
                    --width;
                    add(c);
                    static const char rest[] = "nity";
                    for (const char* r = rest; *r; ++r) {
                        if (width == 0 || (c = inchar()) == kEof || toLower(c) != *r)
                            return fail();
                        --width;
                        add(c);
                    }
                } else {
                    unget(c);
                }
            }
            return convert(buf, n, out);
        }

        int exp_char = 'e';
        if (width != 0 && c == '0') {
            add(c);
            c = inchar();
            --width;
            if (width != 0 && toLower(c) == 'x') {
                add(c);
                hexa = true;
                exp_char = 'p';
                c = inchar();
                --width;
            } else {
                got_digit = true;
            }
        }
        for (;;) {
            if (isDigit(c)) {
                add(c);
                got_digit = true;
            } else if (!got_e && hexa && isXdigit(c)) {
                add(c);
                got_digit = true;
            } else if (got_e && buf[n - 1] == exp_char && (c == '-' || c == '+')) {
                add(c);
            } else if (got_digit && !got_e && toLower(c) == exp_char) {
                add(exp_char);
                got_e = got_dot = true;
            } else if (!got_dot && c == '.') {
                add(c);
                got_dot = true;
            } else {
                unget(c);
                break;
            }
            if (width == 0 || (c = inchar()) == kEof)
                break;
            --width;
        }
        if (n == int(got_sign) || (hexa && n == 2 + int(got_sign)))
            return fail();
        return convert(buf, n, out);
    }

private:
    // Conversions other than %c skip leading white space; at the end of the line the
    // conversion fails for want of input.
    bool begin() {
        if (failed_)
            return false;
        skipSpace();
        return true;
    }
    void skipSpace() {
        while (isCSpace(static_cast<unsigned char>(*p_)))
            ++p_;
    }
    int inchar() {
        if (*p_ == '\0')
            return kEof;
        return static_cast<unsigned char>(*p_++);
    }
    void unget(int c) {
        if (c != kEof)
            --p_;
    }
    bool fail() {
        failed_ = true;
        return false;
    }
    bool convert(const char* buf, int n, double& out) {
        double value;
        if (!fastDecimal(buf, n, value) && !cNumber(buf, n, value))
            return fail();
        out = value;
        ++assigned_;
        return true;
    }

    const char* p_;
    bool failed_ = false;
    int assigned_ = 0;
};

} // namespace

int scanLine1(const char* line, Line1Fields& f, CatalogueNumbers numbers) {
    Scanner s(line);
    s.integer(2, f.cardnumb) && s.catalogueNumber(f.satnum, numbers) &&
        s.character(f.classification) && s.word(10, f.intldesg) && s.integer(2, f.epochyr) &&
        s.floating(12, f.epochdays) && s.floating(11, f.ndot) && s.floating(7, f.nddot) &&
        s.integer(2, f.nexp) && s.floating(7, f.bstar) && s.integer(2, f.ibexp) &&
        s.integer(2, f.numb) && s.integer(6, f.elnum);
    return s.assigned();
}

int scanLine2(const char* line, bool wide_mean_motion, Line2Fields& f, CatalogueNumbers numbers) {
    Scanner s(line);
    s.integer(2, f.cardnumb) && s.catalogueNumber(f.satnum, numbers) && s.floating(9, f.inclo) &&
        s.floating(9, f.nodeo) && s.floating(8, f.ecco) && s.floating(9, f.argpo) &&
        s.floating(9, f.mo) && s.floating(wide_mean_motion ? 11 : 10, f.no) &&
        s.integer(6, f.revnum);
    return s.assigned();
}

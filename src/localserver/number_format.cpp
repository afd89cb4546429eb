// Number format models: TO_CHAR(number, format) and TO_NUMBER(text, format).
#include "localserver/number_format.h"

#include <algorithm>
#include <cctype>

#include "localserver/errors.h"

namespace malvorn::localserver {
namespace {

[[noreturn]] void invalidModel() {
    oraThrow(1481, "invalid number format model");
}

// A format model cut into its parts.
struct Mask {
    bool fillMode = false;  // FM: no padding blanks, no trailing zeros of 9s
    bool dollar = false;
    enum class Sign { kDefault, kLeadingS, kTrailingS, kMinus, kBrackets } sign = Sign::kDefault;
    std::string whole;     // 9, 0 and group separators before the point
    std::string fraction;  // 9 and 0 after it
    bool point = false;

    int wholeDigits() const {
        return static_cast<int>(
            std::count_if(whole.begin(), whole.end(), [](char c) { return c == '9' || c == '0'; }));
    }
    // Characters of the result without FM, for the '#' of a number too long.
    std::size_t width() const {
        std::size_t w = whole.size() + fraction.size() + (point ? 1 : 0) + (dollar ? 1 : 0);
        return w + (sign == Sign::kBrackets ? 2 : 1);
    }
};

Mask parseMask(const std::string& format) {
    std::string f;
    for (const char c : format)
        f += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    Mask m;
    std::size_t at = 0;
    auto take = [&](const char* word) {
        const std::string w(word);
        if (f.compare(at, w.size(), w) != 0)
            return false;
        at += w.size();
        return true;
    };
    m.fillMode = take("FM");
    if (take("S"))
        m.sign = Mask::Sign::kLeadingS;
    m.dollar = take("$");
    for (; at < f.size(); ++at) {
        const char c = f[at];
        if (c == '9' || c == '0') {
            (m.point ? m.fraction : m.whole) += c;
        } else if ((c == ',' || c == 'G') && !m.point && !m.whole.empty()) {
            m.whole += ',';
        } else if ((c == '.' || c == 'D') && !m.point) {
            m.point = true;
        } else {
            break;
        }
    }
    if (m.sign == Mask::Sign::kDefault) {
        if (take("MI"))
            m.sign = Mask::Sign::kMinus;
        else if (take("PR"))
            m.sign = Mask::Sign::kBrackets;
        else if (take("S"))
            m.sign = Mask::Sign::kTrailingS;
    }
    if (at != f.size() || (m.whole.empty() && m.fraction.empty()) ||
        (!m.whole.empty() && m.whole.back() == ','))
        invalidModel();
    return m;
}

// The whole part laid into the mask's positions: blanks before the first
// digit shown, a separator only after a digit.
std::string wholePart(const Mask& m, const std::string& digits) {
    const int positions = m.wholeDigits();
    const std::size_t firstZero = m.whole.find('0');
    int shown = static_cast<int>(digits.size());
    if (firstZero != std::string::npos) {
        const auto before = std::count_if(m.whole.begin(), m.whole.begin() + firstZero,
                                          [](char c) { return c == '9'; });
        shown = std::max(shown, positions - static_cast<int>(before));
    }
    // Zero shows one digit unless the fraction's digits show it.
    if (shown == 0 && positions > 0 && m.fraction.empty())
        shown = 1;
    std::string out;
    int position = 0;
    for (const char c : m.whole) {
        const bool visible = position > positions - shown - (c == ',' ? 0 : 1);
        if (c == ',') {
            out += visible ? ',' : ' ';
            continue;
        }
        const int fromRight = positions - position++;
        const int digitIndex = static_cast<int>(digits.size()) - fromRight;
        out += !visible          ? ' '
               : digitIndex >= 0 ? digits[static_cast<std::size_t>(digitIndex)]
                                 : '0';
    }
    return out;
}

}  // namespace

std::string formatNumberWithMask(const Number& value, const std::string& format) {
    const Mask m = parseMask(format);
    value.requireFinite();  // a mask has no place for Inf or Nan
    const Number rounded = value.rounded(static_cast<int>(m.fraction.size())).abs();
    std::string text = rounded.text();
    const std::size_t dot = text.find('.');
    std::string digits = text.substr(0, dot);
    std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
    if (digits == "0")
        digits.clear();
    fraction.resize(m.fraction.size(), '0');
    if (static_cast<int>(digits.size()) > m.wholeDigits())
        return std::string(m.width(), '#');
    const bool negative = value.negative() && !rounded.isZero();
    std::string body = wholePart(m, digits);
    if (m.fillMode) {
        // FM drops the zeros the 9s of the fraction would show at its end.
        std::size_t keep = fraction.size();
        while (keep > 0 && m.fraction[keep - 1] == '9' && fraction[keep - 1] == '0')
            --keep;
        fraction.resize(keep);
    }
    if (m.point)
        body += "." + fraction;
    // The sign and the dollar go just before the first character shown.
    const std::size_t first = std::min(body.find_first_not_of(' '), body.size());
    std::string lead = m.dollar ? "$" : "";
    std::string trail;
    switch (m.sign) {
        case Mask::Sign::kDefault:
            lead = (negative ? "-" : " ") + lead;
            break;
        case Mask::Sign::kLeadingS:
            lead = (negative ? "-" : "+") + lead;
            break;
        case Mask::Sign::kTrailingS:
            trail = negative ? "-" : "+";
            break;
        case Mask::Sign::kMinus:
            trail = negative ? "-" : " ";
            break;
        case Mask::Sign::kBrackets:
            lead = (negative ? "<" : " ") + lead;
            trail = negative ? ">" : " ";
            break;
    }
    std::string out = body.substr(0, first) + lead + body.substr(first) + trail;
    if (m.fillMode) {
        out.erase(0, out.find_first_not_of(' '));
        out.erase(out.find_last_not_of(' ') + 1);
    }
    return out;
}

Number parseNumberWithMask(const std::string& text, const std::string& format) {
    const Mask m = parseMask(format);
    std::string t = text;
    t.erase(0, t.find_first_not_of(' '));
    t.erase(t.find_last_not_of(' ') + 1);
    bool negative = false;
    if (m.sign == Mask::Sign::kBrackets && t.size() > 1 && t.front() == '<' && t.back() == '>') {
        t = t.substr(1, t.size() - 2);
        negative = true;
    } else if ((m.sign == Mask::Sign::kMinus || m.sign == Mask::Sign::kTrailingS) && !t.empty() &&
               (t.back() == '-' || t.back() == '+')) {
        negative = t.back() == '-';
        t.pop_back();
    } else if ((m.sign == Mask::Sign::kDefault || m.sign == Mask::Sign::kLeadingS) && !t.empty() &&
               (t.front() == '-' || t.front() == '+')) {
        negative = t.front() == '-';
        t.erase(0, 1);
    }
    if (m.dollar && !t.empty() && t.front() == '$')
        t.erase(0, 1);
    std::string plain;
    int whole = 0;
    int fraction = 0;
    bool point = false;
    for (const char c : t) {
        if (c == ',' && !point && m.whole.find(',') != std::string::npos && whole > 0)
            continue;
        if (c == '.' && m.point && !point) {
            point = true;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            ++(point ? fraction : whole);
        } else {
            oraThrow(1722, "invalid number");
        }
        plain += c;
    }
    if (whole > m.wholeDigits() || fraction > static_cast<int>(m.fraction.size()) ||
        whole + fraction == 0)
        oraThrow(1722, "invalid number");
    const auto number = Number::parse(plain);
    if (!number)
        oraThrow(1722, "invalid number");
    return negative ? number->negated() : *number;
}

}  // namespace malvorn::localserver

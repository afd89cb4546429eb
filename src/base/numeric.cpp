#include "base/numeric.h"

namespace malvorn::base {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

bool gfIsNumericText(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);

    std::size_t i = 0;
    const auto at = [&](std::size_t k) { return k < text.size() ? text[k] : '\0'; };
    if (at(i) == '+' || at(i) == '-')
        ++i;

    std::size_t digits = 0;
    while (isDigit(at(i)))
        ++i, ++digits;
    if (at(i) == '.') {
        ++i;
        while (isDigit(at(i)))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;

    if (at(i) == 'e' || at(i) == 'E') {
        ++i;
        if (at(i) == '+' || at(i) == '-')
            ++i;
        std::size_t exponentDigits = 0;
        while (isDigit(at(i)))
            ++i, ++exponentDigits;
        if (exponentDigits == 0)
            return false;
    }
    return i == text.size();
}

std::string gfNullToValue(const std::optional<std::string>& valueText) {
    return std::string(
        gfNullToValueView(valueText ? std::optional<std::string_view>(*valueText) : std::nullopt));
}

std::string_view gfNullToValueView(std::optional<std::string_view> valueText) {
    if (!valueText || !gfIsNumericText(*valueText))
        return "0";
    return *valueText;
}

}  // namespace malvorn::base

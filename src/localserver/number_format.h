#pragma once

#include <string>

#include "localserver/number.h"

namespace malvorn::localserver {

// TO_CHAR(number, format) with the elements 9 0 , G . D $ S MI PR and the FM
// prefix; '#' in every position when the number does not fit. Other
// elements are ORA-01481.
std::string formatNumberWithMask(const Number& value, const std::string& format);
// TO_NUMBER(text, format) with the same elements; ORA-01722 for text the
// format does not describe.
Number parseNumberWithMask(const std::string& text, const std::string& format);

}  // namespace malvorn::localserver

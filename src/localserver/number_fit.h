#pragma once

// How a NUMBER or FLOAT column fits the numbers stored in it, decided once
// per column: a batch checks the same column for every row.
#include <cstdint>
#include <string>

#include "localserver/number.h"
#include "localserver/values.h"

namespace malvorn::localserver {

struct NumberFit {
    // NUMBER(p) and NUMBER(p,s) round and check; FLOAT and NUMBER keep what
    // the number holds.
    bool constrained = false;
    int scale = 0;
    int precision = 38;
    static NumberFit of(const ColumnDef& column);
};

// Rounds to the scale and checks the precision (ORA-01438); ORA-01426 for an
// infinity or NaN.
void fitNumber(Number& number, const NumberFit& fit);

// The key of Number::fromScaled(units, scale) fitted by `fit`, made from the
// integer itself: integers, currency and Yes/No come so for every row of a
// copy. False where the number needs the general way (a scale outside 0 to
// 18, more digits than the column holds), which also gives its error.
bool fittedScaledKeyInto(std::int64_t units, int scale, const NumberFit& fit, std::string& key);

// The key of the number `text` reads, for a column that keeps every digit
// (FLOAT, NUMBER), the digits taken straight from the text: a copy's doubles
// come as to_chars writes them, [-]digits[.digits][e[+|-]digits]. False for
// anything else (a plus sign, blanks, over 38 digits, near the ends of the
// range, a column that rounds), which the general way reads.
bool plainTextKeyInto(std::string_view text, const NumberFit& fit, std::string& key);

}  // namespace malvorn::localserver

// A date's stored text written digit by digit against the same text from
// printf, at the ends of each field's range and past them.
#include <gtest/gtest.h>

#include <cstdio>

#include "localserver/values.h"

namespace malvorn::localserver {
namespace {

std::string printed(const DateTime& d) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day,
                  d.hour, d.minute, d.second);
    return text;
}

TEST(StoredDateText, IsWhatPrintfWrites) {
    const struct {
        const char* what;
        DateTime date;
    } cases[] = {
        {"first day", {1, 1, 1, 0, 0, 0}},
        {"last second", {9999, 12, 31, 23, 59, 59}},
        {"each digit differs", {1234, 5, 6, 7, 8, 9}},
        {"two-digit fields", {2010, 10, 20, 10, 30, 50}},
        {"zero year", {0, 0, 0, 0, 0, 0}},
        {"largest two digits", {99, 99, 99, 99, 99, 99}},
        {"five-digit year", {10000, 1, 1, 0, 0, 0}},
        {"negative year", {-1, 1, 1, 0, 0, 0}},
        {"three-digit month", {2001, 100, 1, 0, 0, 0}},
        {"negative second", {2001, 1, 1, 0, 0, -1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Written over what the string held: longer, shorter, or as long.
        for (const char* before : {"left over from the value before", "", "ABCDEFGHIJKLMNOPQRS"}) {
            std::string out = before;
            formatStoredDateInto(c.date, out);
            EXPECT_EQ(out, printed(c.date)) << before;
        }
        EXPECT_EQ(formatStoredDate(c.date), printed(c.date));
    }
}

}  // namespace
}  // namespace malvorn::localserver

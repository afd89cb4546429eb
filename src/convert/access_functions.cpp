// Access SQL's functions and date constants as Oracle writes them.
#include <cstdio>
#include <functional>
#include <map>

#include "convert/access_translator.h"

namespace malvorn::convert::access {
namespace {

using Args = std::vector<Expr>;
using Notes = std::vector<std::string>;

[[noreturn]] void refuse(const std::string& what) {
    throw TranslationRefused(what);
}

void arity(const std::string& name, const Args& args, std::size_t least, std::size_t most) {
    if (args.size() < least || args.size() > most)
        refuse("関数 " + name + " の引数の数が翻訳できる形ではありません (" +
               std::to_string(args.size()) + " 個)");
}

Expr call(const std::string& oracle, const Args& args) {
    std::string text = oracle + "(";
    for (std::size_t i = 0; i < args.size(); ++i)
        text += (i ? ", " : "") + args[i].text;
    return {text + ")"};
}

// The interval word of DatePart, DateAdd and DateDiff: a constant only.
std::string interval(const std::string& name, const Expr& e) {
    if (!e.textLiteral)
        refuse("関数 " + name + " の単位が定数ではありません");
    return lower(e.literal);
}

Expr datePart(const Args& a) {
    arity("DatePart", a, 2, 4);
    const std::string unit = interval("DatePart", a[0]);
    static const std::map<std::string, std::string> extract = {
        {"yyyy", "YEAR"}, {"m", "MONTH"}, {"d", "DAY"}};
    static const std::map<std::string, std::string> formats = {
        {"q", "Q"}, {"y", "DDD"}, {"h", "HH24"}, {"n", "MI"}, {"s", "SS"}};
    if (const auto it = extract.find(unit); it != extract.end())
        return {"EXTRACT(" + it->second + " FROM " + a[1].text + ")"};
    if (const auto it = formats.find(unit); it != formats.end())
        return {"TO_NUMBER(TO_CHAR(" + a[1].text + ", '" + it->second + "'))"};
    refuse("DatePart の単位 \"" + unit + "\" は翻訳できません (週と曜日は数え方が違います)");
}

Expr dateAdd(const Args& a) {
    arity("DateAdd", a, 3, 3);
    const std::string unit = interval("DateAdd", a[0]);
    const std::string n = operand(a[1], kMultiply);
    const std::string date = a[2].text;
    static const std::map<std::string, std::string> months = {
        {"yyyy", "12"}, {"q", "3"}, {"m", "1"}};
    static const std::map<std::string, std::string> days = {{"d", ""},
                                                            {"y", ""},
                                                            {"w", ""},
                                                            {"ww", "7 * "},
                                                            {"h", "1 / 24 * "},
                                                            {"n", "1 / 1440 * "},
                                                            {"s", "1 / 86400 * "}};
    if (const auto it = months.find(unit); it != months.end())
        return {"ADD_MONTHS(" + date + ", " + (it->second == "1" ? n : it->second + " * " + n) +
                ")"};
    if (const auto it = days.find(unit); it != days.end())
        return {operand(a[2], kAdd) + " + " + it->second + n, kAdd};
    refuse("DateAdd の単位 \"" + unit + "\" は翻訳できません");
}

// DateDiff counts the boundaries crossed between the two dates.
Expr dateDiff(const Args& a) {
    arity("DateDiff", a, 3, 5);
    const std::string unit = interval("DateDiff", a[0]);
    const std::string from = a[1].text;
    const std::string to = a[2].text;
    const auto year = [](const std::string& d) { return "EXTRACT(YEAR FROM " + d + ")"; };
    const auto part = [](const std::string& d, const char* f) {
        return "TO_NUMBER(TO_CHAR(" + d + ", '" + f + "'))";
    };
    if (unit == "yyyy")
        return {year(to) + " - " + year(from), kAdd};
    if (unit == "q")
        return {"(" + year(to) + " - " + year(from) + ") * 4 + " + part(to, "Q") + " - " +
                    part(from, "Q"),
                kAdd};
    if (unit == "m")
        return {"(" + year(to) + " - " + year(from) + ") * 12 + EXTRACT(MONTH FROM " + to +
                    ") - EXTRACT(MONTH FROM " + from + ")",
                kAdd};
    if (unit == "d" || unit == "y")
        return {"TRUNC(" + to + ") - TRUNC(" + from + ")", kAdd};
    static const std::map<std::string, std::pair<const char*, const char*>> clock = {
        {"h", {"HH24", "24"}}, {"n", {"MI", "1440"}}, {"s", {"SS", "86400"}}};
    if (const auto it = clock.find(unit); it != clock.end())
        return {"ROUND((TRUNC(" + to + ", '" + it->second.first + "') - TRUNC(" + from + ", '" +
                it->second.first + "')) * " + it->second.second + ")"};
    refuse("DateDiff の単位 \"" + unit + "\" は翻訳できません (週の数え方が違います)");
}

// Format's common date and number forms.
Expr format(const Args& a, Notes& notes) {
    arity("Format", a, 2, 2);
    if (!a[1].textLiteral)
        refuse("Format の書式が定数ではありません");
    const std::string f = a[1].literal;
    static const std::map<std::string, std::string> named = {
        {"short date", "YYYY/MM/DD"}, {"long time", "HH24:MI:SS"}, {"short time", "HH24:MI"}};
    if (const auto it = named.find(lower(f)); it != named.end())
        return {"TO_CHAR(" + a[0].text + ", '" + it->second + "')"};
    // Date parts longest first; what is left must be separators.
    static const std::pair<const char*, const char*> parts[] = {
        {"yyyy", "YYYY"}, {"mmmm", "FMMonth"}, {"mmm", "Mon"}, {"yy", "YY"}, {"mm", "MM"},
        {"dd", "DD"},     {"hh", "HH24"},      {"nn", "MI"},   {"ss", "SS"}, {"q", "Q"}};
    std::string oracle;
    for (std::size_t i = 0; i < f.size();) {
        bool matched = false;
        for (const auto& [access, ora] : parts) {
            const std::string word = access;
            if (lower(f.substr(i, word.size())) == word) {
                oracle += ora;
                i += word.size();
                matched = true;
                break;
            }
        }
        if (matched)
            continue;
        if (std::string("/-:. ").find(f[i]) == std::string::npos)
            refuse("Format の書式 \"" + f + "\" は翻訳できません");
        oracle += f[i++];
    }
    notes.push_back(
        "Format は Oracle の TO_CHAR にしました (月の名前は Oracle の言語設定に"
        "よります)");
    return {"TO_CHAR(" + a[0].text + ", '" + oracle + "')"};
}

Expr iif(const Args& a) {
    arity("IIf", a, 3, 3);
    return {"CASE WHEN " + a[0].text + " THEN " + a[1].text + " ELSE " + a[2].text + " END"};
}

Expr instr(const Args& a, Notes& notes) {
    arity("InStr", a, 2, 3);
    notes.push_back(
        "InStr は Access では大文字と小文字を区別しませんが、Oracle の INSTR は"
        "区別します");
    if (a.size() == 2)
        return call("INSTR", a);
    return {"INSTR(" + a[1].text + ", " + a[2].text + ", " + a[0].text + ")"};
}

using Handler = std::function<Expr(const Args&, Notes&)>;

// Functions that keep their arguments and change only their name.
const std::map<std::string, std::pair<std::string, std::pair<std::size_t, std::size_t>>>&
renamed() {
    static const std::map<std::string, std::pair<std::string, std::pair<std::size_t, std::size_t>>>
        table = {{"sum", {"SUM", {1, 1}}},      {"avg", {"AVG", {1, 1}}},
                 {"count", {"COUNT", {1, 1}}},  {"min", {"MIN", {1, 1}}},
                 {"max", {"MAX", {1, 1}}},      {"stdev", {"STDDEV", {1, 1}}},
                 {"var", {"VARIANCE", {1, 1}}}, {"ucase", {"UPPER", {1, 1}}},
                 {"lcase", {"LOWER", {1, 1}}},  {"trim", {"TRIM", {1, 1}}},
                 {"ltrim", {"LTRIM", {1, 1}}},  {"rtrim", {"RTRIM", {1, 1}}},
                 {"len", {"LENGTH", {1, 1}}},   {"mid", {"SUBSTR", {2, 3}}},
                 {"abs", {"ABS", {1, 1}}},      {"sgn", {"SIGN", {1, 1}}},
                 {"sqr", {"SQRT", {1, 1}}},     {"int", {"FLOOR", {1, 1}}},
                 {"fix", {"TRUNC", {1, 1}}},    {"round", {"ROUND", {1, 2}}},
                 {"nz", {"NVL", {2, 2}}},       {"cstr", {"TO_CHAR", {1, 1}}}};
    return table;
}

const std::map<std::string, Handler>& handlers() {
    static const std::map<std::string, Handler> table = {
        {"iif", [](const Args& a, Notes&) { return iif(a); }},
        {"isnull",
         [](const Args& a, Notes&) {
             arity("IsNull", a, 1, 1);
             return Expr{operand(a[0], kAdd) + " IS NULL", kCompare};
         }},
        {"date",
         [](const Args& a, Notes&) {
             arity("Date", a, 0, 0);
             return Expr{"TRUNC(SYSDATE)"};
         }},
        {"now",
         [](const Args& a, Notes&) {
             arity("Now", a, 0, 0);
             return Expr{"SYSDATE"};
         }},
        {"year",
         [](const Args& a, Notes&) {
             arity("Year", a, 1, 1);
             return Expr{"EXTRACT(YEAR FROM " + a[0].text + ")"};
         }},
        {"month",
         [](const Args& a, Notes&) {
             arity("Month", a, 1, 1);
             return Expr{"EXTRACT(MONTH FROM " + a[0].text + ")"};
         }},
        {"day",
         [](const Args& a, Notes&) {
             arity("Day", a, 1, 1);
             return Expr{"EXTRACT(DAY FROM " + a[0].text + ")"};
         }},
        {"datepart", [](const Args& a, Notes&) { return datePart(a); }},
        {"dateadd", [](const Args& a, Notes&) { return dateAdd(a); }},
        {"datediff", [](const Args& a, Notes&) { return dateDiff(a); }},
        {"format", format},
        {"instr", instr},
        {"left",
         [](const Args& a, Notes&) {
             arity("Left", a, 2, 2);
             return Expr{"SUBSTR(" + a[0].text + ", 1, " + a[1].text + ")"};
         }},
        {"right",
         [](const Args& a, Notes&) {
             arity("Right", a, 2, 2);
             // SUBSTR from the end gives nothing when asked for more than there is.
             return Expr{"SUBSTR(" + a[0].text + ", GREATEST(LENGTH(" + a[0].text + ") - " +
                         operand(a[1], kMultiply) + " + 1, 1))"};
         }},
        {"ccur",
         [](const Args& a, Notes&) {
             arity("CCur", a, 1, 1);
             return Expr{"ROUND(" + a[0].text + ", 4)"};
         }},
        {"cdbl",
         [](const Args& a, Notes&) {
             arity("CDbl", a, 1, 1);
             return Expr{"(" + a[0].text + ")"};
         }},
        {"first",
         [](const Args& a, Notes& notes) {
             arity("First", a, 1, 1);
             notes.push_back("First は Oracle に同じものがなく MIN にしました");
             return call("MIN", a);
         }},
        {"last",
         [](const Args& a, Notes& notes) {
             arity("Last", a, 1, 1);
             notes.push_back("Last は Oracle に同じものがなく MAX にしました");
             return call("MAX", a);
         }},
    };
    return table;
}

}  // namespace

Expr translateFunction(const std::string& written, const std::vector<Expr>& args,
                       std::vector<std::string>& notes) {
    const std::string name = lower(written);
    if (const auto it = renamed().find(name); it != renamed().end()) {
        arity(written, args, it->second.second.first, it->second.second.second);
        return call(it->second.first, args);
    }
    if (const auto it = handlers().find(name); it != handlers().end())
        return it->second(args, notes);
    refuse("関数 " + written + " は翻訳できません");
}

std::string dateLiteral(const std::string& text) {
    int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
    char meridiem[3] = {0, 0, 0};
    const int read = std::sscanf(text.c_str(), "%d/%d/%d %d:%d:%d %2s", &month, &day, &year, &hour,
                                 &minute, &second, meridiem);
    if (read < 3 || month < 1 || month > 12 || day < 1 || day > 31 || year < 0 || hour > 23 ||
        minute > 59 || second > 59)
        refuse("日付の定数 #" + text + "# は翻訳できません");
    // Two-digit years as Access reads them: 00-29 this century, 30-99 the last.
    if (year < 100)
        year += year < 30 ? 2000 : 1900;
    const std::string m = lower(meridiem);
    if (m == "pm" && hour < 12)
        hour += 12;
    else if (m == "am" && hour == 12)
        hour = 0;
    char out[64];
    if (read <= 3) {
        std::snprintf(out, sizeof out, "DATE '%04d-%02d-%02d'", year, month, day);
    } else {
        std::snprintf(out, sizeof out,
                      "TO_DATE('%04d-%02d-%02d %02d:%02d:%02d', 'YYYY-MM-DD HH24:MI:SS')", year,
                      month, day, hour, minute, second);
    }
    return out;
}

}  // namespace malvorn::convert::access

// CREATE, ALTER and DROP SEQUENCE.
#include "localserver/parser_impl.h"

namespace malvorn::localserver::parsing {

// An optionally signed integer of any length, as its text ("-5", "12").
std::string Parser::signedInteger() {
    std::string sign;
    if (acceptSymbol("-"))
        sign = "-";
    else
        acceptSymbol("+");
    const Token& t = peek();
    if (t.kind != Kind::kNumber || t.text.find_first_not_of("0123456789") != std::string::npos)
        oraThrow(2017, "integer value required");
    return sign + take().text;
}

namespace {

// Each option once: a second one contradicts or repeats the first.
template <typename T>
void once(const std::optional<T>& option, int code, const char* wording) {
    if (option)
        oraThrow(code, wording);
}

}  // namespace

// The options after the sequence's name, in any order.
ast::SequenceOptions Parser::sequenceOptions(bool alter) {
    ast::SequenceOptions o;
    for (;;) {
        if (acceptWord("START")) {
            if (alter && !o.restart)
                oraThrow(2283, "cannot alter starting sequence number");
            expectWord("WITH");
            once(o.startWith, 2285, "duplicate START WITH clauses");
            o.startWith = signedInteger();
        } else if (alter && acceptWord("RESTART")) {
            o.restart = true;
        } else if (acceptWord("INCREMENT")) {
            expectWord("BY");
            once(o.incrementBy, 2284, "duplicate INCREMENT BY clauses");
            o.incrementBy = signedInteger();
        } else if (acceptWord("MAXVALUE") || acceptWord("NOMAXVALUE")) {
            once(o.maxValue, 2278, "duplicate or conflicting MAXVALUE clauses");
            o.maxValue = tokens_[pos_ - 1].isWord("MAXVALUE") ? signedInteger() : std::string();
        } else if (acceptWord("MINVALUE") || acceptWord("NOMINVALUE")) {
            once(o.minValue, 2279, "duplicate or conflicting MINVALUE clauses");
            o.minValue = tokens_[pos_ - 1].isWord("MINVALUE") ? signedInteger() : std::string();
        } else if (acceptWord("CYCLE") || acceptWord("NOCYCLE")) {
            once(o.cycle, 2280, "duplicate or conflicting CYCLE clauses");
            o.cycle = tokens_[pos_ - 1].isWord("CYCLE");
        } else if (acceptWord("CACHE")) {
            once(o.cache, 2281, "duplicate or conflicting CACHE clauses");
            o.cache = signedInteger();
        } else if (acceptWord("NOCACHE")) {
            once(o.cache, 2281, "duplicate or conflicting CACHE clauses");
            o.cache = "0";
        } else if (peek().isWord("SCALE") || peek().isWord("SESSION")) {
            oraThrow(3001, "unimplemented feature");
        } else if (!acceptWord("ORDER") && !acceptWord("NOORDER") && !acceptWord("KEEP") &&
                   !acceptWord("NOKEEP") && !acceptWord("NOSCALE") && !acceptWord("GLOBAL")) {
            return o;
        }
    }
}

// After CREATE SEQUENCE.
ast::CreateSequence Parser::createSequence() {
    ast::CreateSequence cs;
    cs.sequence = tableRef();
    cs.options = sequenceOptions(false);
    return cs;
}

// At ALTER SEQUENCE: at least one option.
ast::AlterSequence Parser::alterSequence() {
    take();
    take();
    ast::AlterSequence as;
    as.sequence = tableRef();
    const std::size_t before = pos_;
    as.options = sequenceOptions(true);
    if (pos_ == before)
        oraThrow(2286, "no options specified for ALTER SEQUENCE");
    return as;
}

}  // namespace malvorn::localserver::parsing

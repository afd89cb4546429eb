// Recognising the copy's next INSERT by its bytes: only the literals are read.
#include "localserver/insert_template.h"

#include "oracle/session.h"

namespace malvorn::localserver {
namespace {

// How a literal begins: a quote, a point or a digit. A literal that began
// with a point may follow a name where one that begins with a digit would
// continue it, so the two must agree for the bytes before it to read the same.
int literalStart(char c) {
    if (c == '\'')
        return 1;
    if (c == '.')
        return 2;
    return c >= '0' && c <= '9' ? 3 : 0;
}

}  // namespace

void InsertTemplate::remember(const std::string& statement, const std::vector<Token>& tokens,
                              const std::string& shape) {
    text_ = statement;
    shape_ = shape;
    tokens_ = tokens;
    begins_.clear();
    ends_.clear();
    slots_.clear();
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        begins_.push_back(t.begin);
        ends_.push_back(t.end);
        if (t.kind == Token::Kind::kString || t.kind == Token::Kind::kNumber)
            slots_.push_back({i, t.begin, t.end, t.text.empty()});
    }
}

void InsertTemplate::forget() {
    text_.clear();
    shape_.clear();
    tokens_.clear();
    slots_.clear();
}

bool InsertTemplate::matchSlot(const std::string& statement, const Slot& slot, std::size_t& at) {
    const int start = literalStart(text_[slot.begin]);
    if (at >= statement.size() || literalStart(statement[at]) != start)
        return false;
    Token& t = tokens_[slot.token];
    const std::size_t end = scanLiteral(statement, at, t);
    if (end == at || t.text.empty() != slot.empty)
        return false;
    t.begin = at;
    t.end = end;
    at = end;
    return true;
}

const std::vector<Token>* InsertTemplate::match(const std::string& statement) {
    if (tokens_.empty())
        return nullptr;
    std::size_t at = 0;    // in statement
    std::size_t from = 0;  // in text_
    std::size_t next = 0;  // the first token not yet placed
    // The tokens between literals move by what the literals before them grew.
    const auto place = [&](std::size_t upTo) {
        for (; next < upTo; ++next) {
            tokens_[next].begin = begins_[next] - from + at;
            tokens_[next].end = ends_[next] - from + at;
        }
    };
    try {
        for (const Slot& slot : slots_) {
            const std::size_t fixed = slot.begin - from;
            if (statement.size() - at < fixed || statement.compare(at, fixed, text_, from, fixed))
                return nullptr;
            place(slot.token);
            at += fixed;
            from = slot.begin;
            if (!matchSlot(statement, slot, at))
                return nullptr;
            next = slot.token + 1;
            from = slot.end;
        }
    } catch (const oracle::OracleError&) {
        return nullptr;
    }
    const std::size_t rest = text_.size() - from;
    if (statement.size() - at != rest || statement.compare(at, rest, text_, from, rest))
        return nullptr;
    place(tokens_.size());
    return &tokens_;
}

}  // namespace malvorn::localserver

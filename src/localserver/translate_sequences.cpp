// S.NEXTVAL and S.CURRVAL: a name of two or three parts ending in NEXTVAL or
// CURRVAL whose qualifier is no table of the query reads a sequence.
#include "base/sql_text.h"
#include "localserver/errors.h"
#include "localserver/local_session.h"
#include "localserver/translator.h"

namespace malvorn::localserver {

std::optional<std::string> Translator::sequenceValue(const ast::Expr& e, SqlType* type) {
    const auto& path = e.path;
    const std::string& pseudo = path.back();
    if (path.size() < 2 || path.size() > 3 || (pseudo != "NEXTVAL" && pseudo != "CURRVAL"))
        return std::nullopt;
    const std::string& qualifier = path[path.size() - 2];
    for (const Translator* t = this; t; t = t->parent_) {
        for (const Source& s : t->sources_) {
            if (s.qualifier == qualifier)
                return std::nullopt;  // a table's column, unknown or not
        }
    }
    ast::TableRef ref;
    ref.name = qualifier;
    if (path.size() == 3)
        ref.schema = path[0];
    const auto id = session_.findSequence(ref);
    if (!id)
        oraThrow(2289, "sequence does not exist");
    if (!sequences_)
        oraThrow(2287, "sequence number not allowed here");
    set(type, SqlType::kNumber);
    const std::string key = std::to_string(*id);
    if (pseudo == "NEXTVAL")
        return "mv_seq_next(" + key + ", random())";
    return "mv_seq_curr(" + key + ", " + base::quoteSqlText(qualifier) + ", random())";
}

}  // namespace malvorn::localserver

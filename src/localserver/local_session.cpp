#include "localserver/local_session.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "localserver/errors.h"
#include "localserver/lexer.h"
#include "localserver/local_server.h"
#include "localserver/parser.h"
#include "localserver/password.h"

namespace malvorn::localserver {
namespace {

namespace fs = std::filesystem;

const char* const kRoles[] = {"CONNECT", "RESOURCE", "DBA"};
const char* const kTablespaces[] = {"SYSTEM", "SYSAUX", "USERS", "INDX", "TEMP"};

bool isRole(const std::string& name) {
    for (const char* role : kRoles) {
        if (name == role)
            return true;
    }
    return false;
}

void checkTablespace(const std::string& name) {
    for (const char* t : kTablespaces) {
        if (name == t)
            return;
    }
    oraThrow(959, "tablespace '" + name + "' does not exist");
}

std::string quoteText(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

// Creates a file readable by its owner only, so SQLite (and its -wal and
// -shm files, which copy the mode) never exposes the hashes or the rows.
void createPrivateFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
}

[[noreturn]] void cannotReach() {
    oraThrow(12154, "TNS:could not resolve the connect identifier specified");
}

oracle::Value toValue(const SqlValue& v) {
    if (std::holds_alternative<std::monostate>(v))
        return std::nullopt;
    return formatNumber(v);
}

std::string joinNames(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& n : names)
        out += (out.empty() ? "" : "\x1f") + n;
    return out;
}

std::vector<std::string> splitNames(const std::string& joined) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = joined.find('\x1f', start);
        out.push_back(joined.substr(start, at - start));
        if (at == std::string::npos)
            return out;
        start = at + 1;
    }
}

std::int64_t daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = static_cast<int>(y - era * 400);
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

DateTime civilFromSeconds(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int doe = static_cast<int>(days - era * 146097);
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    DateTime d;
    d.day = doy - (153 * mp + 2) / 5 + 1;
    d.month = mp < 10 ? mp + 3 : mp - 9;
    d.year = static_cast<int>(yoe + era * 400 + (d.month <= 2));
    d.hour = static_cast<int>(rest / 3600);
    d.minute = static_cast<int>(rest % 3600 / 60);
    d.second = static_cast<int>(rest % 60);
    return d;
}

std::int64_t secondsOf(const DateTime& d) {
    return daysFromCivil(d.year, d.month, d.day) * 86400 + d.hour * 3600 + d.minute * 60 + d.second;
}

DateTime storedDate(const SqlValue& v) {
    if (const auto* s = std::get_if<std::string>(&v)) {
        if (auto d = readStoredDate(*s))
            return *d;
        return parseDateLiteral(*s);
    }
    oraThrow(932, "inconsistent datatypes: expected DATE got NUMBER");
}

bool isNull(const SqlValue& v) {
    return std::holds_alternative<std::monostate>(v);
}

SqlValue toNumberValue(const SqlValue& v) {
    if (const auto* s = std::get_if<std::string>(&v)) {
        auto n = parseNumber(*s);
        if (!n)
            oraThrow(1722, "invalid number");
        return *n;
    }
    return v;
}

SqlValue wholeOrDouble(double d) {
    if (std::isfinite(d) && std::floor(d) == d && std::fabs(d) < 9.0e15)
        return static_cast<std::int64_t>(d);
    return d;
}

// The dictionary views: name, DBA only, columns (name, type), and the SQL
// over the catalog that answers them for the connected user.
struct ViewDef {
    const char* name;
    bool dbaOnly;
    std::vector<std::pair<const char*, const char*>> columns;
};

const std::vector<ViewDef>& viewDefs() {
    static const std::vector<ViewDef> specs = {
        {"DUAL", false, {{"DUMMY", "VARCHAR2"}}},
        {"USER_TABLES", false, {{"TABLE_NAME", "VARCHAR2"}, {"TABLESPACE_NAME", "VARCHAR2"}}},
        {"ALL_TABLES",
         false,
         {{"OWNER", "VARCHAR2"}, {"TABLE_NAME", "VARCHAR2"}, {"TABLESPACE_NAME", "VARCHAR2"}}},
        {"DBA_TABLES",
         true,
         {{"OWNER", "VARCHAR2"}, {"TABLE_NAME", "VARCHAR2"}, {"TABLESPACE_NAME", "VARCHAR2"}}},
        {"USER_TAB_COLUMNS",
         false,
         {{"TABLE_NAME", "VARCHAR2"},
          {"COLUMN_NAME", "VARCHAR2"},
          {"DATA_TYPE", "VARCHAR2"},
          {"DATA_LENGTH", "NUMBER"},
          {"DATA_PRECISION", "NUMBER"},
          {"DATA_SCALE", "NUMBER"},
          {"NULLABLE", "VARCHAR2"},
          {"COLUMN_ID", "NUMBER"},
          {"DATA_DEFAULT", "VARCHAR2"},
          {"CHAR_LENGTH", "NUMBER"},
          {"CHAR_USED", "VARCHAR2"}}},
        {"ALL_TAB_COLUMNS",
         false,
         {{"OWNER", "VARCHAR2"},
          {"TABLE_NAME", "VARCHAR2"},
          {"COLUMN_NAME", "VARCHAR2"},
          {"DATA_TYPE", "VARCHAR2"},
          {"DATA_LENGTH", "NUMBER"},
          {"DATA_PRECISION", "NUMBER"},
          {"DATA_SCALE", "NUMBER"},
          {"NULLABLE", "VARCHAR2"},
          {"COLUMN_ID", "NUMBER"},
          {"DATA_DEFAULT", "VARCHAR2"},
          {"CHAR_LENGTH", "NUMBER"},
          {"CHAR_USED", "VARCHAR2"}}},
        {"USER_CONSTRAINTS",
         false,
         {{"OWNER", "VARCHAR2"},
          {"CONSTRAINT_NAME", "VARCHAR2"},
          {"CONSTRAINT_TYPE", "VARCHAR2"},
          {"TABLE_NAME", "VARCHAR2"},
          {"INDEX_NAME", "VARCHAR2"}}},
        {"DBA_USERS",
         true,
         {{"USERNAME", "VARCHAR2"},
          {"USER_ID", "NUMBER"},
          {"ACCOUNT_STATUS", "VARCHAR2"},
          {"DEFAULT_TABLESPACE", "VARCHAR2"},
          {"TEMPORARY_TABLESPACE", "VARCHAR2"},
          {"CREATED", "DATE"}}},
        {"ALL_USERS",
         false,
         {{"USERNAME", "VARCHAR2"}, {"USER_ID", "NUMBER"}, {"CREATED", "DATE"}}},
        {"USER_USERS",
         false,
         {{"USERNAME", "VARCHAR2"},
          {"USER_ID", "NUMBER"},
          {"ACCOUNT_STATUS", "VARCHAR2"},
          {"DEFAULT_TABLESPACE", "VARCHAR2"},
          {"TEMPORARY_TABLESPACE", "VARCHAR2"},
          {"CREATED", "DATE"}}},
        {"USER_ROLE_PRIVS", false, {{"USERNAME", "VARCHAR2"}, {"GRANTED_ROLE", "VARCHAR2"}}},
        {"DBA_ROLE_PRIVS", true, {{"GRANTEE", "VARCHAR2"}, {"GRANTED_ROLE", "VARCHAR2"}}},
    };
    return specs;
}

std::string viewSql(const std::string& view, const std::string& me, bool dba) {
    const std::string owner = quoteText(me);
    const std::string visible = dba ? std::string("1") : "t.owner = " + owner;
    const std::string columns =
        "c.name, c.data_type, c.data_length, c.data_precision, c.data_scale, c.nullable, "
        "c.column_id, c.default_text, c.char_length, c.char_used "
        "FROM main.mv_table t JOIN main.mv_column c ON c.table_id = t.id";
    if (view == "DUAL")
        return "SELECT 'X'";
    if (view == "USER_TABLES")
        return "SELECT name, tablespace FROM main.mv_table WHERE owner = " + owner;
    if (view == "ALL_TABLES" || view == "DBA_TABLES")
        return "SELECT owner, name, tablespace FROM main.mv_table t WHERE " + visible;
    if (view == "USER_TAB_COLUMNS")
        return "SELECT t.name, " + columns + " WHERE t.owner = " + owner;
    if (view == "ALL_TAB_COLUMNS")
        return "SELECT t.owner, t.name, " + columns + " WHERE " + visible;
    if (view == "USER_CONSTRAINTS")
        return "SELECT k.owner, k.name, k.kind, t.name, k.name FROM main.mv_constraint k JOIN "
               "main.mv_table t ON t.id = k.table_id WHERE k.owner = " +
               owner;
    if (view == "DBA_USERS" || view == "USER_USERS") {
        return "SELECT name, id, 'OPEN', default_ts, temp_ts, created FROM main.mv_user" +
               (view == "USER_USERS" ? " WHERE name = " + owner : std::string());
    }
    if (view == "ALL_USERS")
        return "SELECT name, id, created FROM main.mv_user";
    if (view == "USER_ROLE_PRIVS")
        return "SELECT u.name, r.role FROM main.mv_role r JOIN main.mv_user u ON u.id = r.user_id "
               "WHERE u.name = " +
               owner;
    return "SELECT u.name, r.role FROM main.mv_role r JOIN main.mv_user u ON u.id = r.user_id";
}

class MemoryResultSet : public oracle::ResultSet {
  public:
    MemoryResultSet(std::vector<std::string> names, std::vector<std::vector<oracle::Value>> rows)
        : names_(std::move(names)), rows_(std::move(rows)) {}
    const std::vector<std::string>& columnNames() const override { return names_; }
    bool next() override {
        if (position_ > rows_.size())
            return false;
        ++position_;
        return position_ <= rows_.size();
    }
    oracle::Value value(std::size_t column) const override {
        if (position_ == 0 || position_ > rows_.size() || column >= names_.size())
            throw oracle::OracleError(oracle::kServerErrorNumber,
                                      oraMessage(1002, "fetch out of sequence"), kServerSource);
        return rows_[position_ - 1][column];
    }
    using oracle::ResultSet::value;

  private:
    std::vector<std::string> names_;
    std::vector<std::vector<oracle::Value>> rows_;
    std::size_t position_ = 0;
};

std::string openCatalog(const std::string& folder) {
    std::error_code ec;
    if (folder.empty())
        cannotReach();
    const bool existed = fs::exists(folder, ec);
    if (!existed) {
        fs::create_directories(folder, ec);
        if (ec)
            cannotReach();
    } else if (!fs::is_directory(folder, ec)) {
        cannotReach();
    }
    const std::string catalog = folder + "/catalog.db";
    if (!fs::exists(catalog, ec)) {
        // A new server: the folder is its owner's alone.
        ::chmod(folder.c_str(), 0700);
        createPrivateFile(catalog);
    }
    return catalog;
}

}  // namespace

// ---------------------------------------------------------------------------
// Connection and login

LocalSession::LocalSession(const std::string& folder, const std::string& user,
                           const std::string& password)
    : folder_(folder), db_(openCatalog(folder)) {
    db_.exec(
        "CREATE TABLE IF NOT EXISTS mv_user(id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT "
        "NULL UNIQUE, hash TEXT NOT NULL, default_ts TEXT, temp_ts TEXT, created TEXT);"
        "CREATE TABLE IF NOT EXISTS mv_role(user_id INTEGER, role TEXT, PRIMARY KEY(user_id, "
        "role));"
        "CREATE TABLE IF NOT EXISTS mv_table(id INTEGER PRIMARY KEY AUTOINCREMENT, owner TEXT, "
        "name TEXT, tablespace TEXT, physical TEXT, UNIQUE(owner, name));"
        "CREATE TABLE IF NOT EXISTS mv_column(table_id INTEGER, column_id INTEGER, name TEXT, "
        "data_type TEXT, data_length INTEGER, data_precision INTEGER, data_scale INTEGER, "
        "nullable TEXT, char_length INTEGER, char_used TEXT, default_text TEXT, "
        "PRIMARY KEY(table_id, column_id));"
        "CREATE TABLE IF NOT EXISTS mv_constraint(id INTEGER PRIMARY KEY AUTOINCREMENT, owner "
        "TEXT, name TEXT, table_id INTEGER, kind TEXT, columns TEXT, index_tablespace TEXT, "
        "UNIQUE(owner, name));"
        "CREATE TABLE IF NOT EXISTS mv_state(k TEXT PRIMARY KEY, v INTEGER);"
        "INSERT OR IGNORE INTO mv_state VALUES('generation', 0);");
    // The server's LIKE tells upper from lower case.
    db_.exec("PRAGMA case_sensitive_like=ON");
    login(user, password);
    defineFunctions();
    createDictionaryViews();
    attachSchema(me_.id);
}

std::string LocalSession::schemaPath(std::int64_t userId) const {
    return folder_ + "/schema-" + std::to_string(userId) + ".db";
}

std::optional<UserInfo> LocalSession::findUser(const std::string& name) {
    auto& stmt = db_.cached("SELECT id, default_ts FROM mv_user WHERE name = ?1");
    stmt.bind(1, name);
    if (!stmt.step())
        return std::nullopt;
    UserInfo u;
    u.id = stmt.columnInt(0);
    u.name = name;
    u.defaultTablespace = stmt.columnText(1);
    stmt.reset();
    auto& roles = db_.cached("SELECT role FROM mv_role WHERE user_id = ?1");
    roles.bind(1, u.id);
    while (roles.step())
        u.roles.insert(roles.columnText(0));
    roles.reset();
    return u;
}

void LocalSession::login(const std::string& userText, const std::string& password) {
    std::string user = userText;
    if (user.size() >= 2 && user.front() == '"' && user.back() == '"')
        user = user.substr(1, user.size() - 2);
    else
        user = foldName(user);
    if (password.empty())
        oraThrow(1005, "null password given; logon denied");
    if (user.empty())
        oraThrow(1017, "invalid username/password; logon denied");
    {
        SqliteTransaction tx(db_);
        auto& count = db_.cached("SELECT count(*) FROM mv_user");
        count.step();
        const bool fresh = count.columnInt(0) == 0;
        count.reset();
        if (fresh && user == "SYSTEM") {
            // The first SYSTEM login makes the server: SYSTEM gets the
            // password given now.
            auto& add = db_.cached(
                "INSERT INTO mv_user(name, hash, default_ts, temp_ts, created) VALUES('SYSTEM', "
                "?1, 'SYSTEM', 'TEMP', ?2)");
            add.bind(1, hashPassword(password));
            add.bind(2, formatStoredDate(currentDateTime()));
            add.step();
            db_.exec(
                "INSERT INTO mv_role SELECT id, 'CONNECT' FROM mv_user WHERE name = 'SYSTEM';"
                "INSERT INTO mv_role SELECT id, 'RESOURCE' FROM mv_user WHERE name = 'SYSTEM';"
                "INSERT INTO mv_role SELECT id, 'DBA' FROM mv_user WHERE name = 'SYSTEM';");
        }
        tx.commit();
    }
    auto& find = db_.cached("SELECT hash FROM mv_user WHERE name = ?1");
    find.bind(1, user);
    const bool found = find.step();
    const std::string hash = found ? find.columnText(0) : std::string();
    find.reset();
    // An unknown user costs the same hash check as a known one, so the time a
    // refusal takes does not tell which user names exist.
    static const std::string unknownUserHash = hashPassword(randomHex(16));
    const bool passwordMatches = verifyPassword(found ? hash : unknownUserHash, password);
    if (!found || !passwordMatches)
        oraThrow(1017, "invalid username/password; logon denied");
    me_ = *findUser(user);
    if (!me_.roles.count("CONNECT") && !me_.isDba())
        oraThrow(1045, "user " + user + " lacks CREATE SESSION privilege; logon denied");
}

std::string LocalSession::attachSchema(std::int64_t userId) {
    auto it = attached_.find(userId);
    if (it != attached_.end())
        return it->second;
    const std::string path = schemaPath(userId);
    createPrivateFile(path);
    const std::string alias = "s" + std::to_string(userId);
    db_.exec("ATTACH DATABASE " + quoteText(path) + " AS " + alias);
    db_.exec("PRAGMA " + alias + ".journal_mode=WAL");
    db_.exec("PRAGMA " + alias + ".synchronous=NORMAL");
    attached_[userId] = alias;
    return alias;
}

void LocalSession::createDictionaryViews() {
    for (const ViewDef& def : viewDefs()) {
        std::string columns;
        for (std::size_t i = 0; i < def.columns.size(); ++i)
            columns += (i ? ", c" : "c") + std::to_string(i);
        db_.exec("CREATE TEMP VIEW v_" + std::string(def.name) + "(" + columns + ") AS " +
                 viewSql(def.name, me_.name, me_.isDba()));
    }
}

void LocalSession::defineFunctions() {
    db_.defineFunction("mv_put", 4, [this](const std::vector<SqlValue>& a) {
        const auto table = tableById(std::get<std::int64_t>(a[1]));
        if (!table)
            tableDoesNotExist();
        ColumnTarget target;
        target.owner = table->owner;
        target.table = table->name;
        target.column = &table->columns.at(static_cast<std::size_t>(std::get<std::int64_t>(a[2])));
        target.update = std::get<std::int64_t>(a[3]) != 0;
        return coerceForColumn(target, a[0]);
    });
    db_.defineFunction("mv_fail", 1, [](const std::vector<SqlValue>& a) -> SqlValue {
        if (std::get<std::int64_t>(a[0]) == 1427)
            oraThrow(1427, "single-row subquery returns more than one row");
        oraThrow(600, "internal error code, arguments: [mv_fail]");
    });
    db_.defineFunction("mv_num", 1, [](const std::vector<SqlValue>& a) {
        if (const auto* s = std::get_if<std::string>(&a[0]); s && s->empty())
            return SqlValue();
        return toNumberValue(a[0]);
    });
    db_.defineFunction("mv_text", 1, [](const std::vector<SqlValue>& a) {
        if (isNull(a[0]))
            return SqlValue();
        return SqlValue(valueToText(a[0]));
    });
    db_.defineFunction("mv_div", 2, [](const std::vector<SqlValue>& a) {
        if (isNull(a[0]) || isNull(a[1]))
            return SqlValue();
        const double divisor = toDouble(toNumberValue(a[1]));
        if (divisor == 0)
            oraThrow(1476, "divisor is equal to zero");
        return wholeOrDouble(toDouble(toNumberValue(a[0])) / divisor);
    });
    db_.defineFunction("mv_mod", 2, [](const std::vector<SqlValue>& a) {
        if (isNull(a[0]) || isNull(a[1]))
            return SqlValue();
        const double m = toDouble(a[0]);
        const double n = toDouble(a[1]);
        return n == 0 ? a[0] : wholeOrDouble(std::fmod(m, n));
    });
    db_.defineFunction("mv_round", 2, [](const std::vector<SqlValue>& a) {
        if (isNull(a[0]) || isNull(a[1]))
            return SqlValue();
        ColumnDef c;
        c.dataType = "NUMBER";
        c.precision = 38;
        c.scale = static_cast<int>(toDouble(a[1]));
        ColumnTarget t{"", "", &c, false};
        return coerceForColumn(t, a[0]);
    });
    db_.defineFunction("mv_trunc", 1, [](const std::vector<SqlValue>& a) {
        if (isNull(a[0]))
            return SqlValue();
        return wholeOrDouble(std::trunc(toDouble(a[0])));
    });
    db_.defineFunction("mv_concat", 2, [](const std::vector<SqlValue>& a) {
        std::string out = isNull(a[0]) ? std::string() : valueToText(a[0]);
        out += isNull(a[1]) ? std::string() : valueToText(a[1]);
        return out.empty() ? SqlValue() : SqlValue(out);
    });
    db_.defineFunction("mv_length", 1, [](const std::vector<SqlValue>& a) {
        if (isNull(a[0]))
            return SqlValue();
        return SqlValue(static_cast<std::int64_t>(utf8Length(valueToText(a[0]))));
    });
    db_.defineFunction("mv_lengthb", 1, [](const std::vector<SqlValue>& a) {
        if (isNull(a[0]))
            return SqlValue();
        return SqlValue(static_cast<std::int64_t>(valueToText(a[0]).size()));
    });
    db_.defineFunction("mv_to_date", 2, [](const std::vector<SqlValue>& a) {
        if (isNull(a[0]) ||
            (std::holds_alternative<std::string>(a[0]) && std::get<std::string>(a[0]).empty()))
            return SqlValue();
        const std::string text = valueToText(a[0]);
        if (isNull(a[1]))
            return SqlValue(formatStoredDate(parseDateLiteral(text)));
        return SqlValue(formatStoredDate(parseDateWithFormat(text, valueToText(a[1]))));
    });
    db_.defineFunction("mv_to_char", 3, [](const std::vector<SqlValue>& a) {
        if (isNull(a[0]))
            return SqlValue();
        if (std::get<std::int64_t>(a[2]) != 0) {
            const DateTime d = storedDate(a[0]);
            if (isNull(a[1]))
                return SqlValue(formatStoredDate(d));
            return SqlValue(formatDateWithFormat(d, valueToText(a[1])));
        }
        return SqlValue(valueToText(a[0]));
    });
    db_.defineFunction("mv_trunc_date", 1, [](const std::vector<SqlValue>& a) {
        if (isNull(a[0]))
            return SqlValue();
        DateTime d = storedDate(a[0]);
        d.hour = d.minute = d.second = 0;
        return SqlValue(formatStoredDate(d));
    });
    db_.defineFunction("mv_date_add", 2, [](const std::vector<SqlValue>& a) {
        if (isNull(a[0]) || isNull(a[1]))
            return SqlValue();
        const double days = toDouble(a[1]);
        const auto seconds = secondsOf(storedDate(a[0])) + std::llround(days * 86400.0);
        const DateTime d = civilFromSeconds(seconds);
        if (d.year < 1 || d.year > 9999)
            oraThrow(1841, "(full) year must be between -4713 and +9999, and not be 0");
        return SqlValue(formatStoredDate(d));
    });
    db_.defineFunction("mv_date_diff", 2, [](const std::vector<SqlValue>& a) {
        if (isNull(a[0]) || isNull(a[1]))
            return SqlValue();
        const auto diff = secondsOf(storedDate(a[0])) - secondsOf(storedDate(a[1]));
        return wholeOrDouble(static_cast<double>(diff) / 86400.0);
    });
}

// ---------------------------------------------------------------------------
// Tables

void LocalSession::refreshCacheIfStale() {
    auto& stmt = db_.cached("SELECT v FROM mv_state WHERE k = 'generation'");
    stmt.step();
    const std::int64_t generation = stmt.columnInt(0);
    stmt.reset();
    if (generation != generation_) {
        tables_.clear();
        tablesById_.clear();
        generation_ = generation;
    }
}

void LocalSession::bumpGeneration() {
    db_.exec("UPDATE mv_state SET v = v + 1 WHERE k = 'generation'");
}

std::string LocalSession::ownerFor(const ast::TableRef& ref) {
    return ref.schema.empty() ? me_.name : ref.schema;
}

std::shared_ptr<const TableInfo> LocalSession::tableById(std::int64_t id) {
    auto it = tablesById_.find(id);
    if (it != tablesById_.end())
        return it->second;
    auto& stmt = db_.cached("SELECT owner, name FROM mv_table WHERE id = ?1");
    stmt.bind(1, id);
    if (!stmt.step())
        return nullptr;
    ast::TableRef ref{stmt.columnText(0), stmt.columnText(1)};
    stmt.reset();
    if (ref.schema != me_.name && !me_.isDba())
        return nullptr;
    return resolveTable(ref);
}

std::shared_ptr<const TableInfo> LocalSession::resolveTable(const ast::TableRef& ref) {
    const std::string owner = ownerFor(ref);
    auto cached = tables_.find({owner, ref.name});
    if (cached != tables_.end())
        return cached->second;
    const bool dictionary = ref.schema == "SYS" || ref.schema == "PUBLIC";
    if (owner != me_.name && !me_.isDba() && !dictionary) {
        // Without DBA another schema's tables are out of sight.
        tableDoesNotExist();
    }
    auto& stmt = db_.cached(
        "SELECT t.id, t.tablespace, t.physical, u.id FROM mv_table t JOIN mv_user u ON u.name = "
        "t.owner WHERE t.owner = ?1 AND t.name = ?2");
    stmt.bind(1, owner);
    stmt.bind(2, ref.name);
    if (!stmt.step()) {
        stmt.reset();
        if (ref.schema.empty() || dictionary) {
            for (const ViewDef& def : viewDefs()) {
                if (ref.name != def.name)
                    continue;
                if (def.dbaOnly && !me_.isDba())
                    tableDoesNotExist();
                auto view = std::make_shared<TableInfo>();
                view->owner = "SYS";
                view->name = def.name;
                view->sqlName = "temp.v_" + std::string(def.name);
                view->view = true;
                for (const auto& [name, type] : def.columns) {
                    ColumnDef c;
                    c.name = name;
                    c.dataType = type;
                    view->columns.push_back(std::move(c));
                }
                tables_[{owner, ref.name}] = view;
                return view;
            }
        }
        tableDoesNotExist();
    }
    auto info = std::make_shared<TableInfo>();
    info->id = stmt.columnInt(0);
    info->owner = owner;
    info->name = ref.name;
    info->tablespace = stmt.columnText(1);
    const std::string physical = stmt.columnText(2);
    const std::int64_t ownerId = stmt.columnInt(3);
    stmt.reset();
    info->sqlName = attachSchema(ownerId) + "." + physical;
    auto& cols = db_.cached(
        "SELECT name, data_type, data_length, data_precision, data_scale, nullable, char_length, "
        "char_used, default_text FROM mv_column WHERE table_id = ?1 ORDER BY column_id");
    cols.bind(1, info->id);
    while (cols.step()) {
        ColumnDef c;
        c.name = cols.columnText(0);
        c.dataType = cols.columnText(1);
        c.dataLength = static_cast<int>(cols.columnInt(2));
        if (!cols.columnIsNull(3))
            c.precision = static_cast<int>(cols.columnInt(3));
        if (!cols.columnIsNull(4))
            c.scale = static_cast<int>(cols.columnInt(4));
        c.nullable = cols.columnText(5) == "Y";
        c.charLength = static_cast<int>(cols.columnInt(6));
        c.charSemantics = cols.columnText(7) == "C";
        c.defaultText = cols.columnText(8);
        info->columns.push_back(std::move(c));
    }
    cols.reset();
    auto& keys = db_.cached("SELECT name, kind, columns FROM mv_constraint WHERE table_id = ?1");
    keys.bind(1, info->id);
    while (keys.step()) {
        TableInfo::Key key;
        key.name = keys.columnText(0);
        key.primary = keys.columnText(1) == "P";
        for (const auto& column : splitNames(keys.columnText(2)))
            key.columns.push_back(info->findColumn(column));
        info->keys.push_back(std::move(key));
    }
    keys.reset();
    tables_[{owner, ref.name}] = info;
    tablesById_[info->id] = info;
    return info;
}

void LocalSession::requireDba() const {
    if (!me_.isDba())
        insufficientPrivileges();
}

void LocalSession::checkWritable(const TableInfo& table) const {
    if (table.view)
        insufficientPrivileges();
}

[[noreturn]] void LocalSession::rethrow(const SqliteError& e,
                                        const std::shared_ptr<const TableInfo>& table) {
    const std::string message = e.what();
    if (message.rfind("ORA-", 0) == 0)
        oraThrowText(message);
    if (e.primary() == 19 /* SQLITE_CONSTRAINT */ && table) {
        // "UNIQUE constraint failed: t.c0, t.c1": find the key with those columns.
        std::vector<int> columns;
        std::size_t at = message.find(':');
        while (at != std::string::npos) {
            const std::size_t c = message.find(".c", at);
            if (c == std::string::npos)
                break;
            std::size_t end = c + 2;
            int index = 0;
            while (end < message.size() && std::isdigit(static_cast<unsigned char>(message[end])))
                index = index * 10 + (message[end++] - '0');
            columns.push_back(index);
            at = end;
        }
        for (const auto& key : table->keys) {
            if (key.columns == columns)
                oraThrow(1, "unique constraint (" + table->owner + "." + key.name + ") violated");
        }
        oraThrow(1, "unique constraint (" + table->owner + ".SYS_C0000000) violated");
    }
    if (e.primary() == 5 /* SQLITE_BUSY */ || e.primary() == 6 /* SQLITE_LOCKED */)
        oraThrow(54, "resource busy and acquire with NOWAIT specified or timeout expired");
    if (message.rfind("no such table", 0) == 0)
        tableDoesNotExist();
    oraThrow(600, "internal error code, arguments: [" + message + "]");
}

void LocalSession::runStatement(SqliteStatement& stmt,
                                const std::shared_ptr<const TableInfo>& table) {
    try {
        while (stmt.step()) {
        }
    } catch (const SqliteError& e) {
        rethrow(e, table);
    }
}

void LocalSession::createTable(const ast::CreateTable& ct) {
    const std::string owner = ownerFor(ct.table);
    std::optional<UserInfo> ownerInfo =
        owner == me_.name ? std::optional<UserInfo>(me_) : findUser(owner);
    if (owner != me_.name) {
        requireDba();
        if (!ownerInfo)
            oraThrow(1918, "user '" + owner + "' does not exist");
    } else if (!me_.isDba() && !me_.roles.count("RESOURCE")) {
        insufficientPrivileges();
    }
    std::string tablespace = ct.tablespace.empty() ? ownerInfo->defaultTablespace : ct.tablespace;
    checkTablespace(tablespace);
    if (tablespace == "TEMP")
        oraThrow(2195, "Attempt to create PERMANENT object in a TEMPORARY tablespace");

    std::vector<ColumnDef> columns;
    for (const auto& def : ct.columns) {
        ColumnDef c;
        c.name = def.name;
        for (const auto& other : columns) {
            if (other.name == c.name)
                oraThrow(957, "duplicate column name");
        }
        const std::string& t = def.typeName;
        auto needLength = [&](int maximum) {
            if (!def.length)
                oraThrow(906, "missing left parenthesis");
            if (*def.length == 0)
                oraThrow(1723, "zero-length columns are not allowed");
            if (*def.length > maximum)
                oraThrow(910, "specified length too long for its datatype");
            if (def.scale || def.precisionStar)
                oraThrow(907, "missing right parenthesis");
        };
        if (t == "VARCHAR2" || t == "VARCHAR" || t == "NVARCHAR2" || t == "CHAR" || t == "NCHAR") {
            const bool national = t == "NVARCHAR2" || t == "NCHAR";
            const bool fixed = t == "CHAR" || t == "NCHAR";
            if (fixed && !def.length) {
                c.charLength = 1;
            } else {
                needLength(fixed ? 2000 : 4000);
                c.charLength = *def.length;
            }
            if (national && def.charSemantics)
                oraThrow(907, "missing right parenthesis");
            c.dataType = t == "VARCHAR" ? "VARCHAR2" : t;
            c.charSemantics = national || def.charSemantics.value_or(false);
            // AL32UTF8 takes up to 4 bytes a character, AL16UTF16 2.
            c.dataLength =
                national ? c.charLength * 2 : (c.charSemantics ? c.charLength * 4 : c.charLength);
            if (c.dataLength > (fixed ? 2000 : 4000))
                c.dataLength = fixed ? 2000 : 4000;
        } else if (t == "NUMBER" || t == "NUMERIC" || t == "DECIMAL" || t == "DEC" ||
                   t == "INTEGER" || t == "INT" || t == "SMALLINT") {
            c.dataType = "NUMBER";
            c.dataLength = 22;
            if (t == "INTEGER" || t == "INT" || t == "SMALLINT") {
                if (def.length || def.scale || def.precisionStar)
                    oraThrow(907, "missing right parenthesis");
                c.scale = 0;
            } else {
                if (def.charSemantics)
                    oraThrow(907, "missing right parenthesis");
                if (def.length) {
                    if (*def.length < 1 || *def.length > 38)
                        oraThrow(1727, "numeric precision specifier is out of range (1 to 38)");
                    c.precision = *def.length;
                    c.scale = 0;
                }
                if (def.scale) {
                    if (*def.scale < -84 || *def.scale > 127)
                        oraThrow(1728, "numeric scale specifier is out of range (-84 to 127)");
                    c.scale = *def.scale;
                }
                if (t != "NUMBER" && !def.length && !def.precisionStar)
                    c.scale = 0;
            }
        } else if (t == "FLOAT") {
            c.dataType = "FLOAT";
            c.dataLength = 22;
            c.precision = def.length.value_or(126);
            if (*c.precision < 1 || *c.precision > 126)
                oraThrow(1724, "floating point precision is out of range (1 to 126)");
        } else if (t == "DATE") {
            if (def.length)
                oraThrow(907, "missing right parenthesis");
            c.dataType = "DATE";
            c.dataLength = 7;
        } else if (t == "TIMESTAMP") {
            const int fraction = def.length.value_or(6);
            if (fraction > 9)
                oraThrow(30088, "datetime/interval precision is out of range");
            c.dataType = "TIMESTAMP(" + std::to_string(fraction) + ")";
            c.dataLength = 11;
            c.scale = fraction;
        } else if (t == "CLOB" || t == "BLOB") {
            if (def.length)
                oraThrow(907, "missing right parenthesis");
            c.dataType = t;
            c.dataLength = 4000;
        } else if (t == "RAW") {
            needLength(2000);
            c.dataType = "RAW";
            c.dataLength = *def.length;
        } else {
            oraThrow(902, "invalid datatype");
        }
        c.nullable = !def.notNull;
        if (!def.defaultText.empty()) {
            // The default must be an expression of constants.
            Translator check(*this);
            check.expr(*parseExpression(def.defaultText));
            c.defaultText = def.defaultText;
        }
        columns.push_back(std::move(c));
    }
    if (columns.empty())
        oraThrow(904, "invalid identifier");

    struct Key {
        std::string name;
        bool primary;
        std::vector<std::string> columns;
        std::string indexTablespace;
    };
    std::vector<Key> keys;
    bool havePrimary = false;
    for (const auto& def : ct.constraints) {
        Key k{def.name, def.primaryKey, def.columns, def.indexTablespace};
        if (k.primary) {
            if (havePrimary)
                oraThrow(2260, "table can have only one primary key");
            havePrimary = true;
        }
        for (std::size_t i = 0; i < k.columns.size(); ++i) {
            auto it = std::find_if(columns.begin(), columns.end(),
                                   [&](const ColumnDef& c) { return c.name == k.columns[i]; });
            if (it == columns.end())
                invalidIdentifier(k.columns[i]);
            for (std::size_t j = 0; j < i; ++j) {
                if (k.columns[j] == k.columns[i])
                    oraThrow(957, "duplicate column name");
            }
            if (k.primary)
                it->nullable = false;
        }
        for (const auto& other : keys) {
            if (other.columns == k.columns)
                oraThrow(2261, "such unique or primary key already exists in the table");
            if (!k.name.empty() && other.name == k.name)
                oraThrow(2264, "name already used by an existing constraint");
        }
        if (!k.indexTablespace.empty()) {
            checkTablespace(k.indexTablespace);
            if (k.indexTablespace == "TEMP")
                oraThrow(2195, "Attempt to create PERMANENT object in a TEMPORARY tablespace");
        } else {
            k.indexTablespace = tablespace;
        }
        keys.push_back(std::move(k));
    }

    // The rows live in the owner's schema file under a name of their own;
    // the catalog entry that makes the table visible is written after it, so
    // a crash in between leaves only an unused table behind.
    const std::string alias = attachSchema(ownerInfo->id);
    const std::string physical = "t" + randomHex(8);
    std::string ddl = "CREATE TABLE " + alias + "." + physical + "(";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const bool numeric = columns[i].dataType == "NUMBER" || columns[i].dataType == "FLOAT";
        ddl += (i ? ", c" : "c") + std::to_string(i) + (numeric ? " NUMERIC" : " TEXT");
    }
    for (const auto& k : keys) {
        ddl += k.primary ? ", PRIMARY KEY(" : ", UNIQUE(";
        for (std::size_t i = 0; i < k.columns.size(); ++i) {
            const auto index =
                std::find_if(columns.begin(), columns.end(),
                             [&](const ColumnDef& c) { return c.name == k.columns[i]; }) -
                columns.begin();
            ddl += (i ? ", c" : "c") + std::to_string(index);
        }
        ddl += ")";
    }
    ddl += ")";
    db_.exec(ddl);
    try {
        SqliteTransaction tx(db_);
        auto& exists = db_.cached("SELECT 1 FROM mv_table WHERE owner = ?1 AND name = ?2");
        exists.bind(1, owner);
        exists.bind(2, ct.table.name);
        if (exists.step())
            oraThrow(955, "name is already used by an existing object");
        exists.reset();
        auto& addTable = db_.cached(
            "INSERT INTO mv_table(owner, name, tablespace, physical) VALUES(?1, ?2, ?3, ?4)");
        addTable.bindAll({owner, ct.table.name, tablespace, physical});
        addTable.step();
        auto& lastId = db_.cached("SELECT last_insert_rowid()");
        lastId.step();
        const std::int64_t tableId = lastId.columnInt(0);
        lastId.reset();
        auto& addColumn = db_.cached(
            "INSERT INTO mv_column VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const ColumnDef& c = columns[i];
            const bool character = c.charLength > 0;
            addColumn.reset();
            addColumn.bindAll(
                {tableId, static_cast<std::int64_t>(i + 1), c.name, c.dataType,
                 static_cast<std::int64_t>(c.dataLength),
                 c.precision ? SqlValue(static_cast<std::int64_t>(*c.precision)) : SqlValue(),
                 c.scale ? SqlValue(static_cast<std::int64_t>(*c.scale)) : SqlValue(),
                 std::string(c.nullable ? "Y" : "N"), static_cast<std::int64_t>(c.charLength),
                 character ? SqlValue(std::string(c.charSemantics ? "C" : "B")) : SqlValue(),
                 c.defaultText.empty() ? SqlValue() : SqlValue(c.defaultText)});
            addColumn.step();
        }
        auto& addKey = db_.cached(
            "INSERT INTO mv_constraint(owner, name, table_id, kind, columns, index_tablespace) "
            "VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
        for (const auto& k : keys) {
            std::string name = k.name;
            if (name.empty()) {
                auto& next = db_.cached("SELECT ifnull(max(id), 0) + 1 FROM mv_constraint");
                next.step();
                char buffer[32];
                std::snprintf(buffer, sizeof buffer, "SYS_C%07lld",
                              static_cast<long long>(next.columnInt(0)));
                next.reset();
                name = buffer;
            }
            auto& used = db_.cached("SELECT 1 FROM mv_constraint WHERE owner = ?1 AND name = ?2");
            used.bindAll({owner, name});
            if (used.step())
                oraThrow(2264, "name already used by an existing constraint");
            used.reset();
            addKey.reset();
            addKey.bindAll({owner, name, tableId, std::string(k.primary ? "P" : "U"),
                            joinNames(k.columns), k.indexTablespace});
            addKey.step();
        }
        bumpGeneration();
        tx.commit();
    } catch (...) {
        db_.clearCache();
        try {
            db_.exec("DROP TABLE IF EXISTS " + alias + "." + physical);
        } catch (const SqliteError&) {
            // Left behind unused; it is invisible without its catalog entry.
        }
        throw;
    }
}

void LocalSession::dropTable(const ast::DropTable& dt) {
    const auto table = resolveTable(dt.table);
    if (table->view)
        insufficientPrivileges();
    {
        SqliteTransaction tx(db_);
        auto& del = db_.cached("DELETE FROM mv_table WHERE id = ?1");
        del.bind(1, table->id);
        del.step();
        if (db_.changes() == 0)
            tableDoesNotExist();
        auto& cols = db_.cached("DELETE FROM mv_column WHERE table_id = ?1");
        cols.bind(1, table->id);
        cols.step();
        auto& keys = db_.cached("DELETE FROM mv_constraint WHERE table_id = ?1");
        keys.bind(1, table->id);
        keys.step();
        bumpGeneration();
        tx.commit();
    }
    db_.clearCache();
    db_.exec("DROP TABLE IF EXISTS " + table->sqlName);
}

void LocalSession::truncateTable(const ast::TruncateTable& tt) {
    const auto table = resolveTable(tt.table);
    checkWritable(*table);
    auto stmt = db_.prepare("DELETE FROM " + table->sqlName);
    runStatement(*stmt, table);
}

void LocalSession::insert(const ast::Insert& ins) {
    const auto table = resolveTable(ins.table);
    checkWritable(*table);
    std::vector<int> targets;
    if (ins.columns.empty()) {
        for (std::size_t i = 0; i < table->columns.size(); ++i)
            targets.push_back(static_cast<int>(i));
    } else {
        for (const auto& name : ins.columns) {
            const int index = table->findColumn(name);
            if (index < 0)
                invalidIdentifier(name);
            if (std::find(targets.begin(), targets.end(), index) != targets.end())
                oraThrow(957, "duplicate column name");
            targets.push_back(index);
        }
    }
    Translator tr(*this);
    std::vector<std::string> values(table->columns.size());
    std::vector<std::string> selectNames;
    std::string source;
    if (ins.select) {
        Translator inner(*this);
        source = inner.select(*ins.select, selectNames);
        tr.params() = std::move(inner.params());
        if (selectNames.size() > targets.size())
            oraThrow(913, "too many values");
        if (selectNames.size() < targets.size())
            oraThrow(947, "not enough values");
        for (std::size_t i = 0; i < targets.size(); ++i)
            values[static_cast<std::size_t>(targets[i])] = "q.x" + std::to_string(i);
    } else {
        if (ins.values.size() > targets.size())
            oraThrow(913, "too many values");
        if (ins.values.size() < targets.size())
            oraThrow(947, "not enough values");
        for (std::size_t i = 0; i < targets.size(); ++i)
            values[static_cast<std::size_t>(targets[i])] = tr.expr(*ins.values[i]);
    }
    const std::string id = std::to_string(table->id);
    std::string sql = "INSERT INTO " + table->sqlName + "(";
    std::string list;
    for (std::size_t i = 0; i < table->columns.size(); ++i) {
        std::string value = values[i];
        if (value.empty()) {
            const auto& def = table->columns[i].defaultText;
            value = def.empty() ? std::string("NULL") : tr.expr(*parseExpression(def));
        }
        sql += (i ? ", c" : "c") + std::to_string(i);
        list += std::string(i ? ", " : "") + "mv_put(" + value + ", " + id + ", " +
                std::to_string(i) + ", 0)";
    }
    if (ins.select)
        sql += ") SELECT " + list + " FROM (" + source + ") AS q";
    else
        sql += ") VALUES(" + list + ")";
    runWrite(sql, tr.params(), table);
}

// Prepares (or reuses) a row-changing statement, binds its literals and runs
// it, turning SQLite's refusals into the server's errors.
void LocalSession::runWrite(const std::string& sql, const std::vector<SqlValue>& params,
                            const std::shared_ptr<const TableInfo>& table) {
    SqliteStatement* stmt = nullptr;
    try {
        stmt = &db_.cached(sql);
    } catch (const SqliteError& e) {
        rethrow(e, table);
    }
    stmt->bindAll(params);
    runStatement(*stmt, table);
}

void LocalSession::update(const ast::Update& up) {
    const auto table = resolveTable(up.table);
    checkWritable(*table);
    Translator tr(*this);
    tr.addSource({up.alias ? *up.alias : table->name, table, "a0"});
    std::string sql = "UPDATE " + table->sqlName + " AS a0 SET ";
    std::vector<int> seen;
    for (std::size_t i = 0; i < up.assignments.size(); ++i) {
        const auto& a = up.assignments[i];
        const int index = table->findColumn(a.column);
        if (index < 0)
            invalidIdentifier(a.column);
        if (std::find(seen.begin(), seen.end(), index) != seen.end())
            oraThrow(1747, "invalid user.table.column, table.column, or column name");
        seen.push_back(index);
        sql += std::string(i ? ", c" : "c") + std::to_string(index) + " = mv_put(" +
               tr.expr(*a.value) + ", " + std::to_string(table->id) + ", " + std::to_string(index) +
               ", 1)";
    }
    if (up.where)
        sql += " WHERE " + tr.expr(*up.where);
    runWrite(sql, tr.params(), table);
}

void LocalSession::deleteRows(const ast::Delete& del) {
    const auto table = resolveTable(del.table);
    checkWritable(*table);
    Translator tr(*this);
    tr.addSource({del.alias ? *del.alias : table->name, table, "a0"});
    std::string sql = "DELETE FROM " + table->sqlName + " AS a0";
    if (del.where)
        sql += " WHERE " + tr.expr(*del.where);
    runWrite(sql, tr.params(), table);
}

LocalSession::Rows LocalSession::runSelect(const ast::Select& select) {
    Translator tr(*this);
    Rows rows;
    const std::string sql = tr.select(select, rows.names);
    try {
        auto& stmt = db_.cached(sql);
        stmt.bindAll(tr.params());
        const int n = stmt.columnCount();
        while (stmt.step()) {
            std::vector<oracle::Value> row;
            row.reserve(static_cast<std::size_t>(n));
            for (int i = 0; i < n; ++i)
                row.push_back(toValue(stmt.column(i)));
            rows.rows.push_back(std::move(row));
        }
    } catch (const SqliteError& e) {
        rethrow(e, nullptr);
    }
    return rows;
}

// ---------------------------------------------------------------------------
// Users

void LocalSession::createUser(const ast::CreateUser& cu) {
    requireDba();
    if (isRole(cu.name) || findUser(cu.name))
        oraThrow(1920, "user name '" + cu.name + "' conflicts with another user or role name");
    const std::string defaultTs = cu.defaultTablespace.empty() ? "USERS" : cu.defaultTablespace;
    const std::string tempTs = cu.temporaryTablespace.empty() ? "TEMP" : cu.temporaryTablespace;
    checkTablespace(defaultTs);
    checkTablespace(tempTs);
    if (defaultTs == "TEMP")
        oraThrow(12910, "cannot specify temporary tablespace as default tablespace");
    if (tempTs != "TEMP")
        oraThrow(12911, "permanent tablespace cannot be temporary tablespace");
    const std::string hash = hashPassword(cu.password);
    SqliteTransaction tx(db_);
    auto& add = db_.cached(
        "INSERT INTO mv_user(name, hash, default_ts, temp_ts, created) VALUES(?1, ?2, ?3, ?4, ?5)");
    add.bindAll({cu.name, hash, defaultTs, tempTs, formatStoredDate(currentDateTime())});
    try {
        add.step();
    } catch (const SqliteError&) {
        // Another session took the name since the check above.
        oraThrow(1920, "user name '" + cu.name + "' conflicts with another user or role name");
    }
    tx.commit();
}

void LocalSession::alterUser(const ast::AlterUser& au) {
    if (au.name != me_.name)
        requireDba();
    if (!findUser(au.name))
        oraThrow(1918, "user '" + au.name + "' does not exist");
    auto& set = db_.cached("UPDATE mv_user SET hash = ?1 WHERE name = ?2");
    set.bindAll({hashPassword(au.password), au.name});
    set.step();
}

void LocalSession::grant(const ast::Grant& g) {
    requireDba();
    for (const auto& role : g.roles) {
        if (!isRole(role))
            oraThrow(1919, "role '" + role + "' does not exist");
    }
    std::vector<UserInfo> users;
    for (const auto& name : g.grantees) {
        auto user = findUser(name);
        if (!user)
            oraThrow(1917, "user or role '" + name + "' does not exist");
        users.push_back(*user);
    }
    SqliteTransaction tx(db_);
    auto& add = db_.cached("INSERT OR IGNORE INTO mv_role VALUES(?1, ?2)");
    for (const auto& user : users) {
        for (const auto& role : g.roles) {
            add.reset();
            add.bindAll({user.id, role});
            add.step();
        }
    }
    tx.commit();
}

void LocalSession::revoke(const ast::Revoke& r) {
    requireDba();
    for (const auto& role : r.roles) {
        if (!isRole(role))
            oraThrow(1919, "role '" + role + "' does not exist");
    }
    SqliteTransaction tx(db_);
    for (const auto& name : r.grantees) {
        auto user = findUser(name);
        if (!user)
            oraThrow(1917, "user or role '" + name + "' does not exist");
        for (const auto& role : r.roles) {
            if (!user->roles.count(role))
                oraThrow(1951, "ROLE '" + role + "' not granted to '" + name + "'");
            auto& del = db_.cached("DELETE FROM mv_role WHERE user_id = ?1 AND role = ?2");
            del.bindAll({user->id, role});
            del.step();
        }
    }
    tx.commit();
}

void LocalSession::dropUser(const ast::DropUser& du) {
    requireDba();
    const auto user = findUser(du.name);
    if (!user)
        oraThrow(1918, "user '" + du.name + "' does not exist");
    if (user->id == me_.id)
        oraThrow(1940, "cannot drop a user that is currently connected");
    if (du.name == "SYSTEM")
        oraThrow(28014, "cannot drop administrative user or role");
    {
        SqliteTransaction tx(db_);
        auto& owns = db_.cached("SELECT count(*) FROM mv_table WHERE owner = ?1");
        owns.bind(1, du.name);
        owns.step();
        const bool hasObjects = owns.columnInt(0) > 0;
        owns.reset();
        if (hasObjects && !du.cascade)
            oraThrow(1922, "CASCADE must be specified to drop '" + du.name + "'");
        const SqlValue name = du.name;
        const SqlValue id = user->id;
        for (const char* sql :
             {"DELETE FROM mv_column WHERE table_id IN (SELECT id FROM mv_table WHERE owner = ?1)",
              "DELETE FROM mv_constraint WHERE owner = ?1",
              "DELETE FROM mv_table WHERE owner = ?1"}) {
            auto& stmt = db_.cached(sql);
            stmt.bind(1, name);
            stmt.step();
        }
        for (const char* sql :
             {"DELETE FROM mv_role WHERE user_id = ?1", "DELETE FROM mv_user WHERE id = ?1"}) {
            auto& stmt = db_.cached(sql);
            stmt.bind(1, id);
            stmt.step();
        }
        bumpGeneration();
        tx.commit();
    }
    // The schema's rows go with it: the user's catalog entries are gone, so
    // nothing can reach the file any more.
    db_.clearCache();
    if (attached_.count(user->id)) {
        db_.exec("DETACH DATABASE " + attached_[user->id]);
        attached_.erase(user->id);
    }
    std::error_code ignored;
    const std::string path = schemaPath(user->id);
    for (const char* suffix : {"", "-wal", "-shm"})
        fs::remove(path + suffix, ignored);
}

// ---------------------------------------------------------------------------
// Statements

LocalSession::Rows LocalSession::perform(const std::string& statement) {
    sysdate_ = formatStoredDate(currentDateTime());
    ast::Statement parsed = parseStatement(statement);
    refreshCacheIfStale();
    Rows rows;
    std::visit(
        [&](const auto& s) {
            using T = std::decay_t<decltype(s)>;
            if constexpr (std::is_same_v<T, ast::Select>) {
                rows = runSelect(s);
            } else if constexpr (std::is_same_v<T, ast::CreateTable>) {
                createTable(s);
            } else if constexpr (std::is_same_v<T, ast::DropTable>) {
                dropTable(s);
            } else if constexpr (std::is_same_v<T, ast::TruncateTable>) {
                truncateTable(s);
            } else if constexpr (std::is_same_v<T, ast::Insert>) {
                insert(s);
            } else if constexpr (std::is_same_v<T, ast::Update>) {
                update(s);
            } else if constexpr (std::is_same_v<T, ast::Delete>) {
                deleteRows(s);
            } else if constexpr (std::is_same_v<T, ast::CreateUser>) {
                createUser(s);
            } else if constexpr (std::is_same_v<T, ast::AlterUser>) {
                alterUser(s);
            } else if constexpr (std::is_same_v<T, ast::Grant>) {
                grant(s);
            } else if constexpr (std::is_same_v<T, ast::Revoke>) {
                revoke(s);
            } else if constexpr (std::is_same_v<T, ast::DropUser>) {
                dropUser(s);
            }
        },
        parsed);
    return rows;
}

void LocalSession::execute(const std::string& statement) {
    try {
        perform(statement);
    } catch (const SqliteError& e) {
        rethrow(e, nullptr);
    }
}

std::unique_ptr<oracle::ResultSet> LocalSession::query(const std::string& text) {
    Rows rows;
    try {
        rows = perform(text);
    } catch (const SqliteError& e) {
        rethrow(e, nullptr);
    }
    return std::make_unique<MemoryResultSet>(std::move(rows.names), std::move(rows.rows));
}

oracle::Value LocalSession::queryValue(const std::string& text) {
    auto result = query(text);
    if (result->columnNames().empty() || !result->next())
        return std::nullopt;
    return result->value(std::size_t{0});
}

std::unique_ptr<oracle::Session> openLocalServer(const std::string& folder, const std::string& user,
                                                 const std::string& password) {
    try {
        return std::make_unique<LocalSession>(folder, user, password);
    } catch (const SqliteError& e) {
        if (std::string(e.what()).rfind("ORA-", 0) == 0)
            oraThrowText(e.what());
        cannotReach();
    }
}

}  // namespace malvorn::localserver

#include "core/migrate_journal.h"

#include <sodium.h>

#include <array>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "base/files.h"
#include "core/migrate_report.h"

namespace malvorn::core {
namespace {

// The first pages of a Jet file hold its header and catalog: a file written
// again differs there (or in its size or time) almost always.
constexpr std::size_t kStampedBytes = 64 * 1024;

constexpr std::array<std::pair<TablePhase, const char*>, 6> kPhases{{
    {TablePhase::kClearing, "clearing"},
    {TablePhase::kCreating, "creating"},
    {TablePhase::kCreated, "created"},
    {TablePhase::kCopying, "copying"},
    {TablePhase::kCopied, "copied"},
    {TablePhase::kVerified, "verified"},
}};

std::string hex(const unsigned char* bytes, std::size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

// Reads the one shape journalJson writes: objects, arrays, strings, whole
// numbers and booleans. Anything else is a damaged journal.
class JsonReader {
  public:
    JsonReader(const std::string& text, const std::string& path) : text_(text), path_(path) {}

    template <typename Member>
    void object(Member member) {
        expect('{');
        if (consume('}'))
            return;
        do {
            const std::string key = string();
            expect(':');
            member(key);
        } while (consume(','));
        expect('}');
    }
    template <typename Item>
    void array(Item item) {
        expect('[');
        if (consume(']'))
            return;
        do
            item();
        while (consume(','));
        expect(']');
    }
    std::string string() {
        expect('"');
        std::string out;
        while (at_ < text_.size() && text_[at_] != '"') {
            char c = text_[at_++];
            if (c == '\\')
                c = escaped(out);
            if (c != '\0')
                out += c;
        }
        expect('"');
        return out;
    }
    std::int64_t integer() {
        skipBlanks();
        std::size_t used = 0;
        try {
            const std::int64_t value = std::stoll(text_.substr(at_, 24), &used);
            at_ += used;
            return value;
        } catch (const std::logic_error&) {
            fail();
        }
    }
    bool boolean() {
        skipBlanks();
        for (const bool value : {true, false}) {
            const std::string word = value ? "true" : "false";
            if (text_.compare(at_, word.size(), word) == 0) {
                at_ += word.size();
                return value;
            }
        }
        fail();
    }
    void end() {
        skipBlanks();
        if (at_ != text_.size())
            fail();
    }
    [[noreturn]] void fail() const {
        throw JournalError("ジャーナルが壊れています: " + path_ + " (" + std::to_string(at_) +
                           " バイト目)");
    }

  private:
    // The character an escape stands for; \u appends its UTF-8 itself and
    // gives '\0'.
    char escaped(std::string& out) {
        if (at_ >= text_.size())
            fail();
        const char c = text_[at_++];
        switch (c) {
            case 'n':
                return '\n';
            case 'r':
                return '\r';
            case 't':
                return '\t';
            case 'u':
                break;
            default:
                return c;
        }
        unsigned point = 0;
        const char* digits = text_.data() + at_;
        if (at_ + 4 > text_.size() ||
            std::from_chars(digits, digits + 4, point, 16).ptr != digits + 4)
            fail();
        at_ += 4;
        if (point < 0x80) {
            out += static_cast<char>(point);
        } else if (point < 0x800) {
            out += static_cast<char>(0xC0 | (point >> 6));
            out += static_cast<char>(0x80 | (point & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (point >> 12));
            out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (point & 0x3F));
        }
        return '\0';
    }
    void skipBlanks() {
        while (at_ < text_.size() &&
               std::string_view(" \t\r\n").find(text_[at_]) != std::string::npos)
            ++at_;
    }
    bool consume(char c) {
        skipBlanks();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    void expect(char c) {
        if (!consume(c))
            fail();
    }

    const std::string& text_;
    const std::string& path_;
    std::size_t at_ = 0;
};

TablePhase phaseNamed(const std::string& name, const JsonReader& in) {
    for (const auto& [phase, text] : kPhases) {
        if (name == text)
            return phase;
    }
    in.fail();
}

JournalTable readTable(JsonReader& in) {
    JournalTable table;
    in.object([&](const std::string& key) {
        if (key == "table")
            table.table = in.string();
        else if (key == "phase")
            table.phase = phaseNamed(in.string(), in);
        else if (key == "rows")
            table.rows = in.integer();
        else
            in.fail();
    });
    return table;
}

}  // namespace

const char* phaseName(TablePhase phase) {
    return kPhases[static_cast<std::size_t>(phase)].second;
}

FileStamp stampFile(const std::string& path) {
    std::error_code error;
    FileStamp stamp;
    stamp.size = static_cast<std::int64_t>(std::filesystem::file_size(path, error));
    const auto written = std::filesystem::last_write_time(path, error);
    std::ifstream in(path, std::ios::binary);
    std::string head(kStampedBytes, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    if (error || in.bad())
        throw base::FileError("ファイルを読めません: " + path, path);
    head.resize(static_cast<std::size_t>(in.gcount()));
    const auto since1970 = std::chrono::file_clock::to_sys(written);
    stamp.modified =
        std::chrono::duration_cast<std::chrono::nanoseconds>(since1970.time_since_epoch()).count();
    unsigned char digest[crypto_generichash_BYTES];
    crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char*>(head.data()),
                       head.size(), nullptr, 0);
    stamp.hash = hex(digest, sizeof digest);
    return stamp;
}

const JournalTable* MigrateJournal::find(const std::string& table) const {
    for (const auto& entry : tables) {
        if (entry.table == table)
            return &entry;
    }
    return nullptr;
}

void MigrateJournal::set(const JournalTable& entry) {
    for (auto& known : tables) {
        if (known.table == entry.table) {
            known = entry;
            return;
        }
    }
    tables.push_back(entry);
}

JournalFile::JournalFile(std::string path, const std::string& database, bool oracleSafe,
                         bool resume)
    : path_(std::move(path)) {
    const std::string absolute = std::filesystem::absolute(database).lexically_normal().string();
    const FileStamp now = stampFile(database);
    if (!resume) {
        journal_ = {absolute, now, oracleSafe, false, {}};
        save();
        return;
    }
    if (!base::fileExists(path_))
        throw JournalError("ジャーナルがありません: " + path_);
    journal_ = parseJournal(base::readFileBytes(path_), path_);
    if (journal_.database != absolute)
        throw JournalError("ジャーナル " + path_ +
                           " は別のファイルの移行のものです: " + journal_.database);
    if (journal_.oracleSafe != oracleSafe)
        throw JournalError(std::string("ジャーナル ") + path_ + " の移行は --oracle-safe " +
                           (journal_.oracleSafe ? "付き" : "なし") +
                           "でした。同じ指定で再開してください");
    if (!(journal_.file == now))
        throw JournalError(
            "データベースファイルが前回の移行のあとで変わっているため再開できません: " + database);
    journal_.interrupted = false;
}

void JournalFile::record(const JournalTable& entry) {
    journal_.set(entry);
    save();
}

void JournalFile::recordSchema(const std::string& key) {
    journal_.schemaDone.push_back(key);
    save();
}

void JournalFile::markInterrupted() {
    journal_.interrupted = true;
    save();
}

void JournalFile::save() const {
    base::writeFileAtomically(path_, journalJson(journal_));
}

std::string journalJson(const MigrateJournal& journal) {
    std::string out = "{\"version\": 1, \"database\": " + jsonText(journal.database) +
                      ", \"size\": " + std::to_string(journal.file.size) +
                      ", \"modified\": " + std::to_string(journal.file.modified) +
                      ", \"hash\": " + jsonText(journal.file.hash) +
                      ", \"oracleSafe\": " + (journal.oracleSafe ? "true" : "false") +
                      ", \"interrupted\": " + (journal.interrupted ? "true" : "false") +
                      ", \"tables\": [";
    for (std::size_t i = 0; i < journal.tables.size(); ++i) {
        const JournalTable& t = journal.tables[i];
        out += (i ? ",\n  " : "\n  ") + std::string("{\"table\": ") + jsonText(t.table) +
               ", \"phase\": \"" + phaseName(t.phase) + "\", \"rows\": " + std::to_string(t.rows) +
               "}";
    }
    out += "], \"schemaDone\": [";
    for (std::size_t i = 0; i < journal.schemaDone.size(); ++i)
        out += (i ? ", " : "") + jsonText(journal.schemaDone[i]);
    return out + "]}\n";
}

MigrateJournal parseJournal(const std::string& text, const std::string& path) {
    JsonReader in(text, path);
    MigrateJournal journal;
    bool versioned = false;
    in.object([&](const std::string& key) {
        if (key == "version")
            versioned = in.integer() == 1;
        else if (key == "database")
            journal.database = in.string();
        else if (key == "size")
            journal.file.size = in.integer();
        else if (key == "modified")
            journal.file.modified = in.integer();
        else if (key == "hash")
            journal.file.hash = in.string();
        else if (key == "oracleSafe")
            journal.oracleSafe = in.boolean();
        else if (key == "interrupted")
            journal.interrupted = in.boolean();
        else if (key == "tables")
            in.array([&] { journal.tables.push_back(readTable(in)); });
        else if (key == "schemaDone")
            in.array([&] { journal.schemaDone.push_back(in.string()); });
        else
            in.fail();
    });
    in.end();
    if (!versioned || journal.database.empty())
        in.fail();
    return journal;
}

}  // namespace malvorn::core

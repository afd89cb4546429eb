#include "jet/attachment_data.h"

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>

#include "jet/jet_error.h"

namespace malvorn::jet {
namespace {

// One zlib inflate stream, ended with its owner.
class Inflater {
  public:
    Inflater() {
        std::memset(&stream_, 0, sizeof stream_);
        ready_ = ::inflateInit(&stream_) == Z_OK;
    }
    ~Inflater() {
        if (ready_)
            ::inflateEnd(&stream_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // The whole of `input` inflated into exactly `length` bytes; nullopt
    // when the stream is broken, ends early or holds more.
    std::optional<std::string> inflateExactly(std::string_view input, std::size_t length) {
        if (!ready_ || input.size() > std::numeric_limits<uInt>::max() ||
            length > std::numeric_limits<uInt>::max())
            return std::nullopt;
        std::string out(length + 1, '\0');  // one spare byte shows an overlong stream
        stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
        stream_.avail_in = static_cast<uInt>(input.size());
        stream_.next_out = reinterpret_cast<Bytef*>(out.data());
        stream_.avail_out = static_cast<uInt>(out.size());
        const int status = ::inflate(&stream_, Z_FINISH);
        if (status != Z_STREAM_END || stream_.total_out != length)
            return std::nullopt;
        out.resize(length);
        return out;
    }

  private:
    z_stream stream_;
    bool ready_ = false;
};

std::uint32_t u32At(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

[[noreturn]] void damaged(const std::string& table, const std::string& detail) {
    throw makeJetError(JetErrorKind::kDamaged, table, "添付ファイル: " + detail);
}

class AttachmentRows : public JetRowCursor {
  public:
    AttachmentRows(std::unique_ptr<JetRowCursor> rows, std::string table)
        : rows_(std::move(rows)), table_(std::move(table)) {
        const auto& columns = rows_->columns();
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].name == "FileData")
                fileData_ = i;
        }
    }
    const std::vector<JetColumn>& columns() const override { return rows_->columns(); }
    std::int64_t recordedRowCount() const override { return rows_->recordedRowCount(); }
    std::int64_t deliveredRowCount() const override { return rows_->deliveredRowCount(); }
    bool next(JetRow& row) override {
        if (!rows_->next(row))
            return false;
        if (fileData_ && *fileData_ < row.size()) {
            if (auto* stored = std::get_if<JetBinary>(&row[*fileData_]))
                stored->bytes = attachmentFileBytes(stored->bytes, table_);
            else if (!isNull(row[*fileData_]))
                damaged(table_, "FileData がバイナリではありません");
        }
        return true;
    }

  private:
    std::unique_ptr<JetRowCursor> rows_;
    std::string table_;
    std::optional<std::size_t> fileData_;
};

}  // namespace

std::string attachmentFileBytes(const std::string& stored, const std::string& table) {
    constexpr std::size_t kOuterHeader = 8;
    if (stored.size() < kOuterHeader)
        damaged(table, "FileData が短すぎます");
    const std::uint32_t compressed = u32At(stored, 0);
    const std::uint32_t length = u32At(stored, 4);
    const std::string_view body = std::string_view(stored).substr(kOuterHeader);
    std::string inflated;
    if (compressed == 1) {
        auto out = Inflater().inflateExactly(body, length);
        if (!out)
            damaged(table, "圧縮データが記録された長さ " + std::to_string(length) +
                               " バイトに展開できません");
        inflated = std::move(*out);
    } else if (compressed == 0) {
        if (body.size() != length)
            damaged(table, "データの長さが記録された長さと異なります");
        inflated = std::string(body);
    } else {
        damaged(table, "圧縮の印が不明です");
    }
    // The inner header: its own length (the extension included), a version,
    // the extension's length in UTF-16 characters (NUL included) and the
    // extension; the file follows.
    constexpr std::uint64_t kFixedHeader = 12;
    if (inflated.size() < kFixedHeader)
        damaged(table, "ヘッダーが短すぎます");
    const std::uint64_t headerLength = u32At(inflated, 0);
    const std::uint64_t extensionBytes = 2ull * u32At(inflated, 8);
    if (headerLength < kFixedHeader + extensionBytes || headerLength > inflated.size())
        damaged(table, "ヘッダーの長さがデータに合いません");
    return inflated.substr(static_cast<std::size_t>(headerLength));
}

std::unique_ptr<JetRowCursor> withAttachmentFiles(std::unique_ptr<JetRowCursor> rows,
                                                  const std::string& table) {
    return std::make_unique<AttachmentRows>(std::move(rows), table);
}

}  // namespace malvorn::jet

#include "jet/jet_reader_client.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <thread>
#include <utility>

#include "base/file_descriptor.h"
#include "jet/query_catalog.h"
#include "jet/schema_protocol.h"

extern char** environ;

namespace malvorn::jet {

using protocol::Frame;
using protocol::MessageType;
using protocol::PayloadReader;
using protocol::PayloadWriter;

namespace {

bool isExecutable(const std::string& path) {
    return !path.empty() && ::access(path.c_str(), X_OK) == 0 &&
           std::filesystem::is_regular_file(path);
}

std::string ownFolder() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.parent_path().string();
}

const std::string kBrokenReply = "読み取りプロセスの応答が不正です";
const std::string kNoAnswer =
    "読み取りプロセスが応答しないため中止しました。ファイルが壊れている可能性があります";

std::string describeStatus(int status) {
    if (WIFEXITED(status) && WEXITSTATUS(status) == protocol::kExitWorkLimit)
        return "読み取りに時間がかかりすぎるため中止しました (1回の要求の処理時間が上限を超えまし"
               "た)。ファイルが壊れている可能性があります";
    if (WIFEXITED(status) && WEXITSTATUS(status) == protocol::kExitMemoryLimit)
        return "ファイルの読み取りに必要なメモリが上限を超えたため中止しました。ファイルが壊れて"
               "いる可能性があります";
    if (WIFSIGNALED(status))
        return "読み取りプロセスが異常終了しました (シグナル " + std::to_string(WTERMSIG(status)) +
               ")。ファイルが壊れている可能性があります";
    if (WIFEXITED(status))
        return "読み取りプロセスが終了しました (終了コード " + std::to_string(WEXITSTATUS(status)) +
               ")";
    return "読み取りプロセスが終了しました";
}

}  // namespace

std::string locateJetReader(const std::string& explicitPath) {
    if (!explicitPath.empty())
        return explicitPath;
    if (const char* fromEnvironment = std::getenv("MALVORN_JET_READER");
        fromEnvironment != nullptr && *fromEnvironment != '\0')
        return fromEnvironment;
    const std::string beside = ownFolder() + "/malvorn-jet-reader";
    if (isExecutable(beside))
        return beside;
#ifdef MALVORN_JET_READER_BUILD_PATH
    if (isExecutable(MALVORN_JET_READER_BUILD_PATH))
        return MALVORN_JET_READER_BUILD_PATH;
#endif
    return beside;
}

// The reader process and the socket to it. The destructor closes the socket
// (the reader ends at end of input) and reaps the process, killing it when it
// does not end promptly.
class ReaderProcess {
  public:
    ReaderProcess(const std::string& program, const JetReaderOptions& options) {
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
            throw std::runtime_error(std::string("socketpair: ") + std::strerror(errno));
        base::FileDescriptor ours(ends[0]);
        base::FileDescriptor theirs(ends[1]);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, theirs.get(), STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, theirs.get(), STDOUT_FILENO);
        // The Jet library writes warnings on stderr; they mean nothing to
        // the user, who gets the typed error instead.
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        std::string memory = "--memory-limit-mb=" + std::to_string(options.memoryLimitMb);
        std::string cpu = "--cpu-limit-ms=" + std::to_string(options.cpuLimit.count());
        std::string parent = "--parent-pid=" + std::to_string(::getpid());
        char* argv[] = {const_cast<char*>(program.c_str()), memory.data(), cpu.data(),
                        parent.data(), nullptr};
        // A process group of its own: a terminal's Ctrl-C goes to the program,
        // which stops at a row boundary and then ends the reader itself,
        // rather than to the reader in the middle of a reply.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        pid_t pid = -1;
        const int result =
            ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, environ);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        if (result != 0)
            throw std::runtime_error("読み取りプログラムを起動できません: " + program + " (" +
                                     std::strerror(result) + ")");
        pid_ = pid;
        socket_ = std::move(ours);
        channel_ = std::make_unique<protocol::FrameChannel>(socket_.get());
    }

    ~ReaderProcess() {
        socket_.reset();
        if (pid_ > 0 && !reaped_) {
            // Give a healthy reader a moment to see the end of input.
            for (int i = 0; i < 50 && !tryReap(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (!reaped_)
                kill();
        }
    }
    ReaderProcess(const ReaderProcess&) = delete;
    ReaderProcess& operator=(const ReaderProcess&) = delete;

    protocol::FrameChannel& channel() { return *channel_; }
    int id() const { return reaped_ ? -1 : pid_; }

    void kill() {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            reaped_ = true;
            status_ = status;
        }
    }

    // How the process ended. `grace` is how long it may take to end on its
    // own (its end of the socket has closed, or it sent something broken).
    std::string endDescription(std::chrono::milliseconds grace, const std::string& otherwise) {
        socket_.reset();
        for (auto waited = std::chrono::milliseconds(0); waited < grace && !tryReap();
             waited += std::chrono::milliseconds(10))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!reaped_) {
            kill();
            return otherwise;
        }
        return describeStatus(status_);
    }

  private:
    bool tryReap() {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            reaped_ = true;
            status_ = status;
        }
        return reaped_;
    }

    pid_t pid_ = -1;
    bool reaped_ = false;
    int status_ = 0;
    base::FileDescriptor socket_;
    std::unique_ptr<protocol::FrameChannel> channel_;
};

JetReaderClient::JetReaderClient(const std::string& databasePath, JetReaderOptions options)
    : databasePath_(databasePath), options_(std::move(options)) {
    start();
}

void JetReaderClient::start() {
    try {
        process_ = std::make_unique<ReaderProcess>(locateJetReader(options_.readerPath), options_);
    } catch (const std::runtime_error& e) {
        fail(e.what());
    }
    owed_ = 0;
    sendBroken_ = false;
    exchange(MessageType::kOpen, PayloadWriter().text(databasePath_).take(), MessageType::kOk);
}

JetReaderClient::~JetReaderClient() = default;

int JetReaderClient::readerProcessId() const {
    return process_ ? process_->id() : -1;
}

void JetReaderClient::rejectReply() {
    process_->kill();
    fail(kBrokenReply);
}

void JetReaderClient::fail(const std::string& detail) {
    failure_ = detail;
    throw makeJetError(JetErrorKind::kReaderFailed, databasePath_, failure_);
}

Frame JetReaderClient::exchange(MessageType type, std::string payload, MessageType expected) {
    if (!failure_.empty())
        throw makeJetError(JetErrorKind::kReaderFailed, databasePath_, failure_);
    if (type != MessageType::kNextRows) {
        ++streamNumber_;  // any other request ends a row stream
        settleStream();
    }
    post(type, std::move(payload));
    return await(expected);
}

void JetReaderClient::post(MessageType type, std::string payload) {
    if (!failure_.empty())
        throw makeJetError(JetErrorKind::kReaderFailed, databasePath_, failure_);
    if (sendBroken_)
        return;
    try {
        process_->channel().send(Frame{type, std::move(payload)});
        ++owed_;
    } catch (const protocol::ProtocolError&) {
        sendBroken_ = true;
    }
}

Frame JetReaderClient::await(MessageType expected) {
    if (!failure_.empty())
        throw makeJetError(JetErrorKind::kReaderFailed, databasePath_, failure_);
    if (owed_ == 0)  // the request never left: the reader is gone
        fail(process_->endDescription(std::chrono::milliseconds(100), kBrokenReply));
    std::optional<Frame> reply;
    try {
        reply = process_->channel().receive(options_.progressTimeout);
    } catch (const protocol::TimeoutError&) {
        process_->kill();
        fail(kNoAnswer);
    } catch (const protocol::ProtocolError&) {
        fail(process_->endDescription(std::chrono::milliseconds(100), kBrokenReply));
    }
    --owed_;
    if (!reply)
        fail(process_->endDescription(std::chrono::milliseconds(2000), kNoAnswer));
    if (reply->type == MessageType::kError) {
        try {
            throw protocol::decodeError(reply->payload);
        } catch (const protocol::ProtocolError&) {
            process_->kill();
            fail(kBrokenReply);
        }
    }
    if (reply->type != expected) {
        rejectReply();
    }
    return std::move(*reply);
}

// A stream left before its end may still be owed batches asked for ahead:
// they are read and dropped. Those rows were never wanted, so a reader that
// fails on them (a damaged page, its time limit) must not fail the request
// after: it is replaced by a new one on the same file.
void JetReaderClient::settleStream() {
    bool lost = sendBroken_;
    while (owed_ > 0 && !lost) {
        try {
            const auto reply = process_->channel().receive(options_.progressTimeout);
            --owed_;
            lost = !reply ||
                   (reply->type != MessageType::kRowBatch && reply->type != MessageType::kError);
        } catch (const std::runtime_error&) {  // TimeoutError, ProtocolError
            lost = true;
        }
    }
    if (lost) {
        process_->kill();
        process_.reset();
        start();
    }
}

std::vector<std::string> JetReaderClient::tableNames() {
    return names(MessageType::kListTables);
}

std::vector<std::string> JetReaderClient::userTableNames() {
    return names(MessageType::kListUserTables);
}

std::vector<std::string> JetReaderClient::names(MessageType request) {
    const Frame reply = exchange(request, std::string(), MessageType::kTableNames);
    std::vector<std::string> names;
    try {
        PayloadReader in(reply.payload);
        const std::uint32_t count = in.u32();
        for (std::uint32_t i = 0; i < count; ++i)
            names.push_back(in.text());
    } catch (const protocol::ProtocolError&) {
        rejectReply();
    }
    return names;
}

model::JetTableDef JetReaderClient::readTable(const std::string& name) {
    const Frame reply = exchange(MessageType::kReadTable, PayloadWriter().text(name).take(),
                                 MessageType::kTableDef);
    try {
        return protocol::decodeTableDef(reply.payload);
    } catch (const protocol::ProtocolError&) {
        rejectReply();
    }
}

model::JetTableSchema JetReaderClient::readSchema(const std::string& name) {
    const Frame reply = exchange(MessageType::kReadSchema, PayloadWriter().text(name).take(),
                                 MessageType::kTableSchema);
    try {
        return protocol::decodeTableSchema(reply.payload);
    } catch (const protocol::ProtocolError&) {
        rejectReply();
    }
}

std::vector<model::StoredQueryRows> JetReaderClient::queryCatalog() {
    const Frame reply =
        exchange(MessageType::kListQueries, std::string(), MessageType::kQueryCatalog);
    try {
        return protocol::decodeQueryCatalog(reply.payload);
    } catch (const protocol::ProtocolError&) {
        rejectReply();
    }
}

namespace {

// Rows pulled from the reader a batch at a time.
class ClientRowCursor : public JetRowCursor {
  public:
    ClientRowCursor(JetReaderClient& client, std::vector<JetColumn> columns,
                    std::int64_t recordedRows)
        : client_(client),
          columns_(std::move(columns)),
          recordedRows_(recordedRows),
          stream_(client.streamNumber()) {}

    const std::vector<JetColumn>& columns() const override { return columns_; }
    std::int64_t recordedRowCount() const override { return recordedRows_; }
    std::int64_t deliveredRowCount() const override { return delivered_; }

    bool next(JetRow& row) override {
        // A failed stream fails again: the batches asked for ahead of the
        // error come back empty, and must not read as the table's end.
        if (failed_)
            std::rethrow_exception(failed_);
        if (taken_ == decoded_ && !ended_) {
            try {
                fetch();
            } catch (...) {
                failed_ = std::current_exception();
                throw;
            }
        }
        if (taken_ == decoded_)
            return false;
        // The caller's row comes back in exchange, to be decoded into again
        // with the memory it has.
        std::swap(row, pending_[taken_++]);
        ++delivered_;
        return true;
    }

  private:
    void fetch() {
        if (client_.streamNumber() != stream_)
            throw std::logic_error("row stream used after another request on its source");
        if (client_.repliesOwed() == 0)
            askForRows();
        const Frame reply = client_.await(MessageType::kRowBatch);
        // The last byte says whether the table has ended; until it has, the
        // next batches are asked for before this one is decoded.
        if (!reply.payload.empty() && reply.payload.back() == 0) {
            for (auto owed = client_.repliesOwed(); owed < client_.options().batchesAhead; ++owed)
                askForRows();
        }
        try {
            decodeBatch(reply.payload);
        } catch (const protocol::ProtocolError&) {
            client_.rejectReply();
        }
    }

    void askForRows() {
        client_.post(MessageType::kNextRows,
                     PayloadWriter().u32(client_.options().rowsPerBatch).take());
    }

    // The whole batch is decoded before any of its rows is given out, so a
    // broken reply gives none of them.
    void decodeBatch(const std::string& payload) {
        taken_ = decoded_ = 0;
        PayloadReader in(payload);
        const std::uint32_t count = in.u32();
        for (std::size_t i = 0; i < count; ++i) {
            if (i == pending_.size())
                pending_.emplace_back();  // grown as rows arrive: the count is the peer's word
            JetRow& row = pending_[i];
            row.resize(columns_.size());
            for (auto& value : row)
                protocol::readValue(in, value);
        }
        const bool ended = in.u8() != 0;
        if (!in.atEnd())
            throw protocol::ProtocolError("trailing bytes after a row batch");
        decoded_ = count;
        ended_ = ended;
    }

    JetReaderClient& client_;
    std::vector<JetColumn> columns_;
    std::int64_t recordedRows_;
    std::uint64_t stream_;
    std::vector<JetRow> pending_;  // rows of the last batch, kept for the next
    std::size_t decoded_ = 0;      // rows of pending_ from the last batch
    std::size_t taken_ = 0;        // of those, given out
    bool ended_ = false;
    std::exception_ptr failed_;  // the error that ended the stream
    std::int64_t delivered_ = 0;
};

}  // namespace

std::unique_ptr<JetRowCursor> JetReaderClient::openRows(const std::string& name) {
    return openStream(MessageType::kOpenRows, name);
}

std::unique_ptr<JetRowCursor> JetReaderClient::openFlatRows(const std::string& name) {
    return openStream(MessageType::kOpenFlatRows, name);
}

std::unique_ptr<JetRowCursor> JetReaderClient::openStream(protocol::MessageType request,
                                                          const std::string& name) {
    const Frame reply =
        exchange(request, PayloadWriter().text(name).take(), MessageType::kRowsOpened);
    try {
        PayloadReader in(reply.payload);
        const std::int64_t recorded = in.i64();
        const std::uint32_t count = in.u32();
        std::vector<JetColumn> columns;
        for (std::uint32_t i = 0; i < count; ++i) {
            JetColumn column;
            column.name = in.text();
            column.typeCode = static_cast<std::int16_t>(static_cast<std::uint16_t>(in.u32()));
            columns.push_back(std::move(column));
        }
        return std::make_unique<ClientRowCursor>(*this, std::move(columns), recorded);
    } catch (const protocol::ProtocolError&) {
        rejectReply();
    }
}

std::unique_ptr<JetSource> openJetSource(const std::string& databasePath,
                                         const JetReaderOptions& options) {
    return std::make_unique<JetReaderClient>(databasePath, options);
}

}  // namespace malvorn::jet

// malvorn-jet-reader: reads Jet files for the program in a process of its
// own, so that a file that crashes or hangs the Jet library takes down only
// this process. Requests come on stdin, replies go to stdout (see
// jet_protocol.h); the process ends when stdin closes, at once even in the
// middle of a request.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <exception>
#include <memory>
#include <type_traits>

#include "base/file_descriptor.h"
#include "jet/jet_error.h"
#include "jet/jet_protocol.h"
#include "jet/mdb_database.h"
#include "jet/query_catalog.h"
#include "jet/reader_limits.h"
#include "jet/schema_protocol.h"

namespace malvorn::jet {
namespace {

using protocol::Frame;
using protocol::MessageType;
using protocol::PayloadReader;
using protocol::PayloadWriter;

// The program's settings: "--memory-limit-mb=N" (the heap ceiling, 0 for
// none), "--cpu-limit-ms=N" (CPU time per request, 0 for none) and
// "--parent-pid=N" (the program, whose end ends the reader).
struct Settings {
    unsigned memoryLimitMb = 1024;
    long cpuLimitMs = 2000;
    pid_t parent = 0;
};

Settings readSettings(int argc, char** argv) {
    Settings settings;
    auto number = [](const std::string& word, const std::string& prefix, auto& into) {
        if (word.starts_with(prefix))
            into = static_cast<std::remove_reference_t<decltype(into)>>(
                std::strtoll(word.c_str() + prefix.size(), nullptr, 10));
    };
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        number(word, "--memory-limit-mb=", settings.memoryLimitMb);
        number(word, "--cpu-limit-ms=", settings.cpuLimitMs);
        number(word, "--parent-pid=", settings.parent);
    }
    return settings;
}

// Rows of one batch stop at this many bytes (a batch holds at least one row).
constexpr std::size_t kBatchBytes = 1u << 20;

class Server {
  public:
    Server(protocol::FrameChannel& requests, protocol::FrameChannel& replies,
           const Settings& settings)
        : requests_(requests),
          replies_(replies),
          settings_(settings),
          budget_(std::chrono::milliseconds(settings.cpuLimitMs)) {}

    void run() {
        while (auto request = requests_.receive()) {
            budget_.start();
            try {
                handle(*request);
            } catch (const JetError& e) {
                cursor_.reset();
                reply(MessageType::kError, protocol::encodeError(e.kind(), e.what()));
            } catch (const protocol::ProtocolError&) {
                throw;
            } catch (const std::exception& e) {
                cursor_.reset();
                reply(MessageType::kError,
                      protocol::encodeError(
                          JetErrorKind::kReaderFailed,
                          jetErrorMessage(JetErrorKind::kReaderFailed, path_, e.what())));
            }
        }
    }

  private:
    void reply(MessageType type, std::string payload = std::string()) {
        budget_.stop();
        replies_.send(Frame{type, std::move(payload)});
    }

    JetSource& source() {
        if (!source_)
            throw protocol::ProtocolError("no database is open");
        return *source_;
    }

    void handle(const Frame& request) {
        PayloadReader in(request.payload);
        // Any request but the next batch ends the current row stream.
        if (request.type != MessageType::kNextRows) {
            cursor_.reset();
            streaming_ = false;
        }
        switch (request.type) {
            case MessageType::kOpen:
                source_.reset();
                path_ = in.text();
                beforeOpen();
                source_ = openJetFileHere(path_);
                afterOpen();
                reply(MessageType::kOk);
                return;
            case MessageType::kListTables:
            case MessageType::kListUserTables: {
                const auto names = request.type == MessageType::kListTables
                                       ? source().tableNames()
                                       : source().userTableNames();
                PayloadWriter out;
                out.u32(static_cast<std::uint32_t>(names.size()));
                for (const auto& name : names)
                    out.text(name);
                reply(MessageType::kTableNames, out.take());
                return;
            }
            case MessageType::kReadTable:
                reply(MessageType::kTableDef,
                      protocol::encodeTableDef(source().readTable(in.text())));
                return;
            case MessageType::kReadSchema:
                reply(MessageType::kTableSchema,
                      protocol::encodeTableSchema(source().readSchema(in.text())));
                return;
            case MessageType::kOpenRows:
            case MessageType::kOpenFlatRows: {
                const std::string name = in.text();
                cursor_ = request.type == MessageType::kOpenRows ? source().openRows(name)
                                                                 : source().openFlatRows(name);
                PayloadWriter out;
                out.i64(cursor_->recordedRowCount())
                    .u32(static_cast<std::uint32_t>(cursor_->columns().size()));
                for (const auto& column : cursor_->columns())
                    out.text(column.name).u32(static_cast<std::uint16_t>(column.typeCode));
                streaming_ = true;
                reply(MessageType::kRowsOpened, out.take());
                return;
            }
            case MessageType::kNextRows:
                sendBatch(in.u32());
                return;
            case MessageType::kListQueries:
                reply(MessageType::kQueryCatalog,
                      protocol::encodeQueryCatalog(source().queryCatalog()));
                return;
            default:
                throw protocol::ProtocolError("unknown request");
        }
    }

    void sendBatch(std::uint32_t maxRows) {
        // The program asks for batches ahead, so requests may follow the end
        // of a stream or an error in it: each gets an empty last batch.
        if (!cursor_ && streaming_) {
            reply(MessageType::kRowBatch, PayloadWriter().u32(0).u8(1).take());
            return;
        }
        if (!cursor_)
            throw protocol::ProtocolError("no rows are open");
        // The rows are written straight after a count written again at the end.
        PayloadWriter rows;
        rows.u32(0);
        constexpr std::size_t kCountBytes = 4;
        std::uint32_t count = 0;
        bool ended = false;
        while (count < std::max<std::uint32_t>(maxRows, 1) &&
               rows.size() - kCountBytes < kBatchBytes) {
            if (!cursor_->next(row_)) {
                ended = true;
                break;
            }
            for (const auto& value : row_)
                protocol::writeValue(rows, value);
            ++count;
        }
        if (ended)
            cursor_.reset();
        rows.rewriteU32(0, count);
        rows.u8(ended ? 1 : 0);
        reply(MessageType::kRowBatch, rows.take());
    }

    // The heap needs no more than the file can fill, from the start: the
    // library reads the catalog and every table's properties while it opens
    // the file, and a looping property chain grows without end right there.
    void beforeOpen() {
        struct stat info {};
        if (::stat(path_.c_str(), &info) == 0)
            limits::limitHeap(limits::heapCeilingMb(info.st_size, settings_.memoryLimitMb));
    }

    // The file is open: the reader needs nothing else than it and its socket.
    void afterOpen() { limits::dropAccess(); }

    protocol::FrameChannel& requests_;
    protocol::FrameChannel& replies_;
    Settings settings_;
    limits::RequestBudget budget_;
    std::string path_;
    std::unique_ptr<JetSource> source_;
    std::unique_ptr<JetRowCursor> cursor_;
    bool streaming_ = false;  // a row stream was opened and no other request came since
    JetRow row_;              // decoded into again for every row, keeping its memory
};

// Points stdout at /dev/null: anything the Jet library prints must not end
// up inside a reply frame.
bool sendStdoutToNowhere() {
    const base::FileDescriptor devNull(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    return devNull.isOpen() && ::dup2(devNull.get(), STDOUT_FILENO) >= 0;
}

}  // namespace
}  // namespace malvorn::jet

int main(int argc, char** argv) {
    using namespace malvorn::jet;
    const Settings settings = readSettings(argc, argv);
    // A damaged file can make the Jet library loop or allocate without end:
    // the heap has a ceiling (lowered to the file's needs once it is open),
    // each request a CPU time, and the reader ends with the program.
    limits::exitWhenOutOfMemory();
    limits::limitHeap(settings.memoryLimitMb);
    limits::endWithParent(settings.parent, STDIN_FILENO);
    // The replies get a descriptor of their own and stdout goes to /dev/null:
    // anything the Jet library prints must not end up inside a frame.
    const int replyFd = ::dup(STDOUT_FILENO);
    if (replyFd < 0 || !sendStdoutToNowhere())
        return 4;
    // The library's debug switches would print to stdout as well.
    ::unsetenv("MDB_OPTS");
    protocol::FrameChannel requests(STDIN_FILENO);
    protocol::FrameChannel replies(replyFd);
    try {
        Server server(requests, replies, settings);
        server.run();
    } catch (const std::exception&) {
        return 3;  // the program sees the channel close and reports it
    }
    return 0;
}

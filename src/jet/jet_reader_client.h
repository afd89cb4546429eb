#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "jet/jet_protocol.h"
#include "jet/jet_source.h"

namespace malvorn::jet {

struct JetReaderOptions {
    // The reader program; empty means: $MALVORN_JET_READER, else
    // malvorn-jet-reader beside the running program, else the one of the
    // build tree.
    std::string readerPath;
    // Longest wait for the reply to one request before the reader is taken
    // for hung and killed. Work is bounded in the reader by cpuLimit; this
    // catches a reader that waits (a file on a stalled disk).
    std::chrono::milliseconds progressTimeout{10000};
    // CPU time the reader may spend on one request (0: no limit). A healthy
    // request takes milliseconds (the largest real file: under 0.1 s per
    // batch); a damaged file that makes the Jet library loop ends here.
    std::chrono::milliseconds cpuLimit{2000};
    // Rows asked for at a time; the reader also stops a batch at about 1 MB.
    std::uint32_t rowsPerBatch = 512;
    // Batches of a row stream asked for before they are needed: the reader
    // makes them while the program converts and sends the rows before, so
    // that neither waits for the other. 0 asks for a batch when the rows run
    // out. Each costs at most one batch of memory, in the socket.
    std::uint32_t batchesAhead = 2;
    // Ceiling on the reader's heap: a damaged file can make the Jet library
    // allocate without end. The reader lowers it to what its file can need
    // (64 MB and eight times the file's size, see reader_limits.h).
    unsigned memoryLimitMb = 1024;
};

// The reader program that will be started for `explicitPath` (see
// JetReaderOptions::readerPath).
std::string locateJetReader(const std::string& explicitPath);

class ReaderProcess;

// A Jet database read through the reader process. The process is started by
// the constructor and ended by the destructor. A crash of the reader, or no
// progress within the time limit, becomes a JetError of kind kReaderFailed;
// after that every call fails the same way.
class JetReaderClient : public JetSource {
  public:
    explicit JetReaderClient(const std::string& databasePath,
                             JetReaderOptions options = JetReaderOptions());
    ~JetReaderClient() override;
    JetReaderClient(const JetReaderClient&) = delete;
    JetReaderClient& operator=(const JetReaderClient&) = delete;

    std::vector<std::string> tableNames() override;
    std::vector<std::string> userTableNames() override;
    model::JetTableDef readTable(const std::string& name) override;
    std::unique_ptr<JetRowCursor> openRows(const std::string& name) override;
    std::unique_ptr<JetRowCursor> openFlatRows(const std::string& name) override;
    model::JetTableSchema readSchema(const std::string& name) override;
    std::vector<model::StoredQueryRows> queryCatalog() override;

    // One request and its reply; a reply of kind kError is thrown. Any
    // request but kNextRows ends the row stream; replies still owed to it
    // are read and dropped first (see settleStream).
    protocol::Frame exchange(protocol::MessageType type, std::string payload,
                             protocol::MessageType expected);
    // The row cursors' halves of an exchange, so that a cursor can ask for
    // batches ahead: post() sends a request of the current stream, await()
    // takes the reply to the oldest one posted. A failure to send is told
    // by await(), once the replies already on their way are read.
    void post(protocol::MessageType type, std::string payload);
    protocol::Frame await(protocol::MessageType expected);
    // Requests posted whose replies have not been taken.
    std::uint32_t repliesOwed() const { return owed_; }
    // A reply that does not decode: the reader is stopped and the client lost.
    [[noreturn]] void rejectReply();
    std::uint64_t streamNumber() const { return streamNumber_; }
    const JetReaderOptions& options() const { return options_; }
    // The reader's process id while it runs (for measurements), else -1.
    int readerProcessId() const;

  private:
    void start();
    void settleStream();
    [[noreturn]] void fail(const std::string& detail);
    std::vector<std::string> names(protocol::MessageType request);
    std::unique_ptr<JetRowCursor> openStream(protocol::MessageType request,
                                             const std::string& name);

    std::string databasePath_;
    JetReaderOptions options_;
    std::unique_ptr<ReaderProcess> process_;
    std::string failure_;  // set once the reader is lost
    std::uint64_t streamNumber_ = 0;
    std::uint32_t owed_ = 0;   // replies to posted requests not yet taken
    bool sendBroken_ = false;  // a post found the reader gone
};

// The program's way of opening a Jet database: through the reader process.
std::unique_ptr<JetSource> openJetSource(const std::string& databasePath,
                                         const JetReaderOptions& options = JetReaderOptions());

}  // namespace malvorn::jet

// A stand-in for the reader process that misbehaves on purpose, chosen by
// $MALVORN_FAKE_READER_MODE, so the tests can see what the program makes of
// a reader that crashes, hangs or talks nonsense.
#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include "jet/jet_protocol.h"

using namespace malvorn::jet;
using protocol::Frame;
using protocol::MessageType;

namespace {

[[noreturn]] void hang() {
    for (;;)
        ::pause();
}

[[noreturn]] void crash() {
    std::signal(SIGSEGV, SIG_DFL);
    std::raise(SIGSEGV);
    std::abort();
}

}  // namespace

int main(int, char** argv) {
    const char* modeText = std::getenv("MALVORN_FAKE_READER_MODE");
    const std::string mode = modeText ? modeText : "";
    // Becomes the real reader ($MALVORN_FAKE_READER_TARGET) once the first
    // request has arrived (it stays unread for it), after writing its process
    // id to descriptor 3: a test then knows the request will be handled.
    if (mode == "real-after-request") {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        while (::poll(&input, 1, -1) < 0) {
        }
        ::dprintf(3, "%d\n", static_cast<int>(::getpid()));
        ::execv(std::getenv("MALVORN_FAKE_READER_TARGET"), argv);
        return 9;
    }
    protocol::FrameChannel in(STDIN_FILENO);
    protocol::FrameChannel out(STDOUT_FILENO);

    auto first = in.receive();
    if (!first)
        return 0;
    if (mode == "crash-at-open")
        crash();
    if (mode == "hang-at-open")
        hang();
    if (mode == "exit-at-open")
        return 0;
    if (mode == "garbage-at-open") {
        const char garbage[] = "\xff\xff\xff\xffnot a frame";
        (void)!::write(STDOUT_FILENO, garbage, sizeof garbage - 1);
        hang();
    }
    if (mode == "wrong-reply-at-open") {
        out.send(Frame{MessageType::kTableNames, protocol::PayloadWriter().u32(0).take()});
        hang();
    }
    out.send(Frame{MessageType::kOk, std::string()});

    // Rows: one Long column, two rows per batch, then the chosen failure.
    int batches = 0;
    while (auto request = in.receive()) {
        if (request->type == MessageType::kOpenRows) {
            out.send(Frame{MessageType::kRowsOpened,
                           protocol::PayloadWriter().i64(1000).u32(1).text("ID").u32(4).take()});
        } else if (request->type == MessageType::kNextRows) {
            // A damaged page on the second batch; like the real reader, an
            // empty last batch for each request after it.
            if (mode == "error-in-rows" && ++batches >= 2) {
                out.send(batches == 2
                             ? Frame{MessageType::kError,
                                     protocol::encodeError(JetErrorKind::kDamaged, "damaged page")}
                             : Frame{MessageType::kRowBatch,
                                     protocol::PayloadWriter().u32(0).u8(1).take()});
                continue;
            }
            if (mode != "error-in-rows" && ++batches == 2) {
                if (mode == "crash-in-rows")
                    crash();
                if (mode == "hang-in-rows")
                    hang();
            }
            protocol::PayloadWriter batch;
            batch.u32(2);
            protocol::writeValue(batch, std::int64_t{2 * batches - 1});
            protocol::writeValue(batch, std::int64_t{2 * batches});
            batch.u8(batches == 3 ? 1 : 0);
            out.send(Frame{MessageType::kRowBatch, batch.take()});
        } else {
            out.send(Frame{MessageType::kError,
                           protocol::encodeError(JetErrorKind::kNoSuchTable, "no such table")});
        }
    }
    return 0;
}

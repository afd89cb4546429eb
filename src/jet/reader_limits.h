#pragma once

// What keeps the reader process small, short-lived and harmless whatever a
// damaged file makes the Jet library do. Used by malvorn-jet-reader only.
#include <sys/types.h>
#include <chrono>

namespace malvorn::jet::limits {

// Heap the reader needs besides what a file can make it hold: the library,
// its catalog and the largest batch of rows (about 1 MB).
inline constexpr unsigned kBaseHeapMb = 64;
// A definition or a batch holds at most a few copies of what the file
// holds (a value read, converted to UTF-8 at up to three bytes a byte,
// encoded into the batch and the frame).
inline constexpr unsigned kHeapPerFileByte = 8;

// The heap ceiling for a file of `fileBytes` under the program's ceiling.
unsigned heapCeilingMb(off_t fileBytes, unsigned programCeilingMb);

// Lowers the ceiling on the heap (0: none). Allocation past it ends the
// process with kExitMemoryLimit, from the library's allocator and from ours.
void limitHeap(unsigned megabytes);
void exitWhenOutOfMemory();

// Every request gets `budget` of CPU time and three times that of real
// time; past either the process ends with kExitWorkLimit. A file that makes
// the library loop ends so.
class RequestBudget {
  public:
    explicit RequestBudget(std::chrono::milliseconds budget);
    void start() const;
    void stop() const;

  private:
    std::chrono::milliseconds budget_;
};

// Ends the process when `parent` ends, even while the library loops: the
// parent-death signal, and a thread that waits for the socket `fd` to be
// closed by the other side.
void endWithParent(pid_t parent, int fd);

// After the file is open: no new files, processes or network connections,
// and no raising of the limits. False when the system cannot do it.
bool dropAccess();

}  // namespace malvorn::jet::limits

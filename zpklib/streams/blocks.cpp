// Per-thread blocks of stream numbers handed out by getASNr.
//
// Block b (0..kThreadBlocks-1) has base kFirstThreadBase + b * kBlockSize and
// covers streams base + 1 .. base + kBlockSize.  A thread keeps its block
// until it ends: a thread_local guard returns it to the pool in its
// destructor.  The stream definitions in a released block are left as they
// are; the next owner redefines what it uses.
#include <array>
#include <mutex>

#include "streams/store.h"

namespace zpk::streams {

namespace {

struct Pool {
    std::mutex mutex;
    std::array<bool, kThreadBlocks> taken{};
    int inUse = 0;
};

// Never destroyed: guards of threads that end during process shutdown still
// release into it.
Pool& pool() {
    static Pool* p = new Pool;
    return *p;
}

struct BlockGuard {
    int block = -1;
    ~BlockGuard() {
        if (block < 0) return;
        Pool& p = pool();
        std::lock_guard lock(p.mutex);
        p.taken[block] = false;
        --p.inUse;
    }
};

}  // namespace

int threadBase() {
    thread_local BlockGuard guard;
    if (guard.block < 0) {
        Pool& p = pool();
        std::lock_guard lock(p.mutex);
        for (int b = 0; b < kThreadBlocks; ++b) {
            if (!p.taken[b]) {
                p.taken[b] = true;
                ++p.inUse;
                guard.block = b;
                break;
            }
        }
        if (guard.block < 0)
            core::fail("all " + std::to_string(kThreadBlocks) + " thread blocks of streams are in use",
                       kNotDefined);
    }
    return kFirstThreadBase + guard.block * kBlockSize;
}

int blocksInUse() {
    Pool& p = pool();
    std::lock_guard lock(p.mutex);
    return p.inUse;
}

}  // namespace zpk::streams

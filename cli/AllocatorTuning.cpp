#include "cli/AllocatorTuning.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace entorra::cli {

void TuneAllocatorForBatches() {
#if defined(__GLIBC__)
    // Up to the size of the largest maps; larger blocks are still mapped on their own.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
#endif
}

}  // namespace entorra::cli

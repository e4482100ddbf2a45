#pragma once

namespace entorra::cli {

// Map images are a little over a megabyte each. The allocator would map and unmap each from
// the system, and every unmap stops the other jobs' threads to flush their address caches;
// kept in the heap, the memory of one map is reused for the next. Called once at start.
void TuneAllocatorForBatches();

}  // namespace entorra::cli

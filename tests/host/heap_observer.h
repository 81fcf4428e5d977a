// Bookkeeping of the library's own heap blocks, shared by the platform hosts:
// a fixed table (no allocation inside the observer) behind a lock that the
// host provides.
#pragma once

#include <stddef.h>

namespace heap {

// Decides whether the next allocation fails (FailAllocation countdown).
bool ShouldFail();
void Allocated(void *block);
// False when the block was not live (a double or wild free).
bool Freed(void *block);

} // namespace heap

// Parts of one conversion run side by side: the calling thread and a small pool of worker
// threads that live as long as the process, so that a conversion pays for no thread start.
#pragma once

#include <functional>

namespace lentra_convert {

// Runs part(0) to part(parts - 1) on the calling thread and up to threads - 1 workers, and
// returns when every part has run. Each thread takes the next part not yet taken until none is
// left, so a worker that wakes late (a woken thread may start hundreds of microseconds later on a
// busy machine) still takes what is left, and the caller never waits for parts nobody has begun:
// it finishes even while every worker is busy with other callers' parts. An exception of a part
// is rethrown here once all have run.
void run_parts(int parts, int threads, const std::function<void(int)>& part);

// The cores this process may run on (its CPU affinity, as OpenCV counts them), at least 1.
int usable_cores();

}  // namespace lentra_convert

// Parts of one conversion run side by side: the calling thread and a small pool of worker
// threads that live as long as the process, so that a conversion pays for no thread start.
#pragma once

#include <functional>

namespace lentra_convert {

// Runs part(0) to part(parts - 1) on the calling thread and up to parts - 1 workers, and returns
// when every part has run. The caller runs parts too, so this finishes even while every worker
// is busy with other callers' parts. An exception of a part is rethrown here once all have run.
void run_parts(int parts, const std::function<void(int)>& part);

// The cores this process may run on (its CPU affinity, as OpenCV counts them), at least 1.
int usable_cores();

}  // namespace lentra_convert

#pragma once

namespace lentra {
// The embedded default rig description (JSON text of sdk/rigs/default_rig.json).
const char* defaultRigDescription();
}  // namespace lentra

// The SDK's opaque handle classes. The library derives its cameras (and routes) from them; a
// handle that holds anything else is treated as an invalid one.
#include "LentraSDK.h"
#include "device/camera.h"

LxCamera::LxCamera() = default;
LxCamera::~LxCamera() = default;
LxRoute::LxRoute() = default;
LxRoute::~LxRoute() = default;

namespace lentra {

Camera* cameraFrom(const LxCameraHandle& handle) { return dynamic_cast<Camera*>(handle.get()); }

}  // namespace lentra

// What a camera's control values do to its frames: ControlsModel::imageAdjustments, kept apart
// from the model's bookkeeping. sdk/docs/test-pattern.md documents each rule.
#pragma once

#include "controls/controls_model.h"

#pragma once

// Whether the user asked the desktop for less motion (GNOME's "enable
// animations" switched off), read once per process through the desktop
// portal. The question is asked on first use without waiting for the answer:
// until it comes (or when there is no portal) motion is not reduced.

#include <optional>

namespace motion {

bool reduceMotion();

// Tests: a fixed answer instead of the desktop's (none: ask the desktop again).
void setReduceMotionForTesting(std::optional<bool> value);

} // namespace motion

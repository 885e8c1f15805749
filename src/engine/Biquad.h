// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace voxlane {

// One second-order section normalised to a0 = 1:
// H(z) = (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2).
struct Biquad {
    double b0 = 1.0;
    double b1 = 0.0;
    double b2 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;

    bool operator==(const Biquad&) const = default;
};

} // namespace voxlane

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The known length a user types when calibrating: "1 mm", "250 µm", "250 um", "0,5" or
// "0.5" (then in the unit chosen beside the field). Any thread.

#include <optional>

#include <QString>

namespace dm {

enum class KnownLengthUnit { kMicrometre, kMillimetre };

// The length in millimetres; none for garbage, zero, a negative or an endless number.
std::optional<double> ParseKnownLength(const QString& text, KnownLengthUnit unitWithoutSymbol);

}  // namespace dm

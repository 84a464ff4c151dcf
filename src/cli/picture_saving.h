// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A received picture as the window saves it: decoded, with the digital zoom of its zoom
// step applied (the 320 x 240 picture the user sees, which the ruler measures), in the
// format its file name ends with and with its scale and time stamped in. Written whole or
// not at all. Any thread.

#include <cstdint>

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace dm::cli {

enum class SaveOutcome { kSaved, kUndecodable, kNotWritten };

// With kNotWritten, `why` says what the system answered ("No space left on device").
SaveOutcome SaveReceivedPicture(const QByteArray& jpeg, uint32_t info, const QDateTime& taken,
                                const QString& path, QString* why = nullptr);

}  // namespace dm::cli

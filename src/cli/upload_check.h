// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What is wrong with a file given to upload, found before the microscope is reached: a
// file the upload would refuse or, worse, send as garbage. Any thread.

#include <optional>

#include <QString>

namespace dm::cli {

// Why the file cannot be uploaded ("cannot be read: Permission denied", "is no JPEG or
// BMP picture", "is a JPEG whose data is broken"); nothing when it decodes cleanly as the
// upload decodes it.
std::optional<QString> UploadFileProblem(const QString& path);

}  // namespace dm::cli

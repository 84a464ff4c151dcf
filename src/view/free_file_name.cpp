// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/free_file_name.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace dm {

namespace {
constexpr int kFirstCopy = 2;
const QRegularExpression kNumberedBase(QStringLiteral("^(.*_)(\\d+)$"));
}  // namespace

QString FreeFilePath(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return path;
    }
    // The folder part is kept as written, so a relative path stays relative.
    const QString folder = path.left(path.size() - info.fileName().size());
    const QString suffix =
        info.suffix().isEmpty() ? QString() : QStringLiteral(".") + info.suffix();
    QString stem = info.completeBaseName();
    qulonglong number = kFirstCopy;
    if (const auto match = kNumberedBase.match(stem); match.hasMatch()) {
        stem = match.captured(1);
        number = match.captured(2).toULongLong() + 1;
    } else {
        stem += QLatin1Char('_');
    }
    for (;; ++number) {
        const QString candidate = folder + stem + QString::number(number) + suffix;
        if (!QFileInfo::exists(candidate)) {
            return candidate;
        }
    }
}

}  // namespace dm

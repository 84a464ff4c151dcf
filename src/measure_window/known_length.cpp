// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure_window/known_length.h"

#include <cmath>

#include <QRegularExpression>

namespace dm {

namespace {
constexpr double kMicrometresPerMillimetre = 1000.0;
}

std::optional<double> ParseKnownLength(const QString& text, KnownLengthUnit unitWithoutSymbol) {
    // The micro sign U+00B5 and the Greek mu U+03BC look alike; people type either.
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*([0-9]+(?:[.,][0-9]*)?|[.,][0-9]+)\\s*(mm|um|\u00B5m|\u03BCm)?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    QString number = match.captured(1);
    number.replace(u',', u'.');
    bool ok = false;
    const double amount = number.toDouble(&ok);
    if (!ok || !std::isfinite(amount) || amount <= 0.0) {
        return std::nullopt;
    }
    const QString symbol = match.captured(2).toLower();
    const bool micrometres = symbol.isEmpty() ? unitWithoutSymbol == KnownLengthUnit::kMicrometre
                                              : symbol != QStringLiteral("mm");
    return micrometres ? amount / kMicrometresPerMillimetre : amount;
}

}  // namespace dm

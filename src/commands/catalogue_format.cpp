// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/catalogue_format.h"

#include <algorithm>
#include <cstdlib>

namespace dm {

namespace {

// Wider fields are not a number the user meant to see; they are copied as text.
constexpr int kMaxFieldWidth = 64;
constexpr int kDecimal = 10;
constexpr int kHex = 16;

struct Conversion {
    bool leftAlign = false;
    bool plusSign = false;
    bool spaceSign = false;
    bool alternate = false;
    bool zeroPad = false;
    int width = 0;
    int precision = -1;  // -1 when not given
    QChar type;
    qsizetype length = 0;  // characters from the '%' to the type, inclusive
};

bool IsIntegerType(QChar c) {
    return c == u'd' || c == u'i' || c == u'u' || c == u'x' || c == u'X';
}

// Reads a run of digits; false when it is longer than a field width can sensibly be.
bool ReadNumber(const QString& text, qsizetype& pos, int& number) {
    number = 0;
    while (pos < text.size() && text[pos].isDigit()) {
        number = number * kDecimal + text[pos].digitValue();
        ++pos;
        if (number > kMaxFieldWidth) {
            return false;
        }
    }
    return true;
}

// Parses the integer conversion that starts with the '%' at start, if it is one.
std::optional<Conversion> ParseConversion(const QString& text, qsizetype start) {
    Conversion conv;
    qsizetype pos = start + 1;
    for (; pos < text.size(); ++pos) {
        const QChar c = text[pos];
        if (c == u'-') {
            conv.leftAlign = true;
        } else if (c == u'+') {
            conv.plusSign = true;
        } else if (c == u' ') {
            conv.spaceSign = true;
        } else if (c == u'#') {
            conv.alternate = true;
        } else if (c == u'0') {
            conv.zeroPad = true;
        } else {
            break;
        }
    }
    if (!ReadNumber(text, pos, conv.width)) {
        return std::nullopt;
    }
    if (pos < text.size() && text[pos] == u'.') {
        ++pos;
        if (!ReadNumber(text, pos, conv.precision)) {
            return std::nullopt;
        }
    }
    while (pos < text.size() && (text[pos] == u'l' || text[pos] == u'h')) {
        ++pos;  // length modifiers change nothing for a 32-bit value
    }
    if (pos >= text.size() || !IsIntegerType(text[pos])) {
        return std::nullopt;
    }
    conv.type = text[pos];
    conv.length = pos - start + 1;
    return conv;
}

QString FormatInteger(const Conversion& conv, uint32_t value) {
    const bool isSigned = conv.type == u'd' || conv.type == u'i';
    const bool isHex = conv.type == u'x' || conv.type == u'X';
    // %d reads the 32-bit word as a signed int, as printf does.
    const int64_t signedValue = static_cast<int32_t>(value);
    const bool negative = isSigned && signedValue < 0;
    const uint64_t magnitude = isSigned ? static_cast<uint64_t>(std::llabs(signedValue)) : value;

    QString digits = QString::number(magnitude, isHex ? kHex : kDecimal);
    if (conv.type == u'X') {
        digits = digits.toUpper();
    }
    if (conv.precision == 0 && magnitude == 0) {
        digits.clear();
    } else if (conv.precision > digits.size()) {
        digits = QString(conv.precision - digits.size(), u'0') + digits;
    }

    QString prefix;
    if (negative) {
        prefix = QStringLiteral("-");
    } else if (isSigned && conv.plusSign) {
        prefix = QStringLiteral("+");
    } else if (isSigned && conv.spaceSign) {
        prefix = QStringLiteral(" ");
    } else if (isHex && conv.alternate && magnitude != 0) {
        prefix = conv.type == u'X' ? QStringLiteral("0X") : QStringLiteral("0x");
    }

    const qsizetype padding = std::max<qsizetype>(0, conv.width - prefix.size() - digits.size());
    if (conv.leftAlign) {
        return prefix + digits + QString(padding, u' ');
    }
    if (conv.zeroPad && conv.precision < 0) {
        return prefix + QString(padding, u'0') + digits;
    }
    return QString(padding, u' ') + prefix + digits;
}

}  // namespace

QString FormatCatalogueMessage(const QString& text, std::optional<uint32_t> value) {
    QString result;
    result.reserve(text.size());
    bool valueUsed = !value.has_value();
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype percent = text.indexOf(u'%', pos);
        if (percent < 0) {
            result += QStringView(text).mid(pos);
            break;
        }
        result += QStringView(text).mid(pos, percent - pos);
        if (percent + 1 < text.size() && text[percent + 1] == u'%') {
            result += u'%';
            pos = percent + 2;
            continue;
        }
        if (!valueUsed) {
            if (const auto conv = ParseConversion(text, percent)) {
                result += FormatInteger(*conv, *value);
                valueUsed = true;
                pos = percent + conv->length;
                continue;
            }
        }
        result += u'%';
        pos = percent + 1;
    }
    return result;
}

}  // namespace dm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ini_file.h"

// Texts stay UTF-8 bytes end to end; names compare without regard to ASCII case.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION  // header-only use; some packagings need it spelled out
#include <SimpleIni.h>

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QSaveFile>

namespace dm {

struct IniFile::Parsed {
    CSimpleIniA ini{/*isUtf8=*/true, /*multiKey=*/false, /*multiLine=*/false};
};

IniFile::IniFile() : parsed_(std::make_unique<Parsed>()) {}
IniFile::~IniFile() = default;

bool IniFile::Load(const QString& path) {
    // Read through QFile so that paths outside the local 8-bit code page work everywhere.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray bytes = file.readAll();
    parsed_ = std::make_unique<Parsed>();
    return parsed_->ini.LoadData(bytes.constData(), static_cast<size_t>(bytes.size())) >= 0;
}

QString IniFile::Value(const QString& section, const QString& key) const {
    const QByteArray sectionUtf8 = section.toUtf8();
    const QByteArray keyUtf8 = key.toUtf8();
    const char* value = parsed_->ini.GetValue(sectionUtf8.constData(), keyUtf8.constData(), "");
    return QString::fromUtf8(value);
}

bool IniFile::HasKey(const QString& section, const QString& key) const {
    const QByteArray sectionUtf8 = section.toUtf8();
    const QByteArray keyUtf8 = key.toUtf8();
    return parsed_->ini.GetValue(sectionUtf8.constData(), keyUtf8.constData(), nullptr) != nullptr;
}

namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

// One line of the file without its line break; `ending` is the break that followed it.
struct Line {
    QByteArray text;
    QByteArray ending;
};

QList<Line> SplitLines(const QByteArray& bytes) {
    QList<Line> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0) {
            lines.append({bytes.mid(start), {}});
            break;
        }
        const bool crlf = end > start && bytes.at(end - 1) == '\r';
        const qsizetype textEnd = crlf ? end - 1 : end;
        lines.append({bytes.mid(start, textEnd - start), crlf ? "\r\n" : "\n"});
        start = end + 1;
    }
    return lines;
}

QByteArray Trimmed(QByteArray text) {
    if (text.startsWith(kUtf8Bom)) {
        text.remove(0, 3);
    }
    return text.trimmed();
}

bool IsComment(const QByteArray& trimmed) {
    return trimmed.startsWith(';') || trimmed.startsWith('#');
}

// The section a header line opens, or a null array when the line is no header.
QByteArray SectionName(const QByteArray& trimmed) {
    if (!trimmed.startsWith('[')) {
        return {};
    }
    const qsizetype close = trimmed.indexOf(']');
    if (close < 0) {
        return {};
    }
    return trimmed.mid(1, close - 1).trimmed();
}

bool SameName(const QByteArray& a, const QByteArray& b) {
    return QString::fromUtf8(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive) == 0;
}

QByteArray DominantEnding(const QList<Line>& lines) {
    for (const Line& line : lines) {
        if (!line.ending.isEmpty()) {
            return line.ending;
        }
    }
    return "\n";
}

void SetValueInLines(QList<Line>& lines, const QByteArray& section, const QByteArray& key,
                     const QByteArray& value) {
    const QByteArray ending = DominantEnding(lines);
    bool inSection = false;
    qsizetype lastContentInSection = -1;
    qsizetype sectionHeader = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray trimmed = Trimmed(lines[i].text);
        const QByteArray header = SectionName(trimmed);
        if (!header.isNull()) {
            if (inSection) {
                break;  // the section ended without the key
            }
            inSection = SameName(header, section);
            if (inSection) {
                sectionHeader = i;
                lastContentInSection = i;
            }
            continue;
        }
        if (!inSection || trimmed.isEmpty()) {
            continue;
        }
        lastContentInSection = i;
        const qsizetype equals = lines[i].text.indexOf('=');
        if (IsComment(trimmed) || equals < 0) {
            continue;
        }
        if (SameName(Trimmed(lines[i].text.left(equals)), key)) {
            // Keep the key as spelled and any blanks after '='.
            qsizetype valueStart = equals + 1;
            while (valueStart < lines[i].text.size() &&
                   (lines[i].text.at(valueStart) == ' ' || lines[i].text.at(valueStart) == '\t')) {
                ++valueStart;
            }
            lines[i].text = lines[i].text.left(valueStart) + value;
            return;
        }
    }
    const Line keyLine{key + '=' + value, ending};
    if (sectionHeader >= 0) {
        if (lines[lastContentInSection].ending.isEmpty()) {
            lines[lastContentInSection].ending = ending;
        }
        lines.insert(lastContentInSection + 1, keyLine);
        return;
    }
    if (!lines.isEmpty() && lines.last().ending.isEmpty()) {
        lines.last().ending = ending;
    }
    lines.append({'[' + section + ']', ending});
    lines.append(keyLine);
}

void SetError(QString* error, const QString& text) {
    if (error != nullptr) {
        *error = text;
    }
}

}  // namespace

bool WriteIniValue(const QString& path, const QString& section, const QString& key,
                   const QString& value, QString* error) {
    QFile current(path);
    if (!current.open(QIODevice::ReadOnly)) {
        SetError(error, current.errorString());
        return false;
    }
    QList<Line> lines = SplitLines(current.readAll());
    current.close();

    SetValueInLines(lines, section.toUtf8(), key.toUtf8(), value.toUtf8());

    QSaveFile replacement(path);
    if (!replacement.open(QIODevice::WriteOnly)) {
        SetError(error, replacement.errorString());
        return false;
    }
    bool written = true;
    for (const Line& line : lines) {
        written = written && replacement.write(line.text) == line.text.size() &&
                  replacement.write(line.ending) == line.ending.size();
    }
    // Flush before commit: a buffered write that fails only while commit() closes the file
    // does not stop the commit, and the cut-short file would replace the good one. An
    // uncommitted QSaveFile throws its temporary file away.
    if (!written || !replacement.flush()) {
        SetError(error, replacement.errorString());
        return false;
    }
    if (!replacement.commit()) {
        SetError(error, replacement.errorString());
        return false;
    }
    return true;
}

}  // namespace dm

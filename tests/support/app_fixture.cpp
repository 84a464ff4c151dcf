// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/app_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/ini_file.h"

namespace dm::test {

bool ScriptedDialogs::ShowBox(QWidget* /*parent*/, const BoxRequest& request) {
    boxes.push_back(request);
    if (onBox) {
        onBox(request);
    }
    if (hold_ || (holdIf && holdIf(request))) {
        QEventLoop open;
        openBoxes_.push_back(&open);
        open.exec();
        openBoxes_.pop_back();
        return false;
    }
    if (request.buttons == BoxButtons::Ok || answers.empty()) {
        return true;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<FileAnswer> ScriptedDialogs::ShowFileDialog(QWidget* /*parent*/,
                                                          const FileRequest& request) {
    files.push_back(request);
    if (onFileDialog) {
        onFileDialog(request);
    }
    if (fileAnswers.empty()) {
        return std::nullopt;
    }
    const FileAnswer answer = fileAnswers.front();
    fileAnswers.pop_front();
    if (answer.path.isEmpty()) {
        return std::nullopt;
    }
    return answer;
}

int ScriptedDialogs::RunDialog(QDialog& dialog) {
    ++dialogsRun;
    if (onDialog) {
        onDialog(dialog);
    }
    return QDialog::Accepted;
}

void ScriptedDialogs::CloseAll() {
    ++closeAllCalls;
    for (QEventLoop* open : openBoxes_) {
        open->quit();
    }
}

int32_t RecordingPort::WritePort(const uint8_t* bytes, int32_t n) {
    if (!open) {
        return -1;
    }
    std::string line = "Write";
    for (int32_t i = 0; i < n; ++i) {
        line +=
            QStringLiteral(" %1").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper().toStdString();
    }
    log_.push_back(line);
    return n;
}

namespace {

// DM_SOURCE_DIR names the source tree; without it, the tree the tests were configured from
// (a compiler cache may have made __FILE__ relative).
QString SourceTree() {
    const QString fromEnvironment = qEnvironmentVariable("DM_SOURCE_DIR");
    if (!fromEnvironment.isEmpty()) {
        return fromEnvironment;
    }
    return QString::fromUtf8(DM_SOURCE_TREE);
}

}  // namespace

void AppFixture::SetUp() {
    ASSERT_TRUE(root_.isValid());
    const QDir source(SourceTree() + QStringLiteral("/data"));
    ASSERT_TRUE(source.exists()) << "DM_SOURCE_DIR must name the source tree";
    ASSERT_TRUE(QDir(root_.path()).mkpath(QStringLiteral("start")));
    ASSERT_TRUE(QDir(root_.path()).mkpath(QStringLiteral("home")));
    for (const QString& name : source.entryList(QDir::Files)) {
        ASSERT_TRUE(QFile::copy(source.filePath(name), DataFile(name)));
    }
    previousDir_ = QDir::currentPath();
    QDir::setCurrent(StartFolder());
    SetEnv("HOME", ProfileFolder().toLocal8Bit().constData());
    for (const char* xdg : {"XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"}) {
        SetEnv(xdg, nullptr);  // the user folders follow HOME
    }
    SetEnv("LC_ALL", nullptr);
    SetEnv("LC_MESSAGES", nullptr);
    SetEnv("LANG", "C");
}

void AppFixture::TearDown() {
    form.reset();
    QDir::setCurrent(previousDir_);
    for (auto it = savedEnv_.rbegin(); it != savedEnv_.rend(); ++it) {
        if (it->second) {
            qputenv(it->first.constData(), *it->second);
        } else {
            qunsetenv(it->first.constData());
        }
    }
}

TForm1& AppFixture::Start() {
    form = std::make_unique<TForm1>(dialogs);
    started = form->FormCreate();
    return *form;
}

void AppFixture::SetEnv(const char* name, const char* value) {
    std::optional<QByteArray> previous;
    if (qEnvironmentVariableIsSet(name)) {
        previous = qgetenv(name);
    }
    savedEnv_.emplace_back(QByteArray(name), previous);
    if (value == nullptr) {
        qunsetenv(name);
    } else {
        qputenv(name, QByteArray(value));
    }
}

QString AppFixture::DataFile(const QString& name) const {
    return QDir(StartFolder()).filePath(name);
}

QByteArray AppFixture::ReadDataFile(const QString& name) const {
    QFile file(DataFile(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}

void AppFixture::WriteDataFile(const QString& name, const QByteArray& bytes) const {
    QFile file(DataFile(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

void AppFixture::EditDataLine(const QString& name, const QByteArray& prefix,
                              const QByteArray& replacement) const {
    QList<QByteArray> lines = ReadDataFile(name).split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith(prefix)) {
            if (replacement.isNull()) {
                lines.removeAt(i);
            } else {
                lines[i] = replacement;
            }
            WriteDataFile(name, lines.join('\n'));
            return;
        }
    }
    ADD_FAILURE() << "no line " << prefix.toStdString() << " in " << name.toStdString();
}

QString AppFixture::IniValue(const QString& file, const QString& section,
                             const QString& key) const {
    IniFile ini;
    EXPECT_TRUE(ini.Load(DataFile(file)));
    return ini.Value(section, key);
}

}  // namespace dm::test

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shared pieces of the window tests and the whole-program runs: scripted dialogs,
// recording handlers and a fixture that runs each test in a fresh start-up folder holding
// copies of data/, with its own profile folder and a neutral locale.

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QByteArray>
#include <QDialog>
#include <QEventLoop>
#include <QString>
#include <QTemporaryDir>

#include "app/device_button_handlers.h"
#include "app/dialog_provider.h"
#include "app/main_window.h"
#include "link/device_port.h"

namespace dm::test {

// Answers every box and dialog from a script and records what was asked. With Hold()
// (every box) or holdIf (the boxes it picks) a box stays "open" (a nested event loop)
// until CloseAll(), as a user who leaves it be. Window thread only.
class ScriptedDialogs : public DialogProvider {
  public:
    bool ShowBox(QWidget* parent, const BoxRequest& request) override;
    std::optional<FileAnswer> ShowFileDialog(QWidget* parent, const FileRequest& request) override;
    int RunDialog(QDialog& dialog) override;
    void CloseAll() override;

    void QueueAnswer(bool ok) { answers.push_back(ok); }
    void QueueFile(FileAnswer answer) { fileAnswers.push_back(std::move(answer)); }
    void Hold() { hold_ = true; }

    std::vector<BoxRequest> boxes;
    std::deque<bool> answers;  // for OK/Cancel boxes; none left: OK
    std::vector<FileRequest> files;
    std::deque<FileAnswer> fileAnswers;  // none left or an empty path: Cancel
    // Called with each dialog run, while it is "open".
    std::function<void(QDialog&)> onDialog;
    // Called as each box opens, before it is answered or held.
    std::function<void(const BoxRequest&)> onBox;
    // Called as each file dialog opens, before it is answered.
    std::function<void(const FileRequest&)> onFileDialog;
    // Boxes for which it returns true stay open until CloseAll().
    std::function<bool(const BoxRequest&)> holdIf;
    int dialogsRun = 0;
    int closeAllCalls = 0;
    int HeldBoxes() const { return static_cast<int>(openBoxes_.size()); }

  private:
    bool hold_ = false;
    std::vector<QEventLoop*> openBoxes_;  // innermost last
};

// Records the name of every handler the window forwards.
class RecordingHandlers : public DeviceButtonHandlers {
  public:
#define DM_RECORD(name)         \
    void name() override {      \
        calls.push_back(#name); \
    }
    DM_RECORD(ConnectBtnClick)
    DM_RECORD(DownloadBtnClick)
    DM_RECORD(UploadBtnClick)
    DM_RECORD(CameraBtnClick)
    DM_RECORD(SnapShotBtnClick)
    DM_RECORD(UpBtnClick)
    DM_RECORD(LeftBtnClick)
    DM_RECORD(CentralBtnClick)
    DM_RECORD(RightBtnClick)
    DM_RECORD(DownBtnClick)
    DM_RECORD(ZoomOutBtnClick)
    DM_RECORD(LockBtnClick)
    DM_RECORD(ZoomInBtnClick)
    DM_RECORD(ListView1Click)
    DM_RECORD(CheckBox1Click)
    DM_RECORD(CheckBox2Click)
    DM_RECORD(SaveBtnClick)
    DM_RECORD(SaveAllBtnClick)
    DM_RECORD(DelBtnClick)
    DM_RECORD(Delete1Click)
    DM_RECORD(DelAllBtnClick)
#undef DM_RECORD
    std::vector<std::string> calls;
};

// A port that records what the exits do with it; `log` is shared with the exit clean-up.
class RecordingPort : public DevicePort {
  public:
    explicit RecordingPort(std::vector<std::string>& log) : log_(log) {}
    bool OpenPort(uint8_t, int8_t) override { return open = true; }
    void ClosePort() override {
        log_.push_back("ClosePort");
        open = false;
    }
    bool IsOpen() const override { return open; }
    uint64_t BytesReceived() const override { return 0; }
    OpenAttempt LastAttempt() const override { return {}; }
    std::vector<std::string> DeviceNames() const override { return {}; }
    bool DevicePresent(const std::string& /*device*/) const override { return false; }
    int32_t WritePort(const uint8_t* bytes, int32_t n) override;
    bool open = false;

  private:
    std::vector<std::string>& log_;
};

class AppFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the window and runs its start-up; the result of FormCreate in `started`.
    TForm1& Start();
    void SetEnv(const char* name, const char* value);  // nullptr unsets
    QString StartFolder() const { return root_.filePath(QStringLiteral("start")); }
    QString ProfileFolder() const { return root_.filePath(QStringLiteral("home")); }
    // The program's folder in the profile's cache folder: the scratch pictures' root.
    QString CacheFolder() const {
        return ProfileFolder() + QStringLiteral("/.cache/digital-microscope");
    }
    QString DataFile(const QString& name) const;
    QByteArray ReadDataFile(const QString& name) const;
    void WriteDataFile(const QString& name, const QByteArray& bytes) const;
    // Replaces the first line starting with `prefix` in a data file (nothing: removes it).
    void EditDataLine(const QString& name, const QByteArray& prefix,
                      const QByteArray& replacement) const;
    // A key of a data file read the way the program reads it.
    QString IniValue(const QString& file, const QString& section, const QString& key) const;

    ScriptedDialogs dialogs;
    std::unique_ptr<TForm1> form;
    bool started = false;

  private:
    QTemporaryDir root_;
    QString previousDir_;
    std::vector<std::pair<QByteArray, std::optional<QByteArray>>> savedEnv_;
};

template <typename T>
T* Find(QObject& parent, const char* name) {
    return parent.findChild<T*>(QString::fromLatin1(name));
}

}  // namespace dm::test

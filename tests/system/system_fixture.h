// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whole-program runs: the main window and its device session, as main() builds them,
// against a virtual microscope in this process. Every box and dialog is answered by the
// scripted dialogs; the window's own timers run while the test pumps the event loop.
// What reached the microscope is read from its wire log.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QImage>
#include <QProgressBar>
#include <QString>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "app/device_session.h"
#include "app/main_window.h"
#include "support/app_fixture.h"
#include "virtual-microscope/pseudo_terminal.h"
#include "virtual-microscope/virtual_microscope.h"

namespace dm::test {

using Bytes = vm::Bytes;
using std::chrono::milliseconds;

// Long enough for any single step of the program under a sanitizer; a passing test
// never waits this long.
inline constexpr milliseconds kStepTimeout{10000};
// How long a test watches to be sure that something does not happen.
inline constexpr milliseconds kQuietTime{400};

// The main window, recording every progress value the workers and timers set, in order.
class ObservedForm : public TForm1 {
  public:
    using TForm1::TForm1;
    void SetProgress(int percent) override;
    std::vector<int> ProgressValues() const;
    void ClearProgressValues();

  private:
    mutable std::mutex lock_;
    std::vector<int> progress_;
};

// A serial device that opens but never answers: what reaches it can be read back.
class SilentPort {
  public:
    SilentPort();
    const std::string& Path() const { return pty_.SlavePath(); }
    // Everything the program wrote to it so far (waits up to `timeout` for the first byte).
    Bytes Received(milliseconds timeout = milliseconds{0});
    bool HeldByProgram() const { return pty_.SlaveHeldElsewhere(); }

  private:
    vm::PseudoTerminal pty_;
    Bytes received_;
};

Bytes Frame(uint8_t command, uint16_t length = 0);
Bytes FrameWithWord(uint8_t command, uint32_t word);  // picture and delete requests
std::string Hex(const Bytes& bytes);

class SystemTest : public AppFixture {
  protected:
    void TearDown() override;

    // Starts the microscope; its pseudo-terminal path is Microscope Path().
    void StartMicroscope(vm::Options options = {});
    // Builds the window and the session over a port table of these paths, runs the
    // start-up and shows the window.
    void StartProgram(std::vector<std::string> ports);
    // Adds a device at the end of the program's port table (any thread).
    void AddPort(const std::string& path);
    // The microscope as the program's port table names it: by its published link, which
    // goes with it and which only a microscope of this process can take again. Not by its
    // pseudo-terminal path: once the microscope is unplugged the system hands that path to
    // the next pseudo-terminal opened by any process, and the program, which probes a name
    // that comes back, would probe another test's port.
    std::string MicroscopePort() const;
    // Microscope, program with the microscope as its only port, and a connection.
    void StartConnected(vm::Options options = {});
    // Clicks Connect and waits for the ready set and the link-start frame.
    void Connect();
    // Closes the window (if still open), ends the session, the microscope and the silent
    // ports. Safe to call twice.
    void EndAll();

    // Pumps the event loop for a while, to see that nothing (more) happens.
    static void KeepRunning(milliseconds duration = kQuietTime);
    // Pumps the event loop until `condition` holds; false after `timeout`.
    bool WaitUntil(const std::function<bool()>& condition, milliseconds timeout = kStepTimeout);

    // Wire log queries: index of the first frame at or after `from` that begins with
    // `prefix`.
    std::optional<std::size_t> FindFrame(const Bytes& prefix, std::size_t from = 0) const;
    bool WaitForFrame(const Bytes& prefix, std::size_t from = 0,
                      milliseconds timeout = kStepTimeout);
    int CountFrames(const Bytes& prefix, std::size_t from = 0) const;
    std::size_t FrameCount() const { return microscope->ReceivedCount(); }
    // Every frame received from `from` on, each as "F8 29 00 00".
    std::vector<std::string> FramesFrom(std::size_t from) const;

    // Controls.
    QToolButton* Button(const char* name) const;
    void Click(const char* name);
    QTreeWidget* List() const;
    QProgressBar* Progress() const;
    // Selects the row and clicks it as the user does.
    void ClickRow(int row);
    int RowCount() const;
    QStringList Row(int row) const;

    // Boxes, wire log and device buttons, for failure messages.
    std::string DebugState() const;
    bool ReadySet() const;         // every device button enabled, SnapShotBtn not
    bool DisconnectedSet() const;  // only ConnectBtn of the device buttons enabled
    bool ShowsGlyph(QToolButton* button, const QString& file) const;

    // Boxes shown so far whose text is catalogue message `number`.
    int BoxesWithMessage(int number) const;
    int BoxesWithText(const QString& text) const;

    // A download of everything, answered through message 7; leaves the list filled.
    void DownloadAll();

    // The program's folder in the cache folder, which outlives every run.
    QString ScratchRoot() const { return form->ScratchFolder(); }
    // This run's folder inside it, and its folder for the downloaded pictures.
    QString RunFolder() const;
    QString ScratchFolder() const { return session->DownloadsFolder(); }
    // Every file in the folder and below it, as paths relative to it.
    static QStringList FilesUnder(const QString& folder);
    QString OutputFolder() const;  // where the tests save their files
    // Writes a JPEG file of a flat colour and returns its path.
    QString WriteJpegFile(const QString& name, QSize size, QColor colour, int quality);

    std::unique_ptr<vm::VirtualMicroscope> microscope;
    std::unique_ptr<DeviceSession> session;
    ObservedForm* observed = nullptr;
    std::vector<std::unique_ptr<SilentPort>> silentPorts;

  private:
    std::mutex portsLock_;
    std::vector<std::string> ports_;  // the program's port table, under portsLock_
};

// Pixels alike: both pictures converted to one format first.
bool SamePixels(const QImage& a, const QImage& b);

}  // namespace dm::test

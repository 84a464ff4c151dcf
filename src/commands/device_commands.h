// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The commands the command thread runs: every conversation with the microscope that
// takes longer than one write. Each command writes its requests, waits for the data
// thread's answer through the device state, updates the window and asks the user.
//
// Threads: every command runs on the command thread (registered with Register). The
// constructor and Register belong to the window thread, before the first request.

#include <QDate>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "commands/cmd_proc_thread.h"
#include "inbound/device_state.h"
#include "inbound/image_buffer.h"
#include "inbound/window_port.h"
#include "link/device_port.h"

namespace dm {

// What a probe found on one port of the port table.
struct PortFinding {
    std::string device;
    PortProblem problem = PortProblem::kNoDevice;  // kNone: it opened
    bool answered = false;                         // a microscope answered the probe
};

class DeviceCommands {
  public:
    using DateSource = std::function<QDate()>;

    // Snapshots are numbered 1..65533; the name table has a slot per counter value.
    static constexpr int kSnapshotNameSlots = 65535;
    static constexpr uint16_t kSnapshotBufferFull = 65534;

    // scratchFolder holds the scratch pictures (see ScratchPicturePath) that deletes remove.
    // today gives the date for snapshot names (the current date when empty).
    DeviceCommands(DeviceState& state, DevicePort& port, WindowPort& window, IMAGE_BUFFER& pictures,
                   TCmdProcThread& thread, QString scratchFolder, DateSource today = {});

    // Puts every command of the command table into the thread.
    void Register(TCmdProcThread& thread);

    // The commands, by code.
    void DownloadAll();     // 0x21F8
    void DeleteSelected();  // 0x23F8
    void DeleteAll();       // 0x24F8
    void Upload();          // 0x27F8
    void Snapshot();        // 0x28F8
    void CameraOn();        // 0x29F8
    void PortSearch();      // 0xFFE1
    void SendKey(int key);  // 0xFFE2..0xFFE9, key 1..8
    // Probes every port of the port table, as the port search would, and closes each
    // again; the findings are kept for PortSurvey. The command line's "ports".
    void SurveyPorts();  // 0xFFEA

    // The sending half of the upload: header, memory-full check and paced data. Sends
    // nothing unless 0 < size < 65535. Reports a failed write and stops there. Command
    // thread.
    void SendUploadStream(const QByteArray& jpeg);

    // Base name stored for a snapshot number; empty when none was made.
    QString SnapshotName(uint16_t counter) const;

    // Waits until the transfer status is non-zero, waking as soon as the data thread sets
    // it; gives up after limit + 1 periods in which no byte of a reply arrived
    // (DeviceState::replyProgress: other bytes on the line do not count), or after
    // kReplyHardLimit. Ends at once when the command is cut short (Interrupted). True when
    // the status became non-zero. Giving up abandons the reply: whatever part of it
    // arrives is dropped.
    bool WaitForTransfer(std::chrono::milliseconds period, int limit);

    // The scratch picture of a picture number, as the digital zoom conversion writes it.
    QString ScratchPicturePath(uint32_t pictureNumber) const;

    // What the last SurveyPorts found, in port-number order. Any thread once it ended.
    std::vector<PortFinding> PortSurvey() const;

    // Which pictures the next downloads fetch, by picture number: none given (the
    // default) fetches all; the others' records stay empty, as for pictures that did not
    // arrive, so rows and records stay aligned. An empty list fetches only the directory.
    // Before the request.
    void SetDownloadSelection(std::optional<std::vector<uint32_t>> numbers);

    // Makes the next port search a quiet reconnect: it probes only these devices (by name)
    // and says nothing when none answers. Window thread.
    void SetReconnectCandidates(std::vector<std::string> devices);

  private:
    bool LinkLost() const;
    // The running command is cut short: the program ends, the user disconnected (the
    // command was withdrawn) or the microscope went away. It then ends at its next wait,
    // writes nothing and reports nothing.
    bool Interrupted() const;
    // A failure the user is told of, unless the command was cut short: a loss is told
    // once, by the window, and a disconnect is the user's own doing.
    void ShowErrorUnlessInterrupted(int number);
    void AbandonReply();
    // Each is one write; true when all of it was written. Nothing is written once the
    // command was withdrawn.
    bool Write(const uint8_t* bytes, int32_t n);
    bool WriteFrame(uint8_t command, uint16_t length = 0);
    bool WriteFrameWithWord(uint8_t command, uint32_t word);
    void FillPictureRows();
    void TellIfDirectoryCut();
    void FetchPictures();
    void KeepRowFilled(int row, const frame::DirectoryEntry& entry);
    void DeleteScratchPicture(uint32_t info) const;
    std::optional<QByteArray> PrepareUploadStream();
    bool UploadRefused() const;
    bool UploadAccepted();
    bool TryPort(uint8_t portNumber);
    // Opens the port and probes it; the port stays open only when a microscope answered.
    bool ProbePort(uint8_t portNumber);
    bool Wanted(const std::optional<std::vector<uint32_t>>& selection, uint32_t number) const;
    void Reconnect(const std::vector<std::string>& candidates);
    void StartLink();
    QString SearchReport(const std::vector<OpenAttempt>& unanswered) const;

    DeviceState& state_;
    DevicePort& port_;
    WindowPort& window_;
    IMAGE_BUFFER& pictures_;
    TCmdProcThread& thread_;
    QString scratchFolder_;
    DateSource today_;
    std::vector<QString> snapshotNames_;  // command thread only
    std::mutex candidatesLock_;
    std::optional<std::vector<std::string>> reconnectCandidates_;  // under candidatesLock_
    // The command line's survey findings and download selection.
    mutable std::mutex commandLineLock_;
    std::vector<PortFinding> portFindings_;                   // under commandLineLock_
    std::optional<std::vector<uint32_t>> downloadSelection_;  // under commandLineLock_
};

}  // namespace dm

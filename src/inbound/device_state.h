#pragma once
// Everything the window, data and command threads share without a lock. Owned by the
// main window and passed by reference (tests build their own).
//
// Ordering: the transfer status publishes the directory and the picture lists. The data
// thread stores them first and then sets the status with a release store; the command
// thread reads the status with an acquire load before it reads them. Flags that only
// steer (live view, collect, ...) are relaxed.

#include <atomic>
#include <cstdint>

#include <QString>

#include "inbound/picture_directory.h"
#include "inbound/reply_signal.h"

namespace dm {

enum TransferStatus : uint8_t {
    kTransferPending = 0,
    kTransferDone = 1,
    kTransferTimedOut = 2,
};

// Values of DeviceState::snapshotRequest: the window's snapshot step stores Waiting before
// it requests the snapshot command; the command takes it to Running as its first step, or
// the window gives up on it with Abandoned. Whoever wins the exchange from Waiting decides,
// so a command that starts late after the window gave up does nothing.
enum SnapshotRequest : uint8_t {
    kSnapshotRequestNone = 0,
    kSnapshotRequestWaiting = 1,
    kSnapshotRequestRunning = 2,
    kSnapshotRequestAbandoned = 3,
};

// Values of DeviceState::pictureClaim besides a picture number (0..0xFFFFFF).
inline constexpr uint32_t kAnyPicture = 0xFFFFFFFF;
inline constexpr uint32_t kClaimTaken = 0xFFFFFFFE;
inline constexpr uint32_t kClaimClosed = 0xFFFFFFFD;

struct DeviceState {
    // Hand-off between the command thread (sets 0 before a request) and the data thread
    // (sets 1 when the reply is complete, 2 when its payload stalled).
    std::atomic<uint8_t> transferStatus{kTransferDone};

    std::atomic<bool> probeReply{false};  // a probe reply arrived
    // Rung after every store to transferStatus or probeReply, and when the link is lost.
    ReplySignal replies;
    // Set when the microscope went away while connected (any thread), cleared when a port
    // search connects again. Commands end without waiting or reporting once it is set.
    std::atomic<bool> linkLost{false};
    // A microscope answered the port search and was not disconnected since (the window's
    // connected flag, for the threads): only then is a vanished device a lost link.
    std::atomic<bool> connected{false};
    std::atomic<bool> memoryFull{false};  // the microscope reported full memory
    // Set by a command whose reply did not come in time, before it sends its next request.
    // The data thread drops what it has buffered (the part of that reply that came) and
    // clears the flag; a payload wait still running for the reply ends at once. Otherwise
    // the rest of a stalled frame would be taken from the next reply.
    std::atomic<bool> abandonReply{false};
    // Bytes of replies in progress: the data thread adds the header of every directory,
    // picture or acknowledgement frame it accepts and every byte of such a frame's payload
    // as it arrives. A command's silence count watches this, not the line, so stray bytes,
    // the microscope's own probes and bytes skipped while looking for a frame start never
    // stretch a wait for a reply that does not come.
    std::atomic<uint64_t> replyProgress{0};

    // Set by the download right before its directory request, taken by the data thread
    // with the directory frame it answers (cleared again when the wait gives up): a
    // directory frame nobody asked for never replaces the directory of the rows on show.
    std::atomic<bool> directoryExpected{false};

    // Picture routing for the data thread.
    std::atomic<bool> liveView{false};         // picture frames are live frames
    std::atomic<bool> collect{false};          // picture frames go to the picture list
    std::atomic<bool> snapshotCapture{false};  // next picture frame goes to the snapshot list
    // Which collected picture may fill the picture list's next row (picture_claim.h).
    std::atomic<uint32_t> pictureClaim{kAnyPicture};

    std::atomic<bool> cameraOn{false};
    std::atomic<bool> downloadFinished{false};  // set by download all, taken by Timer2

    // Snapshot finishing, between the window's state machine and the snapshot command.
    std::atomic<bool> snapshotInProgress{false};
    std::atomic<bool> snapshotBusy{false};
    std::atomic<uint8_t> snapshotRequest{kSnapshotRequestNone};  // SnapshotRequest
    // The file name is written before snapshotSaveRequested is set (release) and read
    // after it was seen set (acquire).
    std::atomic<bool> snapshotSaveRequested{false};
    QString snapshotFileName;

    std::atomic<uint16_t> pendingCommand{0};  // 0 when empty; see the command table
    std::atomic<uint16_t> snapshotCounter{0};
    std::atomic<uint32_t> currentPictureInfo{0};  // info word of the picture last shown
    std::atomic<uint8_t> getSnapshotSelector{0};  // argument of the GetSnapshot request

    PictureDirectory directory;
};

}  // namespace dm

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Everything the window, data and command threads share without a lock. Owned by the
// main window (the command line's session) and passed by reference; tests build their
// own.
//
// The fields are grouped by the hand-off they carry; each says which thread writes it,
// which reads it and with what ordering. "Window thread" is Qt's GUI thread in the
// program and the main thread in the command line, which plays the window's part there.
//
// The rule for ordering: a flag that publishes other data (a status, a request, a reply)
// is stored with release after that data was written and loaded with acquire before it
// is read. Flags that only steer a thread that looks again at its next tick are relaxed.
// Data published this way (the directory, snapshotFileName, the picture lists) is written
// only while its flag says the reader is not looking.

#include <atomic>
#include <cstdint>

#include <QString>

#include "inbound/picture_directory.h"
#include "inbound/reply_signal.h"

namespace dm {

// Values of DeviceState::transferStatus.
enum TransferStatus : uint8_t {
    kTransferPending = 0,   // a request went out; its reply is not complete yet
    kTransferDone = 1,      // the reply is complete (also the state before any request)
    kTransferTimedOut = 2,  // the reply's payload stalled and was given up
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
inline constexpr uint32_t kAnyPicture = 0xFFFFFFFF;   // any picture may fill the next row
inline constexpr uint32_t kClaimTaken = 0xFFFFFFFE;   // the data thread took the claim
inline constexpr uint32_t kClaimClosed = 0xFFFFFFFD;  // no picture may fill a row now

// DeviceState::runningCommand when no command runs (command::kNone).
inline constexpr uint16_t kNoCommandRunning = 0;
// DeviceState::currentPictureInfo before any picture was shown: number 0, zoom code 0.
inline constexpr uint32_t kNoPictureShown = 0;
// DeviceState::getSnapshotSelector until the window sets the one its configuration names.
inline constexpr uint8_t kDefaultSnapshotSelector = 0;

struct DeviceState {
    // ---- Replies: the command thread asks, the data thread reports --------------------

    // Command thread stores kTransferPending (release) before it sends a request; the data
    // thread stores Done or TimedOut (release) once the reply frame is whole or stalled,
    // after it stored what the reply carried (directory, picture lists), then rings
    // `replies`. The command thread loads it (acquire) before it reads what came.
    std::atomic<uint8_t> transferStatus{kTransferDone};
    // Command thread clears it (release) before a probe; the data thread sets it (release)
    // when a probe reply arrives, then rings `replies`; the port search loads it (acquire).
    std::atomic<bool> probeReply{false};
    // Data thread sets it (release) when the microscope reports full memory; the upload
    // command clears it (release) before it sends and loads it (acquire) after the
    // acknowledgement; the command line reads it after the upload ended.
    std::atomic<bool> memoryFull{false};
    // Set by a command whose reply did not come in time (release), before it sends its
    // next request; set too by the window thread's disconnect and by the link's loss (any
    // thread). The data thread loads it
    // (acquire) in its payload wait, drops what it has buffered of that reply (the part
    // that came) and clears it (release); a payload wait still running ends at once. The
    // command waits for the clear a short while, then clears it itself. Otherwise the rest
    // of a stalled frame would be taken from the next reply.
    std::atomic<bool> abandonReply{false};
    // Bytes of replies in progress: the data thread adds (relaxed) the header of every
    // directory, picture or acknowledgement frame it accepts and every byte of such a
    // frame's payload as it arrives. A command's silence count loads it (acquire) to see
    // whether the reply still grows: stray bytes, the microscope's own probes and bytes
    // skipped while looking for a frame start never stretch a wait for a reply that does
    // not come. Only ever grows.
    std::atomic<uint64_t> replyProgress{0};
    // Set by the download right before its directory request (release), cleared again by
    // it when the wait gives up; taken by the data thread (acq_rel exchange) with the
    // directory frame it answers: a directory frame nobody asked for never replaces the
    // directory of the rows on show.
    std::atomic<bool> directoryExpected{false};
    // Written by the data thread from a directory frame it took, published by the
    // transferStatus store that follows; read by the command thread after its acquire,
    // and by the window thread's download finishing after downloadFinished. The delete
    // command shifts its entries (command thread). Every word is an atomic of its own
    // (picture_directory.h), so a reader never sees a torn entry.
    PictureDirectory directory;
    // Rung by the data thread after every store to transferStatus or probeReply, by the
    // link's loss, and by the command thread's stop and withdrawal. The command thread's
    // reply waits sleep on it (reply_signal.h).
    ReplySignal replies;

    // ---- The link: who is connected ---------------------------------------------------

    // A microscope answered the port search and was not disconnected since (the window's
    // connected flag, for the threads): only then is a vanished device a lost link. Set
    // by the port search on the command thread (release); cleared by the window thread's
    // disconnect (release) or by whichever thread notices the loss (acq_rel exchange, so
    // that only one reports it). Loaded (acquire) by the window thread's finishing steps
    // and connection keeper, and by the command line.
    std::atomic<bool> connected{false};
    // Set when the microscope went away while connected (any thread, release), cleared by
    // the port search when it connects again (release). Commands load it (acquire) and end
    // without waiting or reporting once it is set; the connection keeper (window thread)
    // starts ending the session.
    std::atomic<bool> linkLost{false};

    // ---- Picture routing: the command thread steers, the data thread routes -----------
    // Set by each command as it starts and put back as it ends (PictureRouting, release);
    // loaded by the data thread (acquire) for every picture frame. The connection keeper
    // (window thread) clears liveView when the link ends.

    std::atomic<bool> liveView{false};  // picture frames are live frames
    std::atomic<bool> collect{false};   // picture frames go to the picture list
    // The next picture frame goes to the snapshot list: one-shot, taken by the data
    // thread (acq_rel exchange).
    std::atomic<bool> snapshotCapture{false};
    // Which collected picture may fill the picture list's next row (picture_claim.h): the
    // download stores a picture number or kClaimClosed (release); the data thread takes
    // it (compare-exchange to kClaimTaken) before it appends the picture.
    std::atomic<uint32_t> pictureClaim{kAnyPicture};
    // Number of the snapshot last taken. Command thread only writes it (relaxed), after
    // the snapshot arrived; the data thread reads it when it captures the next snapshot,
    // ordered by the snapshotCapture exchange that the next snapshot command's routing
    // published.
    std::atomic<uint16_t> snapshotCounter{0};

    // ---- The window's requests and what the command thread hands back -----------------

    // The camera streams, as the window shows it. Window thread writes it (its camera
    // button, the keeper on a loss; relaxed) and reads it for the live view; the command
    // line's snapshot series sets it too. The command thread loads it (acquire) to decide
    // whether to switch the camera on again after a command.
    std::atomic<bool> cameraOn{false};
    // Set by download all (command thread, release) once the pictures are in; taken by the
    // window thread's Timer2 (acq_rel exchange), which then shows them.
    std::atomic<bool> downloadFinished{false};
    // Code of the command now running, kNoCommandRunning when none. Written by the command
    // thread (release) as a command starts and ends, for anyone who wants to look.
    std::atomic<uint16_t> runningCommand{kNoCommandRunning};
    // Info word of the picture last shown: the data thread stores it (relaxed) with every
    // live frame it renders, the window thread when the user browses to a picture. The
    // window thread reads it (relaxed) when it saves a snapshot, with the zoom of the live
    // picture before it. A single word that publishes nothing else: no ordering needed.
    std::atomic<uint32_t> currentPictureInfo{kNoPictureShown};
    // Argument of the GetSnapshot request. Set once by the window thread at start-up
    // (relaxed, before the command thread runs); read by the snapshot command.
    std::atomic<uint8_t> getSnapshotSelector{kDefaultSnapshotSelector};

    // ---- Snapshot finishing: the window's state machine and the snapshot command ------

    // The snapshot button was clicked and the sequence has not ended. Window thread
    // writes and reads it (relaxed): it blocks the camera button and the keeper's end.
    std::atomic<bool> snapshotInProgress{false};
    // The snapshot command has been requested and has not ended. Set by the window thread
    // before the request (and again by the command as it starts), cleared (release) by the
    // command as it ends, or by the window thread when it gave the request up or the link
    // ended; the window thread loads it (acquire) each tick.
    std::atomic<bool> snapshotBusy{false};
    // SnapshotRequest: the window and the command race for it from Waiting (acq_rel
    // compare-exchange); see the enum.
    std::atomic<uint8_t> snapshotRequest{kSnapshotRequestNone};
    // The user chose a file for the snapshot. The command thread writes snapshotFileName,
    // then sets this (release); the window thread loads it (acquire), then reads the name
    // and clears the flag.
    std::atomic<bool> snapshotSaveRequested{false};
    QString snapshotFileName;
};

}  // namespace dm

// SPDX-License-Identifier: GPL-3.0-or-later
// snapshot: one snapshot, or a time-lapse series, taken as the window's snapshot button
// does: the camera streams, the stream is stopped and left to settle, the snapshot is
// requested and saved with the zoom of the live picture shown just before it.
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

#include "cli/command_support.h"
#include "cli/picture_json.h"
#include "cli/picture_saving.h"
#include "cli/progress_bar.h"
#include "commands/command_codes.h"
#include "view/free_file_name.h"

namespace dm::cli {

namespace {

using std::chrono::milliseconds;

// The window lets the camera-off request go out for 50 ticks of 20 ms before it asks.
constexpr milliseconds kSettle{1000};
// A camera that sends no live picture in this time is taken for not streaming.
constexpr milliseconds kFirstFrameWait{5000};
constexpr milliseconds kFramePoll{20};
constexpr int kShotDigits = 4;
constexpr int kPercent = 100;
const QString kDefaultSuffix = QStringLiteral("jpg");
const QString kSeriesBase = QStringLiteral("snapshot");
const QString kSeriesTimeFormat = QStringLiteral("yyyyMMdd-HHmmss");

struct Shot {
    QString path;
    QString error;      // empty when saved
    uint32_t info = 0;  // of the live picture before it: its number and zoom
};

class SnapshotTaker {
  public:
    SnapshotTaker(MicroscopeSession& session, bool replace)
        : session_(session), replace_(replace) {}

    // Switches the camera on and waits for its first live picture.
    bool StartCamera() {
        const int seen = session_.LiveFrames();
        SwitchCameraOn();
        for (milliseconds waited{0}; waited < kFirstFrameWait; waited += kFramePoll) {
            if (session_.LiveFrames() > seen) {
                return true;
            }
            if (!session_.Pause(kFramePoll) || session_.LinkLost()) {
                return false;
            }
        }
        return false;
    }

    // One snapshot into path (empty: the name the microscope's snapshot counter gives).
    // Leaves the camera streaming unless last.
    Shot Take(const QString& path, bool last) {
        DeviceState& state = session_.State();
        const int32_t before = session_.Snapshots().Count();
        state.snapshotInProgress.store(true);
        session_.SignalCameraOff();
        if (!session_.Pause(kSettle)) {
            return {};
        }
        state.snapshotBusy.store(true);
        state.snapshotRequest.store(kSnapshotRequestWaiting, std::memory_order_release);
        session_.Window().SetSnapshotFile(path);
        if (!session_.Run(command::kSnapshot)) {
            return {};
        }
        state.snapshotInProgress.store(false);
        Shot shot = Save(before);
        if (!last) {
            SwitchCameraOn();
        }
        return shot;
    }

  private:
    void SwitchCameraOn() {
        DeviceState& state = session_.State();
        state.cameraOn.store(true);
        session_.Start(command::kCameraOn);
    }

    Shot Save(int32_t before) {
        DeviceState& state = session_.State();
        const QString errors = TakeErrors(session_);
        if (!state.snapshotSaveRequested.exchange(false, std::memory_order_acq_rel)) {
            return {QString(),
                    errors.isEmpty() ? QStringLiteral("The snapshot was not taken.") : errors};
        }
        QString path = state.snapshotFileName;
        if (QFileInfo(path).suffix().isEmpty()) {
            path += QStringLiteral(".") + kDefaultSuffix;
        }
        if (!replace_) {
            path = FreeFilePath(path);
        }
        if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
            return {path, QStringLiteral("The folder of %1 cannot be created.").arg(path)};
        }
        const int32_t count = session_.Snapshots().Count();
        if (session_.LinkLost() || count <= before) {
            return {path, QStringLiteral("The snapshot picture was not received.")};
        }
        // The zoom comes from the live picture shown just before the snapshot.
        const uint32_t info = state.currentPictureInfo.load(std::memory_order_relaxed);
        QString why;
        switch (SaveReceivedPicture(session_.Snapshots().StreamAt(count - 1), info,
                                    QDateTime::currentDateTime(), path, &why)) {
            case SaveOutcome::kSaved:
                return {path, QString(), info};
            case SaveOutcome::kUndecodable:
                return {path, QStringLiteral("The snapshot picture could not be decoded.")};
            case SaveOutcome::kNotWritten:
                break;
        }
        return {path, QStringLiteral("The snapshot could not be saved to %1: %2.").arg(path, why)};
    }

    MicroscopeSession& session_;
    bool replace_;
};

// A series is numbered and time-stamped: "<base>-0001-20261208-143005.jpg".
QString SeriesPath(const Options& options, int shot, const QDateTime& when) {
    const QString out = QString::fromStdString(options.out);
    QString base = kSeriesBase;
    QString suffix = kDefaultSuffix;
    if (!out.isEmpty() && QFileInfo(out).isDir()) {
        base = QDir(out).filePath(kSeriesBase);
    } else if (!out.isEmpty()) {
        const QFileInfo info(out);
        base = info.suffix().isEmpty() ? out
                                       : info.path() + QDir::separator() + info.completeBaseName();
        suffix = info.suffix().isEmpty() ? kDefaultSuffix : info.suffix();
    }
    return QStringLiteral("%1-%2-%3.%4")
        .arg(base)
        .arg(shot, kShotDigits, 10, QLatin1Char('0'))
        .arg(when.toString(kSeriesTimeFormat), suffix);
}

}  // namespace

Outcome RunSnapshot(const Options& options, const std::atomic<bool>& stop) {
    Outcome outcome;
    const QString out = QString::fromStdString(options.out);
    if (out.endsWith(QLatin1Char('/')) && !QDir().mkpath(out)) {
        Fail(outcome, QStringLiteral("The folder %1 cannot be created.").arg(out));
        return outcome;
    }
    MicroscopeSession session(options.port, stop);
    if (!ConnectOrFail(session, outcome)) {
        return outcome;
    }
    SnapshotTaker taker(session, options.force);
    if (!taker.StartCamera()) {
        session.Stopped() ? MarkInterrupted(outcome)
                          : Fail(outcome, QStringLiteral("The camera sends no picture."));
        return outcome;
    }
    const int count = options.every ? options.count : 1;
    const auto start = std::chrono::steady_clock::now();
    ProgressBar bar("snapshot", options.quiet || count == 1);
    QJsonArray shots;
    QJsonArray missed;
    for (int shot = 1; shot <= count && !session.Stopped(); ++shot) {
        if (options.every) {
            const auto due = start + (shot - 1) * *options.every;
            const auto now = std::chrono::steady_clock::now();
            if (due > now && !session.Pause(std::chrono::duration_cast<milliseconds>(due - now))) {
                break;
            }
            bar.Relabel(QStringLiteral("shot %1 of %2").arg(shot).arg(count).toStdString());
        }
        const QString path = options.every ? SeriesPath(options, shot, QDateTime::currentDateTime())
                                           : QString::fromStdString(options.out);
        const Shot taken = taker.Take(path, shot == count);
        if (session.Stopped()) {
            break;
        }
        if (taken.error.isEmpty()) {
            outcome.lines << QStringLiteral("saved %1").arg(taken.path);
            QJsonObject picture =
                PictureJson(frame::PictureNumber(taken.info), taken.path,
                            QFileInfo(taken.path).size(), frame::ZoomCode(taken.info));
            picture.insert(QStringLiteral("shot"), shot);
            shots.append(picture);
        } else {
            outcome.warnings << QStringLiteral("shot %1 missed: %2").arg(shot).arg(taken.error);
            missed.append(QJsonObject{{QStringLiteral("shot"), shot},
                                      {QStringLiteral("reason"), taken.error}});
        }
        bar.Update(shot * kPercent / count);
        if (session.LinkLost()) {
            break;
        }
    }
    session.SignalCameraOff();
    session.WaitForCommands();
    outcome.json =
        QJsonObject{{QStringLiteral("shots"), shots}, {QStringLiteral("missed"), missed}};
    if (session.Stopped()) {
        MarkInterrupted(outcome);
    } else if (session.LinkLost()) {
        Fail(outcome, QStringLiteral("The microscope went away after %1 of %2 shots.")
                          .arg(shots.size())
                          .arg(count));
    } else if (!missed.isEmpty()) {
        Fail(outcome, QStringLiteral("%1 of %2 shots missed.").arg(missed.size()).arg(count));
    }
    return outcome;
}

}  // namespace dm::cli

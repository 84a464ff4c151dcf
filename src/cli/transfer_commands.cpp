// SPDX-License-Identifier: GPL-3.0-or-later
// download and upload: pictures from and to the microscope's memory.
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryFile>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>

#include "base/message_numbers.h"
#include "cli/command_support.h"
#include "cli/picture_json.h"
#include "cli/picture_saving.h"
#include "cli/progress_bar.h"
#include "cli/upload_check.h"
#include "commands/command_codes.h"

namespace dm::cli {

namespace {

constexpr int kTransferShare = 80;  // of the bar; saving the files is the rest
constexpr int kPercent = 100;
const QString kProbeName = QStringLiteral(".digital-microscope-XXXXXX");

struct DownloadPlan {
    std::vector<frame::DirectoryEntry> fetch;
    std::vector<frame::DirectoryEntry> skipped;  // their files exist already
    std::vector<uint32_t> unknown;               // numbers the microscope does not have
};

bool Has(const std::vector<uint32_t>& numbers, uint32_t number) {
    return std::find(numbers.begin(), numbers.end(), number) != numbers.end();
}

DownloadPlan PlanDownload(const Options& options, const std::vector<frame::DirectoryEntry>& entries,
                          const QDir& folder) {
    DownloadPlan plan;
    for (const uint32_t number : options.numbers) {
        const bool held = std::any_of(entries.begin(), entries.end(), [number](const auto& entry) {
            return frame::PictureNumber(entry.info) == number;
        });
        if (!held && !Has(plan.unknown, number)) {
            plan.unknown.push_back(number);
        }
    }
    for (const frame::DirectoryEntry& entry : entries) {
        const uint32_t number = frame::PictureNumber(entry.info);
        if (!options.numbers.empty() && !Has(options.numbers, number)) {
            continue;
        }
        const bool exists = folder.exists(PictureFileName(number));
        (!options.force && exists ? plan.skipped : plan.fetch).push_back(entry);
    }
    return plan;
}

QJsonObject EntryJson(const frame::DirectoryEntry& entry, const QDir& folder) {
    const uint32_t number = frame::PictureNumber(entry.info);
    return PictureJson(number, folder.filePath(PictureFileName(number)), entry.size,
                       frame::ZoomCode(entry.info));
}

// Why nothing could be written into the folder, found by writing there; nothing when a
// file can be made.
std::optional<QString> UnwritableReason(const QDir& folder) {
    QTemporaryFile probe(folder.filePath(kProbeName));
    if (probe.open()) {
        return std::nullopt;
    }
    return probe.errorString();
}

// The record of the picture in the list; none when it never arrived whole.
std::optional<int32_t> RecordOf(const IMAGE_BUFFER& pictures, uint32_t number) {
    for (int32_t record = 0; record < pictures.Count(); ++record) {
        if (frame::PictureNumber(pictures.InfoAt(record)) == number) {
            return pictures.StreamAt(record).isEmpty() ? std::nullopt
                                                       : std::optional<int32_t>(record);
        }
    }
    return std::nullopt;
}

// The bar's words during the transfer: the picture on its way, the bytes and the time
// left at the pace so far. The command moves the bar to kTransferShare * done / count.
class DownloadProgress {
  public:
    explicit DownloadProgress(const std::vector<frame::DirectoryEntry>& fetch)
        : fetch_(fetch), start_(std::chrono::steady_clock::now()) {
        for (const frame::DirectoryEntry& entry : fetch_) {
            total_ += entry.size;
        }
    }

    std::string Detail(int percent) const {
        const std::size_t count = fetch_.size();
        std::size_t done = 0;
        uint64_t bytes = 0;
        while (done < count && static_cast<int>(kTransferShare * (done + 1) / count) <= percent) {
            bytes += fetch_[done++].size;
        }
        if (done == count) {
            return "received";
        }
        const QString name = PictureFileName(frame::PictureNumber(fetch_[done].info));
        QString detail = QStringLiteral("%1, %2 of %3 kB")
                             .arg(name)
                             .arg(static_cast<double>(bytes) / kKilobyte, 0, 'f', 1)
                             .arg(static_cast<double>(total_) / kKilobyte, 0, 'f', 1);
        if (bytes > 0) {
            const auto elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
            const double left =
                elapsed * static_cast<double>(total_ - bytes) / static_cast<double>(bytes);
            detail += QStringLiteral(", %1 s left").arg(std::ceil(left));
        }
        return detail.toStdString();
    }

  private:
    static constexpr double kKilobyte = 1000.0;
    const std::vector<frame::DirectoryEntry>& fetch_;
    std::chrono::steady_clock::time_point start_;
    uint64_t total_ = 0;
};

}  // namespace

Outcome RunDownload(const Options& options, const std::atomic<bool>& stop) {
    Outcome outcome;
    const QDir folder(options.out.empty() ? QDir::currentPath()
                                          : QString::fromStdString(options.out));
    if (!QDir().mkpath(folder.path())) {
        Fail(outcome, QStringLiteral("The folder %1 cannot be created.").arg(folder.path()));
        return outcome;
    }
    if (const auto why = UnwritableReason(folder)) {
        Fail(
            outcome,
            QStringLiteral("Nothing can be written into %1: %2.").arg(folder.absolutePath(), *why));
        return outcome;
    }
    MicroscopeSession session(options.port, stop);
    if (!ConnectOrFail(session, outcome)) {
        return outcome;
    }
    const auto entries = ReadDirectory(session, outcome);
    if (!entries) {
        return outcome;
    }
    const DownloadPlan plan = PlanDownload(options, *entries, folder);

    ProgressBar bar("download", options.quiet);
    const DownloadProgress progress(plan.fetch);
    session.Window().SetProgressListener(
        [&bar, &progress](int percent) { bar.Update(percent, progress.Detail(percent)); });
    bool finished = true;
    if (!plan.fetch.empty()) {
        std::vector<uint32_t> numbers;
        for (const frame::DirectoryEntry& entry : plan.fetch) {
            numbers.push_back(frame::PictureNumber(entry.info));
        }
        session.Commands().SetDownloadSelection(numbers);
        finished = session.Run(command::kDownloadAll);
        TakeErrors(session);  // what did not come is told below, picture by picture
    }
    session.Window().SetProgressListener({});
    if (!finished) {
        bar.Freeze();  // the bar keeps what the transfer did
    }

    // Every picture that arrived whole is saved, even when the download was cut short.
    QJsonArray saved;
    QJsonArray failed;
    QStringList failures;
    const IMAGE_BUFFER& pictures = session.Pictures();
    for (std::size_t i = 0; i < plan.fetch.size(); ++i) {
        const frame::DirectoryEntry& entry = plan.fetch[i];
        const uint32_t number = frame::PictureNumber(entry.info);
        const QString path = folder.filePath(PictureFileName(number));
        QJsonObject picture = EntryJson(entry, folder);
        QString why = QStringLiteral("not received");
        if (const auto record = RecordOf(pictures, number)) {
            switch (SaveReceivedPicture(pictures.StreamAt(*record), pictures.InfoAt(*record),
                                        pictures.ReceivedAt(*record), path, &why)) {
                case SaveOutcome::kSaved:
                    why.clear();
                    break;
                case SaveOutcome::kUndecodable:
                    why = QStringLiteral("the picture data is broken");
                    break;
                case SaveOutcome::kNotWritten:
                    break;
            }
        }
        if (why.isEmpty()) {
            outcome.lines << QStringLiteral("saved %1").arg(path);
            saved.append(picture);
        } else {
            picture.insert(QStringLiteral("reason"), why);
            failed.append(picture);
            failures << QStringLiteral("%1 (%2)").arg(PictureFileName(number), why);
        }
        bar.Update(kTransferShare +
                       static_cast<int>((kPercent - kTransferShare) * (i + 1) / plan.fetch.size()),
                   "saved " + PictureFileName(number).toStdString());
    }

    QJsonArray skipped;
    for (const frame::DirectoryEntry& entry : plan.skipped) {
        skipped.append(EntryJson(entry, folder));
        outcome.lines << QStringLiteral("skipped %1 (exists; --force replaces it)")
                             .arg(folder.filePath(
                                 PictureFileName(frame::PictureNumber(entry.info))));
    }
    QJsonArray unknown;
    for (const uint32_t number : plan.unknown) {
        unknown.append(static_cast<qint64>(number));
    }
    outcome.json = QJsonObject{{QStringLiteral("folder"), folder.absolutePath()},
                               {QStringLiteral("saved"), saved},
                               {QStringLiteral("skipped"), skipped},
                               {QStringLiteral("failed"), failed},
                               {QStringLiteral("unknown"), unknown}};
    if (!finished) {
        MarkInterrupted(outcome);
        return outcome;
    }
    if (session.LinkLost()) {
        Fail(outcome, LinkLostReason() + QStringLiteral(" Saved %1 of %2 pictures.")
                                             .arg(saved.size())
                                             .arg(plan.fetch.size()));
    }
    if (!plan.unknown.empty()) {
        QStringList numbers;
        for (const uint32_t number : plan.unknown) {
            numbers << QString::number(number);
        }
        Fail(outcome, QStringLiteral("The microscope has no picture %1.").arg(numbers.join(", ")));
    }
    if (!failures.isEmpty()) {
        Fail(outcome, QStringLiteral("Not saved: %1").arg(failures.join(", ")));
    }
    return outcome;
}

Outcome RunUpload(const Options& options, const std::atomic<bool>& stop) {
    Outcome outcome;
    const QString path = QString::fromStdString(options.file);
    if (const auto problem = UploadFileProblem(path)) {
        Fail(outcome, QStringLiteral("%1 %2; nothing was sent.").arg(path, *problem));
        return outcome;
    }
    MicroscopeSession session(options.port, stop);
    if (!ConnectOrFail(session, outcome)) {
        return outcome;
    }
    session.Window().SetUploadFile(QFileInfo(path).absoluteFilePath());
    ProgressBar bar("upload", options.quiet);
    session.Window().SetProgressListener([&bar](int percent) { bar.Update(percent); });
    const bool finished = session.Run(command::kUpload);
    session.Window().SetProgressListener({});
    if (!finished) {
        MarkInterrupted(outcome);
        return outcome;
    }
    bool sent = false;
    QStringList errors;
    for (const ConsoleWindow::Box& box : session.Window().TakeBoxes()) {
        if (box.error) {
            errors << box.text.simplified();
        } else if (box.text == ConsoleWindow::EnglishMessage(message::kUploadFinished)) {
            sent = true;
        }
    }
    if (session.State().memoryFull.load(std::memory_order_acquire)) {
        Fail(outcome,
             QStringLiteral("The microscope's memory is full: delete some pictures first."));
        return outcome;
    }
    if (session.LinkLost()) {
        Fail(outcome, LinkLostReason());
        return outcome;
    }
    if (!errors.isEmpty() || !sent) {
        Fail(outcome, errors.isEmpty() ? QStringLiteral("The picture was not sent.")
                                       : errors.join(QStringLiteral(" ")));
        return outcome;
    }
    outcome.lines << QStringLiteral("sent %1").arg(path);
    const QFileInfo file(path);
    outcome.json = QJsonObject{{QStringLiteral("file"), file.absoluteFilePath()},
                               {QStringLiteral("size"), file.size()}};
    return outcome;
}

}  // namespace dm::cli

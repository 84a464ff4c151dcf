// download and upload: pictures from and to the microscope's memory.
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <algorithm>

#include "cli/command_support.h"
#include "cli/picture_saving.h"
#include "cli/progress_bar.h"
#include "commands/command_codes.h"
#include "commands/message_numbers.h"

namespace dm::cli {

namespace {

constexpr int kTransferShare = 80;  // of the bar; saving the files is the rest
constexpr int kPercent = 100;

struct DownloadPlan {
    std::vector<uint32_t> fetch;    // picture numbers to fetch
    QStringList skipped;            // files that exist already
    std::vector<uint32_t> unknown;  // numbers the microscope does not have
};

bool Has(const std::vector<uint32_t>& numbers, uint32_t number) {
    return std::find(numbers.begin(), numbers.end(), number) != numbers.end();
}

DownloadPlan PlanDownload(const Options& options, const std::vector<frame::DirectoryEntry>& entries,
                          const QDir& folder) {
    DownloadPlan plan;
    std::vector<uint32_t> held;
    held.reserve(entries.size());
    for (const frame::DirectoryEntry& entry : entries) {
        held.push_back(frame::PictureNumber(entry.info));
    }
    for (const uint32_t number : options.numbers) {
        if (!Has(held, number) && !Has(plan.unknown, number)) {
            plan.unknown.push_back(number);
        }
    }
    for (const uint32_t number : held) {
        if (!options.numbers.empty() && !Has(options.numbers, number)) {
            continue;
        }
        if (!options.force && folder.exists(PictureFileName(number))) {
            plan.skipped << PictureFileName(number);
        } else {
            plan.fetch.push_back(number);
        }
    }
    return plan;
}

QJsonArray ToJson(const QStringList& names) {
    return QJsonArray::fromStringList(names);
}

}  // namespace

Outcome RunDownload(const Options& options, const std::atomic<bool>& stop) {
    Outcome outcome;
    const QDir folder(options.out.empty() ? QDir::currentPath()
                                          : QString::fromStdString(options.out));
    if (!folder.exists()) {
        Fail(outcome, QStringLiteral("The folder %1 does not exist.").arg(folder.path()));
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
    session.Window().SetProgressListener([&bar](int percent) { bar.Update(percent); });
    bool finished = true;
    if (!plan.fetch.empty()) {
        session.Commands().SetDownloadSelection(plan.fetch);
        finished = session.Run(command::kDownloadAll);
        TakeErrors(session);  // what did not come is told below, picture by picture
    }
    session.Window().SetProgressListener({});

    // Every picture that arrived whole is saved, even when the download was cut short.
    QStringList saved;
    QStringList failed;
    const IMAGE_BUFFER& pictures = session.Pictures();
    const int32_t records = pictures.Count();
    for (std::size_t i = 0; i < plan.fetch.size(); ++i) {
        const uint32_t number = plan.fetch[i];
        const QString name = PictureFileName(number);
        int32_t record = 0;
        while (record < records && frame::PictureNumber(pictures.InfoAt(record)) != number) {
            ++record;
        }
        const QByteArray jpeg = pictures.StreamAt(record);
        if (record == records || jpeg.isEmpty()) {
            failed << name;
            continue;
        }
        const SaveOutcome result = SaveReceivedPicture(
            jpeg, pictures.InfoAt(record), pictures.ReceivedAt(record), folder.filePath(name));
        (result == SaveOutcome::kSaved ? saved : failed) << name;
        bar.Update(kTransferShare +
                   static_cast<int>((kPercent - kTransferShare) * (i + 1) / plan.fetch.size()));
    }

    for (const QString& name : saved) {
        outcome.lines << QStringLiteral("saved %1").arg(folder.filePath(name));
    }
    for (const QString& name : plan.skipped) {
        outcome.lines << QStringLiteral("skipped %1 (exists; --force replaces it)")
                             .arg(folder.filePath(name));
    }
    QJsonArray unknown;
    for (const uint32_t number : plan.unknown) {
        unknown.append(static_cast<qint64>(number));
    }
    outcome.json = QJsonObject{{QStringLiteral("folder"), folder.absolutePath()},
                               {QStringLiteral("saved"), ToJson(saved)},
                               {QStringLiteral("skipped"), ToJson(plan.skipped)},
                               {QStringLiteral("failed"), ToJson(failed)},
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
    if (!failed.isEmpty()) {
        Fail(outcome, QStringLiteral("Not received or not saved: %1").arg(failed.join(", ")));
    }
    return outcome;
}

Outcome RunUpload(const Options& options, const std::atomic<bool>& stop) {
    Outcome outcome;
    const QString path = QString::fromStdString(options.file);
    if (!QFileInfo(path).isFile() || !QFileInfo(path).isReadable()) {
        Fail(outcome, QStringLiteral("Cannot read %1.").arg(path));
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
    return outcome;
}

}  // namespace dm::cli

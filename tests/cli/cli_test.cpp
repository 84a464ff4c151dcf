// SPDX-License-Identifier: GPL-3.0-or-later
// digital-microscope-cli as a script runs it: a child process against a virtual microscope.
#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <functional>
#include <thread>

#include "link/frame.h"
#include "link/receive_buffer.h"
#include "link/serial_port.h"
#include "support/built_program.h"
#include "support/exif_reader.h"
#include "view/jpeg_codec.h"
#include "view/picture_files.h"
#include "virtual-microscope/virtual_microscope.h"

namespace dm {
namespace {

constexpr int kRunLimitMs = 60000;
const char* const kUsagePrefix = "usage: digital-microscope-cli";

struct CliRun {
    int status = -1;
    QString out;
    QString err;
    QJsonObject Json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        StartMicroscope();
    }
    void TearDown() override { microscope_->Stop(); }

    void StartMicroscope(vm::Options options = {}) {
        microscope_ = std::make_unique<vm::VirtualMicroscope>(std::move(options));
        port_ = microscope_->Start();
        ASSERT_FALSE(port_.empty()) << microscope_->ErrorText();
    }

    // Runs the program with --port of the microscope; during runs while it does.
    CliRun Run(QStringList arguments, const std::function<void(QProcess&)>& during = {}) {
        QProcess process;
        process.setWorkingDirectory(folder_.path());
        // The user's data folder, with its calibrations, stays out of the tests.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"),
                           folder_.filePath(QStringLiteral("data")));
        process.setProcessEnvironment(environment);
        arguments.prepend(QString::fromStdString(port_));
        arguments.prepend(QStringLiteral("--port"));
        process.start(QString::fromStdString(test::BuiltProgram("digital-microscope-cli")),
                      arguments);
        process.closeWriteChannel();  // stdin is no terminal
        if (!process.waitForStarted()) {
            return {};
        }
        if (during) {
            during(process);
        }
        if (!process.waitForFinished(kRunLimitMs)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "the program did not end: " << arguments.join(' ').toStdString();
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    QString Path(const QString& name) const { return folder_.filePath(name); }
    // The file names of a JSON array of pictures.
    static QStringList Files(const QJsonValue& pictures) {
        QStringList names;
        for (const QJsonValue& picture : pictures.toArray()) {
            names << QFileInfo(picture.toObject()["file"].toString()).fileName();
        }
        return names;
    }

    // Request frames the microscope received with this command byte.
    int Received(uint8_t command) const {
        int count = 0;
        for (const vm::Bytes& request : microscope_->ReceivedFrames()) {
            count += request.size() > 1 && request[1] == command ? 1 : 0;
        }
        return count;
    }
    bool EndedWithDisconnect() const {
        const auto frames = microscope_->ReceivedFrames();
        return !frames.empty() && frames.back().size() > 1 &&
               frames.back()[1] == frame::kDisconnect;
    }
    std::vector<uint32_t> HeldNumbers() const {
        std::vector<uint32_t> numbers;
        for (const vm::StoredPicture& picture : microscope_->Pictures()) {
            numbers.push_back(frame::PictureNumber(picture.info));
        }
        return numbers;
    }

    QTemporaryDir folder_;
    std::unique_ptr<vm::VirtualMicroscope> microscope_;
    std::string port_;
};

TEST_F(CliTest, PortsAndListAnswerInJson) {
    const CliRun ports = Run({"--json", "ports"});
    ASSERT_EQ(ports.status, 0) << ports.err.toStdString();
    const QJsonArray found = ports.Json()["ports"].toArray();
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].toObject()["device"].toString().toStdString(), port_);
    EXPECT_EQ(found[0].toObject()["status"].toString(), "answered");

    const CliRun list = Run({"list", "--json"});
    ASSERT_EQ(list.status, 0) << list.err.toStdString();
    const QJsonArray pictures = list.Json()["pictures"].toArray();
    const auto held = microscope_->Pictures();
    ASSERT_EQ(pictures.size(), static_cast<qsizetype>(held.size()));
    const int magnifications[] = {7, 52, 48, 255};  // zoom codes 0x00, 0x25, 0x31, 0xF0
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        EXPECT_EQ(pictures[i].toObject()["number"].toInt(),
                  static_cast<int>(frame::PictureNumber(held[i].info)));
        EXPECT_EQ(pictures[i].toObject()["size"].toInt(), held[i].jpeg.size());
        EXPECT_EQ(pictures[i].toObject()["magnification"].toInt(), magnifications[i]);
        EXPECT_TRUE(QFileInfo(pictures[i].toObject()["file"].toString()).isAbsolute());
    }
    EXPECT_EQ(Received(frame::kPictureRequest), 0) << "list fetches no picture";
    EXPECT_TRUE(EndedWithDisconnect());
    EXPECT_TRUE(list.err.isEmpty()) << list.err.toStdString();
}

// Without --port the published links are searched as well; a link the search does not
// trust is named with its reason, so that a microscope missing from the list is explained.
TEST_F(CliTest, PortsNamesThePublishedLinksItIgnores) {
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    const QString published = runtime.filePath(QStringLiteral("virtual-microscope"));
    ASSERT_TRUE(QDir().mkdir(published));
    ASSERT_TRUE(QFile::setPermissions(
        published, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    const QString notATerminal = published + QStringLiteral("/vm-1-0");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), notATerminal));

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    environment.insert(QStringLiteral("MICROSCOPE_PORTS"), QString::fromStdString(port_));
    process.setProcessEnvironment(environment);
    process.start(QString::fromStdString(test::BuiltProgram("digital-microscope-cli")),
                  {QStringLiteral("ports")});
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForStarted());
    if (!process.waitForFinished(kRunLimitMs)) {
        process.kill();
        process.waitForFinished();
        FAIL() << "ports did not end";
    }
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(process.exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(out.startsWith(QString::fromStdString(port_) + QStringLiteral("\tanswered")))
        << out.toStdString();
    EXPECT_FALSE(out.contains(notATerminal)) << out.toStdString();
    EXPECT_TRUE(err.contains(notATerminal + QStringLiteral(" leads to /dev/null, a character "
                                                           "device that is no pseudo-terminal")))
        << err.toStdString();
}

TEST_F(CliTest, DownloadSkipsExistingFilesAndStampsTheScale) {
    QFile existing(Path("00000002.jpg"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("kept");
    existing.close();

    const CliRun run = Run({"--json", "download", "--out", folder_.path()});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonObject result = run.Json();
    EXPECT_EQ(Files(result["saved"]),
              QStringList({"00000001.jpg", "00000003.jpg", "00000004.jpg"}));
    EXPECT_EQ(Files(result["skipped"]), QStringList({"00000002.jpg"}));
    // The same fields as list gives, the file absolute; 48X has no scale.
    const QJsonObject third = result["saved"].toArray()[1].toObject();
    EXPECT_EQ(third["file"].toString(), Path("00000003.jpg"));
    EXPECT_EQ(third["number"].toInt(), 3);
    EXPECT_EQ(third["size"].toInt(), microscope_->Pictures()[2].jpeg.size());
    EXPECT_EQ(third["zoomCode"].toInt(), 0x31);
    EXPECT_EQ(third["magnification"].toInt(), 48);
    EXPECT_TRUE(third["scale"].isNull());
    EXPECT_DOUBLE_EQ(result["saved"].toArray()[0].toObject()["scale"].toDouble(), 57.8);
    EXPECT_EQ(Received(frame::kPictureRequest), 3) << "a skipped picture is not fetched";
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), "kept");
    existing.close();

    // Worked out by hand from the ruler table: 185 px over 3.2 mm and over 0.43 mm.
    auto low = test::ReadExif(Path("00000001.jpg"));
    EXPECT_EQ(low["Exif.Image.ImageDescription"], "7X, 1 mm = 57.8 px");
    EXPECT_NEAR(test::RationalValue(low["Exif.Image.XResolution"]), 578.125, 0.001);
    EXPECT_EQ(low["Exif.Image.ResolutionUnit"], "3");
    EXPECT_FALSE(low["Exif.Photo.DateTimeOriginal"].empty());
    auto fixed = test::ReadExif(Path("00000003.jpg"));  // 48X: no ruler length, no scale
    EXPECT_EQ(fixed["Exif.Image.ImageDescription"], "48X");
    EXPECT_EQ(fixed.count("Exif.Image.XResolution"), 0U);
    EXPECT_EQ(test::ReadExif(Path("00000004.jpg"))["Exif.Image.ImageDescription"], "255X");
    EXPECT_EQ(DecodeJpegFile(Path("00000001.jpg")).size(), QSize(320, 240));

    const CliRun forced = Run({"download", "2", "--force"});
    ASSERT_EQ(forced.status, 0) << forced.err.toStdString();
    auto replaced = test::ReadExif(Path("00000002.jpg"));
    EXPECT_EQ(replaced["Exif.Image.ImageDescription"], "52X, 1 mm = 430.2 px");
    EXPECT_NEAR(test::RationalValue(replaced["Exif.Image.XResolution"]), 4302.326, 0.001);
}

// The user's calibration of a zoom code, from the data folder, is what the files carry.
TEST_F(CliTest, DownloadStampsTheUsersCalibration) {
    ASSERT_TRUE(QDir(folder_.path()).mkpath(QStringLiteral("data/digital-microscope")));
    QFile book(Path("data/digital-microscope/Calibration.ini"));
    ASSERT_TRUE(book.open(QIODevice::WriteOnly));
    book.write("[Zoom_0x25]\nPixelsPerMillimetre = 500\nDate = 2026-12-08\n");
    book.close();

    const CliRun run = Run({"--json", "download", "2"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_DOUBLE_EQ(run.Json()["saved"].toArray()[0].toObject()["scale"].toDouble(), 500.0);
    auto tags = test::ReadExif(Path("00000002.jpg"));
    EXPECT_EQ(tags["Exif.Image.ImageDescription"], "52X, 1 mm = 500.0 px (calibrated 2026-12-08)");
    EXPECT_NEAR(test::RationalValue(tags["Exif.Image.XResolution"]), 5000.0, 0.001);
    EXPECT_EQ(test::ReadXmp(Path("00000002.jpg"))["Xmp.dm.ScaleSource"], "calibrated");
}

TEST_F(CliTest, PicturesTheMicroscopeDoesNotHaveOrDidNotSendFail) {
    const CliRun unknown = Run({"download", "9", "1"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_TRUE(unknown.err.contains("no picture 9")) << unknown.err.toStdString();
    EXPECT_TRUE(QFile::exists(Path("00000001.jpg"))) << "the pictures it has are saved";

    vm::Faults faults;
    faults.undecodableJpeg = true;
    microscope_->SetFaults(faults);
    const CliRun broken = Run({"--json", "download", "3"});
    EXPECT_EQ(broken.status, 1);
    EXPECT_EQ(Files(broken.Json()["failed"]), QStringList({"00000003.jpg"}));
    EXPECT_TRUE(broken.err.contains("00000003.jpg")) << broken.err.toStdString();
    EXPECT_FALSE(QFile::exists(Path("00000003.jpg")));
}

TEST_F(CliTest, APulledCableEndsTheDownloadWithItsReason) {
    vm::Faults faults;
    faults.vanishMidTransfer = true;
    microscope_->SetFaults(faults);
    const CliRun run = Run({"download"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains("went away")) << run.err.toStdString();
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    EXPECT_TRUE(QDir(folder_.path()).entryList(QDir::Files | QDir::Hidden).isEmpty())
        << "the picture cut in half is not saved";
}

TEST_F(CliTest, TimeLapseSavesNumberedScaledShots) {
    const CliRun run =
        Run({"--json", "snapshot", "--out", "lapse", "--every", "200ms", "--count", "3"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonArray shots = run.Json()["shots"].toArray();
    ASSERT_EQ(shots.size(), 3);
    const QStringList files =
        QDir(folder_.path()).entryList({"lapse-*.jpg"}, QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(files[i].startsWith(QStringLiteral("lapse-000%1-").arg(i + 1)))
            << files[i].toStdString();
        EXPECT_EQ(QFileInfo(shots[i].toObject()["file"].toString()).fileName(), files[i]);
        auto tags = test::ReadExif(Path(files[i]));
        EXPECT_EQ(tags["Exif.Image.ImageDescription"], "7X, 1 mm = 57.8 px");  // live zoom 0x00
        EXPECT_NEAR(test::RationalValue(tags["Exif.Image.XResolution"]), 578.125, 0.001);
    }
    EXPECT_EQ(Received(frame::kGetSnapshot), 3);
    EXPECT_TRUE(EndedWithDisconnect());
    EXPECT_TRUE(run.err.isEmpty()) << "no progress bar off a terminal: " << run.err.toStdString();
}

TEST_F(CliTest, SnapshotAndDownloadMakeTheirFolderAndReplaceOnlyWithForce) {
    auto shotFile = [](const CliRun& run) {
        return QFileInfo(run.Json()["shots"].toArray()[0].toObject()["file"].toString()).fileName();
    };
    const CliRun first = Run({"--json", "snapshot", "--out", "new/shots/one.jpg"});
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    const CliRun second = Run({"--json", "snapshot", "--out", "new/shots/one.jpg"});
    ASSERT_EQ(second.status, 0) << second.err.toStdString();
    const CliRun forced = Run({"--json", "snapshot", "--out", "new/shots/one.jpg", "--force"});
    ASSERT_EQ(forced.status, 0) << forced.err.toStdString();
    EXPECT_EQ(shotFile(first), "one.jpg");
    EXPECT_EQ(shotFile(second), "one_2.jpg");
    EXPECT_EQ(shotFile(forced), "one.jpg");
    EXPECT_EQ(QDir(Path("new/shots")).entryList(QDir::Files),
              QStringList({"one.jpg", "one_2.jpg"}));

    const CliRun named = Run({"--json", "snapshot", "--out", "dated/"});
    ASSERT_EQ(named.status, 0) << named.err.toStdString();
    EXPECT_EQ(shotFile(named),
              QStringLiteral("P%1_1.jpg").arg(QDate::currentDate().toString("yyyyMMdd")));

    const CliRun download = Run({"download", "1", "--out", "a/b"});
    ASSERT_EQ(download.status, 0) << download.err.toStdString();
    EXPECT_TRUE(QFile::exists(Path("a/b/00000001.jpg")));
}

TEST_F(CliTest, UploadSendsAPictureAndRefusesUnreadableFiles) {
    const std::size_t before = microscope_->Pictures().size();
    ASSERT_TRUE(SaveJpegFile(QImage(640, 480, QImage::Format_RGB32), Path("up.jpg"), 90, {}));
    const CliRun sent = Run({"upload", "up.jpg"});
    EXPECT_EQ(sent.status, 0) << sent.err.toStdString();
    EXPECT_EQ(microscope_->Pictures().size(), before + 1);

    QFile junk(Path("junk.jpg"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("no picture here");
    junk.close();
    QByteArray cut = EncodeJpegStream(QImage(640, 480, QImage::Format_RGB32));
    cut.chop(cut.size() / 2);
    QFile broken(Path("broken.jpg"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly) && broken.write(cut) == cut.size());
    broken.close();
    const std::size_t framesBefore = microscope_->ReceivedCount();
    const struct {
        const char* file;
        const char* reason;
    } refusals[] = {{"junk.jpg", "is no JPEG or BMP picture"},
                    {"missing.jpg", "cannot be read"},
                    {"broken.jpg", "is a JPEG whose data is broken"}};
    for (const auto& refusal : refusals) {
        const CliRun refused = Run({"upload", refusal.file});
        EXPECT_EQ(refused.status, 1) << refusal.file;
        EXPECT_TRUE(refused.err.contains(refusal.reason)) << refused.err.toStdString();
        EXPECT_EQ(refused.err.count('\n'), 1) << "one line: " << refused.err.toStdString();
    }
    EXPECT_EQ(microscope_->ReceivedCount(), framesBefore) << "nothing went out";
    EXPECT_EQ(microscope_->Pictures().size(), before + 1);
}

TEST_F(CliTest, UploadIntoAFullMemoryFails) {
    microscope_->Stop();
    vm::Options full;
    full.maxPictures = 4;
    ASSERT_NO_FATAL_FAILURE(StartMicroscope(full));
    ASSERT_TRUE(SaveJpegFile(QImage(320, 240, QImage::Format_RGB32), Path("up.jpg"), 90, {}));
    const CliRun run = Run({"--quiet", "upload", "up.jpg"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains("memory is full")) << run.err.toStdString();
    EXPECT_EQ(microscope_->Pictures().size(), 4U);
    const CliRun quietList = Run({"--quiet", "list"});
    EXPECT_EQ(quietList.out.count('\n'), 4) << "--quiet keeps the answer asked for";
}

TEST_F(CliTest, DeleteNeedsYesOffATerminalAndChecksEveryNumberFirst) {
    const CliRun unasked = Run({"delete", "1"});
    EXPECT_EQ(unasked.status, 2);
    const CliRun typo = Run({"delete", "1", "77", "--yes"});
    EXPECT_EQ(typo.status, 1);
    EXPECT_EQ(HeldNumbers(), std::vector<uint32_t>({1, 2, 3, 4})) << "nothing deleted";

    const CliRun two = Run({"delete", "1", "3", "--yes"});
    EXPECT_EQ(two.status, 0) << two.err.toStdString();
    EXPECT_EQ(HeldNumbers(), std::vector<uint32_t>({2, 4}));
    const CliRun all = Run({"delete", "--all", "--yes"});
    EXPECT_EQ(all.status, 0) << all.err.toStdString();
    EXPECT_TRUE(HeldNumbers().empty());
}

TEST_F(CliTest, KeySendsOneKeyFrame) {
    const uint8_t zoomBefore = microscope_->LiveZoomCode();
    const CliRun run = Run({"key", "zoom-in"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(Received(frame::kKeyBase + 8), 1);
    EXPECT_NE(microscope_->LiveZoomCode(), zoomBefore);
}

TEST_F(CliTest, BadUsageEndsWithStatusTwoAndTheUsageLine) {
    for (const QStringList& arguments :
         {QStringList{}, QStringList{"frobnicate"}, QStringList{"key", "sideways"},
          QStringList{"download", "zero"}, QStringList{"delete"},
          QStringList{"delete", "--all", "2"},
          QStringList{"snapshot", "--every", "-1s", "--count", "2"}}) {
        const CliRun run = Run(arguments);
        EXPECT_EQ(run.status, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(kUsagePrefix)) << run.err.toStdString();
    }
    const struct {
        QStringList arguments;
        const char* text;
    } ranges[] = {{{"snapshot", "--every", "0ms", "--count", "2"}, "--every must be at least 1ms"},
                  {{"snapshot", "--every", "1s", "--count", "0"}, "--count must be between 1 and"},
                  {{"download", "16777216"}, "picture numbers must be between 1 and 16777215"}};
    for (const auto& range : ranges) {
        const CliRun run = Run(range.arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.err.contains(range.text)) << run.err.toStdString();
    }
    EXPECT_EQ(microscope_->ReceivedCount(), 0U) << "bad usage never reaches the microscope";
    const CliRun help = Run({"snapshot", "--help"});
    for (const char* shown : {"--every DURATION", "--port PATH", "--json", "--quiet"}) {
        EXPECT_TRUE(help.out.contains(shown)) << shown << "\n" << help.out.toStdString();
    }
    const CliRun version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.trimmed(), QStringLiteral("digital-microscope-cli ") + DM_VERSION);
}

TEST_F(CliTest, APortThatIsMissingNoSerialDeviceOrBusyFailsWithTheReason) {
    const struct {
        std::string port;
        const char* reason;
    } cases[] = {{"/nonexistent/tty", "/nonexistent/tty: missing (no such device)."},
                 {Path("plain-file").toStdString(), ": not a serial port."}};
    QFile plain(Path("plain-file"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    for (const auto& c : cases) {
        port_ = c.port;
        const CliRun run = Run({"list"});
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.err.contains(c.reason)) << run.err.toStdString();
    }

    port_ = microscope_->SlavePath();
    auto buffer = std::make_unique<ReceiveBuffer>();
    SerialPort holder(*buffer, [path = port_] { return PortTable({path}); });
    ASSERT_TRUE(holder.OpenPort(0, SerialPort::kSearchBaudIndex));
    const CliRun busy = Run({"list"});
    EXPECT_EQ(busy.status, 1);
    EXPECT_TRUE(busy.err.contains("in use by another program")) << busy.err.toStdString();
    const CliRun ports = Run({"--json", "ports"});
    EXPECT_EQ(ports.status, 1);
    EXPECT_EQ(ports.Json()["ports"].toArray()[0].toObject()["status"].toString(), "busy");
}

// Ctrl+C mid-download: whole files only, and the microscope is told goodbye.
TEST_F(CliTest, InterruptDuringADownloadLeavesNoPartialFile) {
    vm::Faults slow;
    slow.throttle = true;
    microscope_->SetFaults(slow);
    const CliRun run = Run({"download"}, [&](QProcess& process) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (Received(frame::kPictureRequest) < 2 && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    });
    EXPECT_EQ(run.status, 130) << run.err.toStdString();
    EXPECT_LT(Received(frame::kPictureRequest), 4) << "interrupted before the end";
    EXPECT_TRUE(EndedWithDisconnect());
    for (const QString& name : QDir(folder_.path()).entryList(QDir::Files | QDir::Hidden)) {
        EXPECT_TRUE(name.endsWith(".jpg") && !name.startsWith('.')) << name.toStdString();
        EXPECT_FALSE(DecodeJpegFile(Path(name)).isNull()) << name.toStdString();
    }
}

}  // namespace
}  // namespace dm

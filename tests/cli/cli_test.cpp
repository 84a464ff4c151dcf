// digital-microscope-cli as a script runs it: a child process against a virtual microscope.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
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
    }
    EXPECT_EQ(Received(frame::kPictureRequest), 0) << "list fetches no picture";
    EXPECT_TRUE(EndedWithDisconnect());
    EXPECT_TRUE(list.err.isEmpty()) << list.err.toStdString();
}

TEST_F(CliTest, DownloadSkipsExistingFilesAndStampsTheScale) {
    QFile existing(Path("00000002.jpg"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("kept");
    existing.close();

    const CliRun run = Run({"--json", "download", "--out", folder_.path()});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonObject result = run.Json();
    EXPECT_EQ(result["saved"].toArray().toVariantList(),
              QVariantList({"00000001.jpg", "00000003.jpg", "00000004.jpg"}));
    EXPECT_EQ(result["skipped"].toArray().toVariantList(), QVariantList({"00000002.jpg"}));
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
    EXPECT_EQ(broken.Json()["failed"].toArray().toVariantList(), QVariantList({"00000003.jpg"}));
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
    for (const char* file : {"junk.jpg", "missing.jpg"}) {
        const CliRun refused = Run({"upload", file});
        EXPECT_EQ(refused.status, 1) << file;
        EXPECT_EQ(refused.err.count('\n'), 1) << "one line: " << refused.err.toStdString();
    }
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
    EXPECT_EQ(microscope_->ReceivedCount(), 0U) << "bad usage never reaches the microscope";
    const CliRun version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.trimmed(), QStringLiteral("digital-microscope-cli ") + DM_VERSION);
}

TEST_F(CliTest, NoMicroscopeOrABusyPortFailsWithTheReason) {
    port_ = "/nonexistent/tty";
    const CliRun missing = Run({"list"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains("No microscope was found")) << missing.err.toStdString();

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

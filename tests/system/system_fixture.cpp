// SPDX-License-Identifier: GPL-3.0-or-later
#include "system/system_fixture.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "app/glyph.h"
#include "link/frame.h"
#include "link/port_table.h"
#include "view/jpeg_codec.h"

namespace dm::test {

namespace {

constexpr milliseconds kPumpSlice{5};
constexpr std::size_t kReadChunk = 4096;

const char* const kDeviceButtons[] = {
    "ConnectBtn", "DownloadBtn", "UploadBtn",  "SaveBtn",  "SaveAllBtn", "CameraBtn",
    "DelBtn",     "DelAllBtn",   "ZoomOutBtn", "LockBtn",  "ZoomInBtn",  "UpBtn",
    "LeftBtn",    "CentralBtn",  "DownBtn",    "RightBtn",
};

}  // namespace

void ObservedForm::SetProgress(int percent) {
    {
        std::lock_guard guard(lock_);
        progress_.push_back(percent);
    }
    TForm1::SetProgress(percent);
}

std::vector<int> ObservedForm::ProgressValues() const {
    std::lock_guard guard(lock_);
    return progress_;
}

void ObservedForm::ClearProgressValues() {
    std::lock_guard guard(lock_);
    progress_.clear();
}

SilentPort::SilentPort() {
    EXPECT_TRUE(pty_.Open()) << pty_.ErrorText();
}

Bytes SilentPort::Received(milliseconds timeout) {
    if (pty_.Wait(timeout, false).readable) {
        uint8_t chunk[kReadChunk];
        for (std::size_t n = pty_.Read(chunk, sizeof chunk); n > 0;
             n = pty_.Read(chunk, sizeof chunk)) {
            received_.insert(received_.end(), chunk, chunk + n);
        }
    }
    return received_;
}

Bytes Frame(uint8_t command, uint16_t length) {
    const auto header = frame::MakeHeader(command, length);
    return Bytes(header.begin(), header.end());
}

Bytes FrameWithWord(uint8_t command, uint32_t word) {
    Bytes bytes = Frame(command, frame::kRequestArgumentSize);
    bytes.resize(frame::kHeaderSize + frame::kRequestArgumentSize);
    frame::WriteLe32(bytes.data() + frame::kHeaderSize, word);
    return bytes;
}

std::string Hex(const Bytes& bytes) {
    return vm::HexLine(bytes.data(), bytes.size());
}

bool SamePixels(const QImage& a, const QImage& b) {
    return a.size() == b.size() &&
           a.convertToFormat(QImage::Format_RGB32) == b.convertToFormat(QImage::Format_RGB32);
}

void SystemTest::TearDown() {
    EndAll();
    AppFixture::TearDown();
}

void SystemTest::EndAll() {
    // The window goes first: its closing releases a worker that waits on it.
    if (form) {
        form->close();
    }
    session.reset();
    if (microscope) {
        microscope->Stop();
    }
    silentPorts.clear();
}

void SystemTest::StartMicroscope(vm::Options options) {
    microscope = std::make_unique<vm::VirtualMicroscope>(std::move(options));
    ASSERT_FALSE(microscope->Start().empty()) << microscope->ErrorText();
}

void SystemTest::StartProgram(std::vector<std::string> ports) {
    auto window = std::make_unique<ObservedForm>(dialogs);
    observed = window.get();
    form = std::move(window);
    {
        std::lock_guard lock(portsLock_);
        ports_ = std::move(ports);
    }
    session = std::make_unique<DeviceSession>(*form, [this] {
        std::lock_guard lock(portsLock_);
        return PortTable(ports_);
    });
    ASSERT_TRUE(form->FormCreate());
    session->Attach();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
}

void SystemTest::AddPort(const std::string& path) {
    std::lock_guard lock(portsLock_);
    ports_.push_back(path);
}

std::string SystemTest::MicroscopePort() const {
    EXPECT_FALSE(microscope->LinkPath().empty()) << microscope->ErrorText();
    return microscope->LinkPath();
}

void SystemTest::StartConnected(vm::Options options) {
    StartMicroscope(std::move(options));
    ASSERT_NO_FATAL_FAILURE(StartProgram({MicroscopePort()}));
    ASSERT_NO_FATAL_FAILURE(Connect());
}

void SystemTest::Connect() {
    const std::size_t from = FrameCount();
    Click("ConnectBtn");
    ASSERT_TRUE(WaitUntil([&] { return ReadySet(); }))
        << "no ready set after the search" << DebugState();
    ASSERT_TRUE(WaitForFrame(Frame(frame::kLinkStart), from));
}

void SystemTest::KeepRunning(milliseconds duration) {
    QTest::qWait(static_cast<int>(duration.count()));
}

bool SystemTest::WaitUntil(const std::function<bool()>& condition, milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return condition();
        }
        QTest::qWait(static_cast<int>(kPumpSlice.count()));
    }
    return true;
}

std::optional<std::size_t> SystemTest::FindFrame(const Bytes& prefix, std::size_t from) const {
    const std::vector<Bytes> frames = microscope->ReceivedFrames();
    for (std::size_t i = from; i < frames.size(); ++i) {
        if (frames[i].size() >= prefix.size() &&
            std::equal(prefix.begin(), prefix.end(), frames[i].begin())) {
            return i;
        }
    }
    return std::nullopt;
}

bool SystemTest::WaitForFrame(const Bytes& prefix, std::size_t from, milliseconds timeout) {
    return WaitUntil([&] { return FindFrame(prefix, from).has_value(); }, timeout);
}

int SystemTest::CountFrames(const Bytes& prefix, std::size_t from) const {
    int count = 0;
    for (auto at = FindFrame(prefix, from); at; at = FindFrame(prefix, *at + 1)) {
        ++count;
    }
    return count;
}

std::vector<std::string> SystemTest::FramesFrom(std::size_t from) const {
    const std::vector<Bytes> frames = microscope->ReceivedFrames();
    std::vector<std::string> lines;
    for (std::size_t i = from; i < frames.size(); ++i) {
        lines.push_back(Hex(frames[i]));
    }
    return lines;
}

QToolButton* SystemTest::Button(const char* name) const {
    auto* button = Find<QToolButton>(*form, name);
    EXPECT_NE(button, nullptr) << name;
    return button;
}

void SystemTest::Click(const char* name) {
    Button(name)->click();
}

QTreeWidget* SystemTest::List() const {
    return Find<QTreeWidget>(*form, "ListView1");
}

QProgressBar* SystemTest::Progress() const {
    return Find<QProgressBar>(*form, "ProgressBar1");
}

void SystemTest::ClickRow(int row) {
    QTreeWidget* list = List();
    QTreeWidgetItem* item = list->topLevelItem(row);
    ASSERT_NE(item, nullptr) << "row " << row;
    list->scrollToItem(item);
    const QRect rect = list->visualItemRect(item);
    ASSERT_TRUE(rect.isValid());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

int SystemTest::RowCount() const {
    return List()->topLevelItemCount();
}

QStringList SystemTest::Row(int row) const {
    const QTreeWidgetItem* item = List()->topLevelItem(row);
    if (item == nullptr) {
        return {};
    }
    return {item->text(0), item->text(1), item->text(2)};
}

std::string SystemTest::DebugState() const {
    std::string out = "\nboxes:";
    for (const BoxRequest& box : dialogs.boxes) {
        out += " [" + box.text.toStdString() + "]";
    }
    out += "\nframes:";
    for (const std::string& line : FramesFrom(0)) {
        out += " [" + line + "]";
    }
    out += "\nenabled:";
    for (const char* name : kDeviceButtons) {
        out += std::string(" ") + name + "=" + (Button(name)->isEnabled() ? "1" : "0");
    }
    out += std::string(" popup=") + (form->PopupMenuEnabled() ? "1" : "0");
    return out;
}

bool SystemTest::ReadySet() const {
    for (const char* name : kDeviceButtons) {
        if (!Button(name)->isEnabled()) {
            return false;
        }
    }
    return !Button("SnapShotBtn")->isEnabled() && form->PopupMenuEnabled();
}

bool SystemTest::DisconnectedSet() const {
    for (const char* name : kDeviceButtons) {
        const bool shouldBeEnabled = std::string(name) == "ConnectBtn";
        if (Button(name)->isEnabled() != shouldBeEnabled) {
            return false;
        }
    }
    return !Button("SnapShotBtn")->isEnabled() && !form->PopupMenuEnabled();
}

bool SystemTest::ShowsGlyph(QToolButton* button, const QString& file) const {
    const QPixmap glyph = LoadGlyph(DataFile(file));
    if (glyph.isNull() || button->icon().isNull()) {
        return false;
    }
    return SamePixels(button->icon().pixmap(glyph.size()).toImage(), glyph.toImage());
}

int SystemTest::BoxesWithMessage(int number) const {
    return BoxesWithText(form->Message(number));
}

int SystemTest::BoxesWithText(const QString& text) const {
    int count = 0;
    for (const BoxRequest& box : dialogs.boxes) {
        count += box.text == text ? 1 : 0;
    }
    return count;
}

void SystemTest::DownloadAll() {
    const int finishedBefore = BoxesWithMessage(7);
    Click("DownloadBtn");
    ASSERT_TRUE(WaitUntil([&] { return BoxesWithMessage(7) > finishedBefore; }))
        << "the download did not finish";
    ASSERT_TRUE(WaitUntil([&] { return ReadySet(); }));
}

QString SystemTest::RunFolder() const {
    return QFileInfo(ScratchFolder()).absolutePath();
}

QStringList SystemTest::FilesUnder(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files << QDir(folder).relativeFilePath(it.next());
    }
    return files;
}

QString SystemTest::OutputFolder() const {
    const QString folder = QDir(StartFolder()).filePath(QStringLiteral("saved"));
    QDir().mkpath(folder);
    return folder;
}

QString SystemTest::WriteJpegFile(const QString& name, QSize size, QColor colour, int quality) {
    QImage picture(size, QImage::Format_RGB888);
    picture.fill(colour);
    const QString path = QDir(OutputFolder()).filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(EncodeJpegStream(picture, quality));
    return path;
}

}  // namespace dm::test

// SPDX-License-Identifier: GPL-3.0-or-later
// Live path throughput on one core: a picture frame sitting in the receive buffer is
// dispatched by the data thread's own DispatchFrame (header, payload, picture reception)
// and rendered into a ring slot with both overlays, against the bare TurboJPEG decode of
// the same 320 x 240 frames.
// Both decode into the 32-bit pixels of the ring. Prints frames per second for both and
// their ratio.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fuzz/quiet_window.h"
#include "inbound/data_proc_thread.h"
#include "inbound/device_state.h"
#include "inbound/image_buffer.h"
#include "link/frame.h"
#include "link/frame_writer.h"
#include "link/receive_buffer.h"
#include "view/jpeg_codec.h"
#include "view/live_view.h"

namespace {

constexpr int kFrameCount = 8;
constexpr int kLiveQuality = 80;
constexpr uint8_t kZoomCode = 0x2F;

class NoWriter : public dm::FrameWriter {
  public:
    int32_t WritePort(const uint8_t*, int32_t n) override { return n; }
};

// Live-like pictures: smooth shading with fine detail, different in every frame.
std::vector<QByteArray> LiveFrames() {
    std::vector<QByteArray> frames;
    for (int n = 0; n < kFrameCount; ++n) {
        QImage picture(dm::kPanelWidth, dm::kPanelHeight, QImage::Format_RGB888);
        for (int y = 0; y < picture.height(); ++y) {
            uchar* line = picture.scanLine(y);
            for (int x = 0; x < picture.width(); ++x) {
                line[3 * x] = static_cast<uchar>(128 + 100 * std::sin((x + 7 * n) * 0.07));
                line[3 * x + 1] = static_cast<uchar>(128 + 100 * std::cos((y + 3 * n) * 0.05));
                line[3 * x + 2] = static_cast<uchar>((x * y + 31 * n) % 251);
            }
        }
        frames.push_back(dm::EncodeJpegStream(picture, kLiveQuality));
    }
    return frames;
}

// The bytes of one picture frame on the wire: header, info word, size, JPEG.
std::vector<uint8_t> PictureFrame(const QByteArray& jpeg, uint32_t number) {
    const auto size = static_cast<uint32_t>(jpeg.size());
    const auto header = dm::frame::MakeHeader(
        dm::frame::kPicture, static_cast<uint16_t>(dm::frame::kPictureHeaderSize + size));
    std::vector<uint8_t> bytes(header.begin(), header.end());
    bytes.resize(dm::frame::kHeaderSize + dm::frame::kPictureHeaderSize + size);
    dm::frame::WriteLe32(bytes.data() + 4, dm::frame::MakeInfo(number, kZoomCode));
    dm::frame::WriteLe32(bytes.data() + 8, size);
    std::copy(jpeg.begin(), jpeg.end(), bytes.begin() + 12);
    return bytes;
}

void BM_LivePath(benchmark::State& state) {
    const std::vector<QByteArray> jpegs = LiveFrames();
    std::vector<std::vector<uint8_t>> wire;
    for (int n = 0; n < kFrameCount; ++n) {
        wire.push_back(PictureFrame(jpegs[n], static_cast<uint32_t>(n)));
    }
    dm::DeviceState device;
    device.cameraOn = true;
    device.liveView = true;
    dm::fuzz::QuietWindow window;
    window.SetOverlaysChecked(true);
    dm::LiveViewSurface surface;
    dm::LiveView live(device, window, surface);
    auto buffer = std::make_unique<dm::ReceiveBuffer>();
    NoWriter writer;
    dm::IMAGE_BUFFER pictures;
    dm::IMAGE_BUFFER snapshots;
    // Never started: the benchmark thread runs its dispatch directly.
    dm::TDataProcThread data(*buffer, writer, device, pictures, snapshots, live, window);
    int n = 0;
    for (auto _ : state) {
        const std::vector<uint8_t>& frame = wire[n++ % kFrameCount];
        {
            std::lock_guard lock(buffer->Lock());
            buffer->Append(frame.data(), static_cast<uint32_t>(frame.size()));
        }
        data.DispatchFrame();
        // The window shows every frame, so the ring never fills.
        benchmark::DoNotOptimize(live.ShowNextLiveFrame());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LivePath)->Unit(benchmark::kMicrosecond);

void BM_BareDecode(benchmark::State& state) {
    const std::vector<QByteArray> jpegs = LiveFrames();
    int n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            dm::DecodeJpegStream(jpegs[n++ % kFrameCount], QImage::Format_RGB32));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BareDecode)->Unit(benchmark::kMicrosecond);

// Keeps the CPU time per frame of each benchmark for the closing comparison.
class RecordingReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                secondsPerFrame[run.run_name.function_name] =
                    run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> secondsPerFrame;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);  // fonts for the overlays
    benchmark::Initialize(&argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double live = reporter.secondsPerFrame["BM_LivePath"];
    const double decode = reporter.secondsPerFrame["BM_BareDecode"];
    if (live > 0 && decode > 0) {
        std::printf("live path (receive buffer -> ring slot, both overlays): %.0f frames/s\n",
                    1.0 / live);
        std::printf("bare TurboJPEG decode of the same frames:               %.0f frames/s\n",
                    1.0 / decode);
        std::printf("live path / bare decode time ratio: %.2f\n", live / decode);
    }
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// How busy the program keeps a 115200-baud line while it downloads every picture: the
// program's own core pieces (receive buffer, serial port, data and command threads, device
// commands and the window's download handling) without a window, against a virtual
// microscope with six pictures whose output is throttled to the line's byte rate. The main
// thread polls the port every 20 ms, as the window's timer does.
//
// Line busy = (bytes the microscope sent / 11520 bytes per second) / (time from the
// download request to the last byte's arrival). 100 % would be a line that never rests
// between a reply and the next request.
//
// BM_LineRate first checks the measure itself: six picture requests written at once keep
// the throttled line sending without a pause, so what arrives shows the microscope's own
// pace and the resolution of the 20 ms polls.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "commands/cmd_proc_thread.h"
#include "commands/command_codes.h"
#include "commands/device_commands.h"
#include "commands/device_control.h"
#include "fuzz/quiet_window.h"
#include "inbound/data_proc_thread.h"
#include "inbound/device_state.h"
#include "inbound/image_buffer.h"
#include "inbound/live_frame_sink.h"
#include "link/frame.h"
#include "link/port_table.h"
#include "link/receive_buffer.h"
#include "link/serial_port.h"
#include "virtual-microscope/virtual_microscope.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kPictures = 6;
constexpr auto kPollPeriod = 20ms;  // the window's timer
constexpr auto kConnectLimit = 10s;
constexpr auto kDownloadLimit = 60s;  // six pictures take about ten seconds
constexpr int kRepetitions = 3;
constexpr double kPercent = 100;
constexpr double kLineBytesPerSecond = dm::vm::VirtualMicroscope::kThrottledBytesPerSecond;

class NoLiveView : public dm::LiveFrameSink {
  public:
    void RenderLiveFrame(uint32_t, const uint8_t*, uint32_t) override {}
};

dm::vm::Options ThrottledMicroscope() {
    dm::vm::Options options;
    options.pictures = kPictures;
    options.faults.throttle = true;
    return options;
}

// The window timer's part: polls the port every kPollPeriod until `done` holds or the
// limit passes, and keeps the moment the receive buffer last grew.
class Poller {
  public:
    Poller(dm::SerialPort& port, dm::ReceiveBuffer& buffer) : port_(port), buffer_(buffer) {}

    bool PollUntil(const std::function<bool()>& done, Clock::duration limit,
                   const std::function<void()>& afterPoll = {}) {
        const auto deadline = Clock::now() + limit;
        auto next = Clock::now();
        while (!done()) {
            if (Clock::now() >= deadline) {
                return false;
            }
            port_.PollPort();
            const uint64_t received = buffer_.Received();
            if (received != lastReceived_) {
                lastReceived_ = received;
                lastGrowth_ = Clock::now();
            }
            if (afterPoll) {
                afterPoll();
            }
            next += kPollPeriod;
            std::this_thread::sleep_until(next);
        }
        return true;
    }

    Clock::time_point LastGrowth() const { return lastGrowth_; }

  private:
    dm::SerialPort& port_;
    dm::ReceiveBuffer& buffer_;
    uint64_t lastReceived_ = 0;
    Clock::time_point lastGrowth_{};
};

struct Figures {
    double seconds = 0;
    double bytes = 0;
    double busyPercent = 0;
};

std::vector<double> downloadBusy;  // every download's figure, for the closing summary
std::optional<double> lineRatePercent;

// One download of every picture, from the request to the last byte.
std::optional<Figures> DownloadAll() {
    dm::vm::VirtualMicroscope microscope(ThrottledMicroscope());
    const std::string path = microscope.Start();
    if (path.empty()) {
        return std::nullopt;
    }
    QTemporaryDir scratch;
    dm::DeviceState state;
    dm::ReceiveBuffer buffer;
    dm::SerialPort port(buffer, [path] { return dm::PortTable({path}); });
    dm::fuzz::QuietWindow window;
    NoLiveView live;
    dm::IMAGE_BUFFER pictures;
    dm::IMAGE_BUFFER snapshots;
    dm::TCmdProcThread commandThread(state);
    dm::TDataProcThread dataThread(buffer, port, state, pictures, snapshots, live, window);
    dm::DeviceCommands commands(state, port, window, pictures, commandThread, scratch.path());
    commands.Register(commandThread);
    dm::DeviceControl control(state, port, commandThread, window);
    commandThread.start();
    dataThread.start();
    Poller poller(port, buffer);

    std::optional<Figures> figures;
    control.ConnectBtnClick();
    if (poller.PollUntil([&] { return commandThread.IsIdle(); }, kConnectLimit) && port.IsOpen()) {
        const uint64_t before = buffer.Received();
        const auto requested = Clock::now();
        control.DownloadBtnClick();
        if (poller.PollUntil([&] { return commandThread.IsIdle(); }, kDownloadLimit) &&
            pictures.Count() == kPictures) {
            Figures result;
            result.seconds = std::chrono::duration<double>(poller.LastGrowth() - requested).count();
            result.bytes = static_cast<double>(buffer.Received() - before);
            result.busyPercent = kPercent * result.bytes / kLineBytesPerSecond / result.seconds;
            figures = result;
        }
    }
    commandThread.RequestStop();
    commandThread.wait();
    dataThread.RequestStop();
    dataThread.wait();
    port.ClosePort();
    microscope.Stop();
    return figures;
}

// Every picture asked for in one write: the line has no reason to rest until the last.
std::optional<Figures> BackToBack() {
    dm::vm::VirtualMicroscope microscope(ThrottledMicroscope());
    const std::string path = microscope.Start();
    if (path.empty()) {
        return std::nullopt;
    }
    dm::ReceiveBuffer buffer;
    dm::SerialPort port(buffer, [path] { return dm::PortTable({path}); });
    if (!port.OpenPort(0, dm::SerialPort::kSearchBaudIndex)) {
        return std::nullopt;
    }
    std::vector<uint8_t> requests;
    for (const auto& picture : microscope.Pictures()) {
        auto request =
            dm::frame::MakeHeader(dm::frame::kPictureRequest, dm::frame::kRequestArgumentSize);
        requests.insert(requests.end(), request.begin(), request.end());
        requests.resize(requests.size() + dm::frame::kRequestArgumentSize);
        dm::frame::WriteLe32(requests.data() + requests.size() - dm::frame::kRequestArgumentSize,
                             dm::frame::PictureNumber(picture.info));
    }
    uint64_t expected = 0;
    for (const auto& picture : microscope.Pictures()) {
        expected += dm::frame::kHeaderSize + dm::frame::kPictureHeaderSize +
                    static_cast<uint64_t>(picture.jpeg.size());
    }
    Poller poller(port, buffer);
    const auto requested = Clock::now();
    port.WritePort(requests.data(), static_cast<int32_t>(requests.size()));
    std::optional<Figures> figures;
    const bool whole =
        poller.PollUntil([&] { return buffer.Received() >= expected; }, kDownloadLimit,
                         [&] {
                             std::lock_guard lock(buffer.Lock());
                             buffer.Clear();
                         });
    if (whole) {
        Figures result;
        result.seconds = std::chrono::duration<double>(poller.LastGrowth() - requested).count();
        result.bytes = static_cast<double>(buffer.Received());
        result.busyPercent = kPercent * result.bytes / kLineBytesPerSecond / result.seconds;
        figures = result;
    }
    port.ClosePort();
    microscope.Stop();
    return figures;
}

void Report(benchmark::State& state, const std::optional<Figures>& figures) {
    if (!figures) {
        state.SkipWithError("the download did not complete");
        return;
    }
    state.SetIterationTime(figures->seconds);
    state.counters["bytes"] = figures->bytes;
    state.counters["line_busy_%"] = figures->busyPercent;
}

void BM_LineRate(benchmark::State& state) {
    for (auto _ : state) {
        const auto figures = BackToBack();
        Report(state, figures);
        if (figures) {
            lineRatePercent = figures->busyPercent;
        }
    }
}
BENCHMARK(BM_LineRate)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_DownloadLineBusy(benchmark::State& state) {
    for (auto _ : state) {
        const auto figures = DownloadAll();
        Report(state, figures);
        if (figures) {
            downloadBusy.push_back(figures->busyPercent);
        }
    }
}
BENCHMARK(BM_DownloadLineBusy)
    ->Iterations(1)
    ->Repetitions(kRepetitions)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);  // the microscope paints its pictures
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (lineRatePercent) {
        std::printf("line busy, pictures asked for back to back (the measure's ceiling): %.1f %%\n",
                    *lineRatePercent);
    }
    if (!downloadBusy.empty()) {
        const auto [low, high] = std::minmax_element(downloadBusy.begin(), downloadBusy.end());
        double sum = 0;
        for (const double busy : downloadBusy) {
            sum += busy;
        }
        std::printf(
            "line busy during a download of %d pictures: %.1f %% (%zu runs, %.1f to %.1f %%)\n",
            kPictures, sum / static_cast<double>(downloadBusy.size()), downloadBusy.size(), *low,
            *high);
    }
    return downloadBusy.empty() ? 1 : 0;
}

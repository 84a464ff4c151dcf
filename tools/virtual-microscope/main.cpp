// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual-microscope executable: a microscope on a pseudo-terminal until SIGINT or
// SIGTERM, or until its link goes: SIGUSR1 unplugs it, and the vanish fault closes it.

#include <csignal>
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include <QGuiApplication>

#include "virtual-microscope/command_line.h"
#include "virtual-microscope/virtual_microscope.h"

namespace {

constexpr long kSignalPollNanoseconds = 200'000'000;

constexpr int kUnplugSignal = SIGUSR1;

// Blocks the signals it acts on in every thread so that only the wait below receives
// them.
sigset_t BlockHandledSignals() {
    sigset_t handled;
    sigemptyset(&handled);
    sigaddset(&handled, SIGINT);
    sigaddset(&handled, SIGTERM);
    sigaddset(&handled, kUnplugSignal);
    pthread_sigmask(SIG_BLOCK, &handled, nullptr);
    return handled;
}

// Returns on a stop signal or once the microscope has gone (unplugged, vanished).
void WaitForStop(const sigset_t& handled, dm::vm::VirtualMicroscope& microscope) {
    const timespec poll{0, kSignalPollNanoseconds};
    while (microscope.IsRunning()) {
        const int signal = sigtimedwait(&handled, nullptr, &poll);
        if (signal == kUnplugSignal) {
            microscope.Unplug();
        } else if (signal > 0) {
            return;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const dm::vm::CommandLine line =
        dm::vm::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (line.help) {
        std::cout << dm::vm::UsageText();
        return 0;
    }
    if (line.version) {
        std::cout << "virtual-microscope " << DM_VERSION << '\n';
        return 0;
    }
    if (!line.error.empty()) {
        std::cerr << "virtual-microscope: " << line.error << "\n\n" << dm::vm::UsageText();
        return 2;
    }

    const sigset_t handledSignals = BlockHandledSignals();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);

    dm::vm::VirtualMicroscope microscope(line.options);
    const std::string path = microscope.Start();
    if (path.empty()) {
        std::cerr << "virtual-microscope: " << microscope.ErrorText() << '\n';
        return 1;
    }
    std::cout << "virtual-microscope: " << path << std::endl;
    if (microscope.LinkPath().empty()) {
        std::cerr << "virtual-microscope: not published (" << microscope.ErrorText() << ")\n";
    } else {
        std::cerr << "virtual-microscope: published as " << microscope.LinkPath() << '\n';
    }
    WaitForStop(handledSignals, microscope);
    microscope.Stop();
    return 0;
}

// The virtual-microscope executable: a microscope on a pseudo-terminal until SIGINT or
// SIGTERM (or until its link vanishes, when told to).

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

// Blocks SIGINT and SIGTERM in every thread so that only the wait below receives them.
sigset_t BlockStopSignals() {
    sigset_t stopSet;
    sigemptyset(&stopSet);
    sigaddset(&stopSet, SIGINT);
    sigaddset(&stopSet, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSet, nullptr);
    return stopSet;
}

void WaitForStop(const sigset_t& stopSet, const dm::vm::VirtualMicroscope& microscope) {
    const timespec poll{0, kSignalPollNanoseconds};
    while (microscope.IsRunning()) {
        if (sigtimedwait(&stopSet, nullptr, &poll) > 0) {
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
    if (!line.error.empty()) {
        std::cerr << "virtual-microscope: " << line.error << "\n\n" << dm::vm::UsageText();
        return 2;
    }

    const sigset_t stopSignals = BlockStopSignals();
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
    WaitForStop(stopSignals, microscope);
    microscope.Stop();
    return 0;
}

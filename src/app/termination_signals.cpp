// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/termination_signals.h"

#include "app/gui_wakeup.h"

namespace dm {

TerminationSignals::TerminationSignals(QObject* context, std::function<void()> onTerminate)
    : wakeup_(std::make_unique<GuiWakeup>(context, std::move(onTerminate))) {
    Install();
}

TerminationSignals::~TerminationSignals() {
    Uninstall();
}

}  // namespace dm

// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer entry: byte streams from the microscope through the receive buffer, the data
// thread's frame dispatch, picture reception and the live view's JPEG decoding.

#include <QByteArray>
#include <QGuiApplication>
#include <cstddef>
#include <cstdint>

#include "fuzz/inbound_input.h"

// Fontconfig, loaded by Qt on the first text drawn, keeps allocations it no longer points
// to; that is not ours to find.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

// The live view draws text overlays, which need a GUI application; it lives for the
// whole run.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    dm::fuzz::RunInboundInput(data, size);
    return 0;
}

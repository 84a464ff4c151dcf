// SPDX-License-Identifier: GPL-3.0-or-later
#include "virtual-microscope/specimen_painter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <vector>

#include "virtual-microscope/picture_factory.h"
#include "virtual-microscope/virtual_microscope.h"

namespace dm::vm::testing {
namespace {

constexpr uint32_t kSlide = 7;
constexpr double kFrameSeconds = 0.066;
constexpr double kPanStep = 37.5;
constexpr uint32_t kLabelMagnification = 20;
constexpr uint8_t kHighMagnification = 108;
constexpr int kInitialZoomCodes = 4;  // InitialZoomCode cycles through this many

std::ptrdiff_t ThreadCount() {
    return std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                         std::filesystem::directory_iterator());
}

// A painter keeps the backdrop of the view before: frames that follow each other, and
// views that change under it, come out as if each were painted afresh.
TEST(SpecimenPainter, ConsecutiveViewsMatchFreshPaintings) {
    SpecimenView view;
    view.slide = kSlide;
    view.magnification = kLabelMagnification;
    std::vector<SpecimenView> views;
    for (int frame = 0; frame < 3; ++frame) {  // a stream that only moves on in time
        view.seconds = frame * kFrameSeconds;
        views.push_back(view);
    }
    view.panX += kPanStep;  // pan keys
    views.push_back(view);
    view.panY -= kPanStep;
    views.push_back(view);
    view.scale = ScaleForMagnification(kHighMagnification);  // zoom keys
    views.push_back(view);
    view.slide = kSlide + 1;  // another picture
    view.number = kSlide + 1;
    views.push_back(view);
    views.push_back(views.front());  // and back

    SpecimenPainter painter;
    for (std::size_t i = 0; i < views.size(); ++i) {
        EXPECT_EQ(painter.Paint(views[i]), PaintSpecimen(views[i])) << "view " << i;
    }
}

// Qt's raster engine hands fills of many spans to threads of its own, which would run
// painting that nobody asked for outside the calling thread; the bands keep every fill
// small enough, at every zoom.
TEST(SpecimenPainter, PaintsOnTheCallingThreadOnly) {
    if (!std::filesystem::is_directory("/proc/self/task")) {
        GTEST_SKIP() << "threads cannot be counted here";
    }
    const auto before = ThreadCount();
    SpecimenPainter painter;
    for (int zoom = 0; zoom < VirtualMicroscope::kZoomSteps; ++zoom) {
        MakeLivePicture({VirtualMicroscope::ZoomCodeAt(zoom), 0, 0, zoom * kFrameSeconds}, painter);
    }
    for (int i = 0; i < kInitialZoomCodes; ++i) {
        MakeStillPicture(kSlide, InitialZoomCode(i));
    }
    EXPECT_EQ(ThreadCount(), before);
}

}  // namespace
}  // namespace dm::vm::testing

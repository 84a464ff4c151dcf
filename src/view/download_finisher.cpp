// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/download_finisher.h"

#include <algorithm>

#include "base/message_numbers.h"
#include "view/picture_files.h"

namespace dm {

namespace {
constexpr int kConversionStartPercent = 80;
constexpr int kConversionSpanPercent = 20;
constexpr int kDonePercent = 100;
constexpr int kIdlePercent = 0;
const QString kNameSeparator = QStringLiteral(", ");
}  // namespace

DownloadFinisher::DownloadFinisher(DeviceState& state, WindowPort& window,
                                   const IMAGE_BUFFER& pictures, DigitalZoom& zoom)
    : state_(state), window_(window), pictures_(pictures), zoom_(zoom) {}

void DownloadFinisher::Timer2Timer() {
    if (!state_.downloadFinished.exchange(false, std::memory_order_acq_rel)) {
        return;
    }
    window_.SetProgress(kConversionStartPercent);
    const Conversion conversion = ConvertAll();
    window_.SetProgress(kDonePercent);
    // A download that a disconnect or the microscope's loss cut short: what arrived is
    // ready to view; the window tells of a loss alone and puts the buttons in the
    // disconnected state.
    const bool ended = !state_.connected.load(std::memory_order_acquire);
    if (!ended) {
        Tell(conversion);
    }
    window_.SetProgress(kIdlePercent);
    if (!ended) {
        window_.ApplyButtonSet(ButtonSet::Ready);
        window_.SetEnabled(Control::CameraBtn, true);
    }
}

DownloadFinisher::Conversion DownloadFinisher::ConvertAll() {
    Conversion conversion;
    conversion.rows = std::min<int>(state_.directory.Count(), PictureDirectory::kCapacity);
    for (int i = 0; i < conversion.rows; ++i) {
        const QByteArray jpeg = pictures_.StreamAt(i);
        // An empty stream is a picture that never arrived: nothing to convert.
        if (jpeg.isEmpty()) {
            window_.MarkRowNotReceived(i);
        } else {
            ++conversion.received;
            const uint32_t info = state_.directory.Entry(i).info;
            if (!zoom_.ConvertWithDigitalZoom(jpeg, info).converted) {
                conversion.failed << DefaultJpegFileName(info);
            }
        }
        window_.SetProgress(kConversionStartPercent +
                            (kConversionSpanPercent * i + kConversionSpanPercent) /
                                conversion.rows);
    }
    return conversion;
}

void DownloadFinisher::Tell(const Conversion& conversion) {
    if (!conversion.failed.isEmpty()) {
        window_.ShowError(window_.Message(message::kPicturesNotPrepared)
                              .arg(conversion.failed.join(kNameSeparator)));
    }
    if (conversion.received < conversion.rows) {
        window_.ShowInfo(window_.Message(message::kDownloadIncomplete)
                             .arg(conversion.received)
                             .arg(conversion.rows));
    } else if (conversion.failed.isEmpty()) {
        window_.ShowInfo(window_.Message(message::kDownloadFinished));
    }
}

}  // namespace dm

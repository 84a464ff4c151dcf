#include "view/download_finisher.h"

#include <algorithm>

#include <QStringList>

#include "view/picture_files.h"

namespace dm {

namespace {
constexpr int kConversionStartPercent = 80;
constexpr int kConversionSpanPercent = 20;
constexpr int kDonePercent = 100;
constexpr int kIdlePercent = 0;
constexpr int kDownloadFinishedMessage = 7;
}  // namespace

DownloadFinisher::DownloadFinisher(DeviceState& state, WindowPort& window,
                                   const IMAGE_BUFFER& pictures, DigitalZoom& zoom)
    : state_(state), window_(window), pictures_(pictures), zoom_(zoom) {}

void DownloadFinisher::Timer2Timer() {
    if (!state_.downloadFinished.exchange(false, std::memory_order_acq_rel)) {
        return;
    }
    window_.SetProgress(kConversionStartPercent);
    const QStringList failed = ConvertAll();
    if (!failed.isEmpty()) {
        window_.ShowError(QStringLiteral("These pictures could not be prepared for viewing: ") +
                          failed.join(QStringLiteral(", ")));
    }
    window_.SetProgress(kDonePercent);
    window_.ShowInfo(window_.Message(kDownloadFinishedMessage));
    window_.SetProgress(kIdlePercent);
    window_.ApplyButtonSet(ButtonSet::Ready);
    window_.SetEnabled(Control::CameraBtn, true);
}

QStringList DownloadFinisher::ConvertAll() {
    QStringList failed;
    const int count = std::min<int>(state_.directory.Count(), PictureDirectory::kCapacity);
    for (int i = 0; i < count; ++i) {
        const QByteArray jpeg = pictures_.StreamAt(i);
        // An empty stream is a picture that never arrived: nothing to convert.
        if (!jpeg.isEmpty()) {
            const uint32_t info = state_.directory.Entry(i).info;
            if (!zoom_.ConvertWithDigitalZoom(jpeg, info).converted) {
                failed << DefaultJpegFileName(info);
            }
        }
        window_.SetProgress(kConversionStartPercent +
                            (kConversionSpanPercent * i + kConversionSpanPercent) / count);
    }
    return failed;
}

}  // namespace dm

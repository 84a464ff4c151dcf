// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/area_resample.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace dm {

namespace {

constexpr int kChannels = 3;

// The source pixels one destination pixel covers along one axis and their weights,
// which add up to 1.
struct Footprint {
    int first = 0;
    std::vector<double> weights;
};

std::vector<Footprint> Footprints(int sourceLength, int destLength) {
    std::vector<Footprint> footprints(static_cast<std::size_t>(destLength));
    const double scale = static_cast<double>(sourceLength) / destLength;
    for (int d = 0; d < destLength; ++d) {
        const double begin = d * scale;
        const double end = (d + 1) * scale;
        Footprint& footprint = footprints[static_cast<std::size_t>(d)];
        footprint.first = static_cast<int>(std::floor(begin));
        const int last = std::min(sourceLength - 1, static_cast<int>(std::ceil(end)) - 1);
        for (int s = footprint.first; s <= last; ++s) {
            const double covered = std::min(end, s + 1.0) - std::max(begin, static_cast<double>(s));
            footprint.weights.push_back(covered / scale);
        }
    }
    return footprints;
}

// Resamples the rows of a 32-bit picture (horizontal pass) into floating-point channels.
std::vector<double> ResampleRows(const QImage& source, int destWidth) {
    const std::vector<Footprint> columns = Footprints(source.width(), destWidth);
    std::vector<double> rows(static_cast<std::size_t>(source.height()) * destWidth * kChannels);
    for (int y = 0; y < source.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        double* out = rows.data() + static_cast<std::size_t>(y) * destWidth * kChannels;
        for (int x = 0; x < destWidth; ++x) {
            const Footprint& footprint = columns[static_cast<std::size_t>(x)];
            double* channels = out + static_cast<std::ptrdiff_t>(x) * kChannels;
            for (std::size_t k = 0; k < footprint.weights.size(); ++k) {
                const QRgb pixel = line[footprint.first + static_cast<int>(k)];
                const double weight = footprint.weights[k];
                channels[0] += weight * qRed(pixel);
                channels[1] += weight * qGreen(pixel);
                channels[2] += weight * qBlue(pixel);
            }
        }
    }
    return rows;
}

}  // namespace

QImage AreaResample(const QImage& source, const QSize& size) {
    if (source.isNull() || size.isEmpty()) {
        return {};
    }
    const QImage rgb = source.convertToFormat(QImage::Format_RGB32);
    const std::vector<double> rows = ResampleRows(rgb, size.width());
    const std::vector<Footprint> lines = Footprints(rgb.height(), size.height());
    const std::size_t rowLength = static_cast<std::size_t>(size.width()) * kChannels;
    QImage result(size, QImage::Format_RGB888);
    for (int y = 0; y < size.height(); ++y) {
        const Footprint& footprint = lines[static_cast<std::size_t>(y)];
        uchar* out = result.scanLine(y);
        for (std::size_t i = 0; i < rowLength; ++i) {
            double sum = 0.0;
            for (std::size_t k = 0; k < footprint.weights.size(); ++k) {
                sum += footprint.weights[k] * rows[(footprint.first + k) * rowLength + i];
            }
            out[i] = static_cast<uchar>(std::clamp(std::lround(sum), 0L, 255L));
        }
    }
    return result;
}

}  // namespace dm

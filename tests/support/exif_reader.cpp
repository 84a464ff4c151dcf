// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/exif_reader.h"

#include <exception>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

namespace dm::test {

namespace {

template <typename Read>
std::map<std::string, std::string> ReadTags(const QString& path, Read read) {
    std::map<std::string, std::string> tags;
    try {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        auto image = Exiv2::ImageFactory::open(path.toStdString());
#pragma GCC diagnostic pop
        image->readMetadata();
        read(*image, tags);
    } catch (const std::exception&) {
        tags.clear();
    }
    return tags;
}

}  // namespace

std::map<std::string, std::string> ReadExif(const QString& path) {
    return ReadTags(path, [](Exiv2::Image& image, std::map<std::string, std::string>& tags) {
        for (const Exiv2::Exifdatum& datum : image.exifData()) {
            tags[datum.key()] = datum.value().toString();
        }
    });
}

std::map<std::string, std::string> ReadXmp(const QString& path) {
    return ReadTags(path, [](Exiv2::Image& image, std::map<std::string, std::string>& tags) {
        for (const Exiv2::Xmpdatum& datum : image.xmpData()) {
            tags[datum.key()] = datum.value().toString();
        }
    });
}

QByteArray CompressedPart(const QByteArray& jpeg) {
    const qsizetype tables = jpeg.indexOf(QByteArray("\xFF\xDB", 2));
    return tables < 0 ? QByteArray() : jpeg.mid(tables);
}

double RationalValue(const std::string& text) {
    const auto slash = text.find('/');
    if (slash == std::string::npos) {
        return 0.0;
    }
    const double denominator = std::stod(text.substr(slash + 1));
    return denominator == 0.0 ? 0.0 : std::stod(text.substr(0, slash)) / denominator;
}

}  // namespace dm::test

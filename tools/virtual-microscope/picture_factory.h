// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The JPEG pictures the virtual microscope sends: stills of its memory (numbered, each
// with its own slide and zoom), frames of the live stream, and bytes that only pose as
// a picture for the undecodable-JPEG fault.

#include <cstdint>

#include <QByteArray>
#include <QImage>

#include "virtual-microscope/specimen_painter.h"

namespace dm::vm {

// Picture frames stay well inside the program's 65536-byte picture buffer.
inline constexpr int kMaxPictureBytes = 30000;

// Zoom codes of the pictures in memory at start, cycling: ranges 0, 2, 3 and 15.
uint8_t InitialZoomCode(int index);

// Encodes at quality 90, lower when that would exceed kMaxPictureBytes.
QByteArray EncodePicture(const QImage& picture);

QByteArray MakeStillPicture(uint32_t number, uint8_t zoomCode);

struct LiveView {
    uint8_t zoomCode = 0;
    double panX = 0;
    double panY = 0;
    double seconds = 0;
};
// The painter keeps what consecutive frames share; one painter for one stream.
QByteArray MakeLivePicture(const LiveView& view, SpecimenPainter& painter);

// As many bytes as a picture, none of which is a JPEG marker start.
QByteArray MakeUndecodableBytes(int size);
// The JPEG with comment segments behind its start marker, so that it holds at least
// `size` bytes and still decodes to the same picture.
QByteArray PadPicture(const QByteArray& jpeg, int size);

}  // namespace dm::vm

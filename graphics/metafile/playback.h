// Plays metafile records onto a QPainter: lines, shapes, paths, text, bitmaps,
// pens, brushes, fonts, mapping modes and transforms of the common records.
// Records we do not know, and records whose contents do not fit their size,
// are skipped; nothing is read outside the bytes given.
#pragma once

#include <cstdint>

#include <QPainter>
#include <QRectF>

namespace qv {

// Plays an enhanced metafile (`data` starts with its header record, `size`
// bytes in all), mapping its picture frame onto `target` (device pixels).
void PlayEnhancedMetafile(QPainter& painter, const uint8_t* data, int64_t size,
                          const QRectF& target);

// Plays a Windows metafile (`data` starts with its 18-byte header, after the
// placeable header). The metafile's window, initially `bounds` (logical units),
// is mapped onto `target`.
void PlayWindowsMetafile(QPainter& painter, const uint8_t* data, int64_t size, const QRectF& bounds,
                         const QRectF& target);

}  // namespace qv

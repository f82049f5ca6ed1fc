#include "mascot/FrameRegions.h"

#include <QCoreApplication>
#include <QImage>
#include <QVector>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {
// Slot coordinates beyond this magnitude are refused: no window comes near it, and keeping
// every width and height far inside the int range keeps QRect's arithmetic from overflowing.
constexpr std::int64_t CoordinateLimit = std::int64_t(1) << 29;

// The scan's verdict for each position, row by row: 1 = part of the shape.
struct ScanGrid
{
    int columns = 0;
    int rows = 0;
    std::vector<std::uint8_t> cells;
    std::uint8_t at(int x, int y) const { return cells[size_t(y) * size_t(columns) + size_t(x)]; }
};

// The colour a pixel of an ARGB32 image reads as: fully transparent pixels all read as one.
QRgb readColour(QRgb pixel)
{
    return qAlpha(pixel) == 0 ? QRgb(0) : pixel;
}

// Scans columns x rows positions from the picture's top-left corner; positions beyond the
// picture belong to the shape.
ScanGrid scan(const QImage& picture, int columns, int rows)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = KeyColour(image);
    const int width = image.isNull() ? 0 : image.width();
    const int height = image.isNull() ? 0 : image.height();
    ScanGrid grid{columns, rows, std::vector<std::uint8_t>(size_t(columns) * size_t(rows), 1)};
    for (int y = 0; y < std::min(height, rows); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        std::uint8_t* row = grid.cells.data() + size_t(y) * size_t(columns);
        for (int x = 0; x < std::min(width, columns); ++x)
            row[x] = readColour(line[x]) != key ? 1 : 0;
    }
    return grid;
}

ScanGrid frameScan(const QImage& picture)
{
    return scan(picture, FrameScanSize, FrameScanSize);
}

// Turns the grid into a region whose bands are `bandHeight` rows tall (the last one shorter);
// a band covers every column that any of its rows covers. Neighbouring bands with the same
// runs are joined into one, the way QRegion keeps its own bands, so with bandHeight 1 the
// result is exactly the region the pixel-by-pixel union gives.
QRegion regionFromGrid(const ScanGrid& grid, int bandHeight)
{
    QVector<QRect> rects;
    QVector<QRect> previous; // the runs of the band above, still growing downwards
    std::vector<std::uint8_t> covered(size_t(grid.columns));
    auto flush = [&rects, &previous] {
        rects += previous;
        previous.clear();
    };
    for (int top = 0; top < grid.rows; top += bandHeight) {
        const int bottom = std::min(top + bandHeight, grid.rows);
        std::fill(covered.begin(), covered.end(), 0);
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < grid.columns; ++x)
                covered[size_t(x)] |= grid.at(x, y);
        QVector<QRect> runs;
        for (int x = 0; x < grid.columns;) {
            if (!covered[size_t(x)]) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < grid.columns && covered[size_t(x)])
                ++x;
            runs.append(QRect(start, top, x - start, bottom - top));
        }
        bool sameRuns = !previous.isEmpty() && previous.size() == runs.size() &&
                        previous.last().bottom() + 1 == top;
        for (qsizetype i = 0; sameRuns && i < runs.size(); ++i)
            sameRuns =
                runs[i].left() == previous[i].left() && runs[i].right() == previous[i].right();
        if (sameRuns) {
            for (QRect& r : previous)
                r.setBottom(bottom - 1);
        } else {
            flush();
            previous = runs;
        }
    }
    flush();
    // The list is y-x banded, bands share no edge with an equal band, and runs within a band
    // neither touch nor overlap: the form QRegion keeps, so it can take the list as it is.
    QRegion region;
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    region.setRects(QSpan<const QRect>(rects));
#else
    if (!rects.isEmpty())
        region.setRects(rects.constData(), int(rects.size()));
#endif
    return region;
}

// Reads one stored rectangle as four 32-bit signed values.
std::array<std::int64_t, 4> rawRect(const FrameRegion& slot, int offset)
{
    std::array<std::int64_t, 4> v{};
    for (int i = 0; i < 4; ++i) {
        const std::uint8_t* p = slot.bytes.data() + offset + 4 * i;
        const std::uint32_t word = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                                   std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
        v[size_t(i)] = static_cast<std::int32_t>(word);
    }
    return v;
}

bool withinLimits(const std::array<std::int64_t, 4>& r)
{
    for (const std::int64_t v : r)
        if (v < -CoordinateLimit || v > CoordinateLimit)
            return false;
    return true;
}

// A rectangle scaled and shifted by the transform, rounded to whole pixels; false when the
// result leaves the coordinate range.
bool transformRect(const RegionTransform& t, const std::array<std::int64_t, 4>& r, QRect* out)
{
    const double x1 = double(r[0]) * t.eM11 + t.eDx;
    const double x2 = double(r[2]) * t.eM11 + t.eDx;
    const double y1 = double(r[1]) * t.eM22 + t.eDy;
    const double y2 = double(r[3]) * t.eM22 + t.eDy;
    for (const double v : {x1, x2, y1, y2})
        if (!std::isfinite(v) || std::fabs(v) > double(CoordinateLimit))
            return false;
    const int left = int(std::lround(std::min(x1, x2)));
    const int right = int(std::lround(std::max(x1, x2)));
    const int top = int(std::lround(std::min(y1, y2)));
    const int bottom = int(std::lround(std::max(y1, y2)));
    *out = QRect(left, top, right - left, bottom - top);
    return true;
}
} // namespace

std::uint32_t FrameRegion::word(int offset) const
{
    const std::uint8_t* p = bytes.data() + offset;
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void FrameRegion::setWord(int offset, std::uint32_t value)
{
    std::uint8_t* p = bytes.data() + offset;
    p[0] = std::uint8_t(value);
    p[1] = std::uint8_t(value >> 8);
    p[2] = std::uint8_t(value >> 16);
    p[3] = std::uint8_t(value >> 24);
}

QRect FrameRegion::rectAt(int offset) const
{
    // Computed in 64 bits so that a corrupt slot cannot overflow; the narrowing wraps.
    const std::array<std::int64_t, 4> r = rawRect(*this, offset);
    return QRect(QPoint(int(r[0]), int(r[1])), QPoint(int(r[2] - 1), int(r[3] - 1)));
}

void FrameRegion::setRectAt(int offset, const QRect& r)
{
    setWord(offset, static_cast<std::uint32_t>(r.left()));
    setWord(offset + 4, static_cast<std::uint32_t>(r.top()));
    setWord(offset + 8, static_cast<std::uint32_t>(r.left() + r.width()));
    setWord(offset + 12, static_cast<std::uint32_t>(r.top() + r.height()));
}

bool FrameRegion::Store(const QRegion& region)
{
    Clear();
    const int count = region.rectCount();
    if (count > MaxRects)
        return false;
    setWord(0, HeaderSize);
    setWord(4, RectanglesType);
    setWord(8, static_cast<std::uint32_t>(count));
    setWord(12, static_cast<std::uint32_t>(count * RectSize));
    setRectAt(16, region.boundingRect());
    int offset = HeaderSize;
    for (const QRect& r : region) {
        setRectAt(offset, r);
        offset += RectSize;
    }
    return true;
}

QRgb KeyColour(const QImage& picture)
{
    if (picture.isNull())
        return 0;
    return readColour(picture.convertToFormat(QImage::Format_ARGB32).pixel(0, 0));
}

QRegion FrameShape(const QImage& picture)
{
    return regionFromGrid(frameScan(picture), 1);
}

QRegion PictureShape(const QImage& picture)
{
    if (picture.isNull())
        return QRegion();
    return regionFromGrid(scan(picture, picture.width(), picture.height()), 1);
}

QRegion CoveringShape(const QImage& picture, int maxRects)
{
    const ScanGrid grid = frameScan(picture);
    for (int bandHeight = 1; bandHeight <= FrameScanSize; ++bandHeight) {
        QRegion shape = regionFromGrid(grid, bandHeight);
        if (shape.rectCount() <= maxRects)
            return shape;
    }
    // Even one band for all rows has too many runs (only for a limit below 61): the bounding
    // rectangle still covers everything.
    return QRegion(regionFromGrid(grid, FrameScanSize).boundingRect());
}

bool BuildFrameRegions(const std::array<QImage, 8>& pictures, FrameRegionArray& regions,
                       QString* error)
{
    bool allExact = true;
    for (size_t f = 0; f < pictures.size(); ++f) {
        const QRegion shape = FrameShape(pictures[f]);
        if (regions[f].Store(shape))
            continue;
        allExact = false;
        regions[f].Store(CoveringShape(pictures[f], FrameRegion::MaxRects));
        if (error) {
            if (!error->isEmpty())
                *error += QLatin1Char('\n');
            *error += QCoreApplication::translate(
                          "FrameRegions", "コマ %1 の形には長方形が %2 個必要で、上限の %3 個を超え"
                                          "ています。子猫を覆う粗い形で代用します。")
                          .arg(f)
                          .arg(shape.rectCount())
                          .arg(FrameRegion::MaxRects);
        }
    }
    return allExact;
}

std::optional<QRegion> RegionFromSlot(const FrameRegion& slot, const RegionTransform& transform,
                                      std::uint32_t byteCount)
{
    if (slot.dwSize() != FrameRegion::HeaderSize || slot.iType() != FrameRegion::RectanglesType)
        return std::nullopt;
    const std::uint32_t count = slot.nCount();
    if (count > FrameRegion::MaxRects || slot.nRgnSize() != count * FrameRegion::RectSize)
        return std::nullopt;
    if (byteCount < FrameRegion::HeaderSize + slot.nRgnSize() || byteCount > FrameRegion::Size)
        return std::nullopt;
    if (transform.eM12 != 0 || transform.eM21 != 0)
        return std::nullopt;
    for (const float v : {transform.eM11, transform.eM22, transform.eDx, transform.eDy})
        if (!std::isfinite(v))
            return std::nullopt;
    const bool identity =
        transform.eM11 == 1 && transform.eM22 == 1 && transform.eDx == 0 && transform.eDy == 0;

    const std::array<std::int64_t, 4> bound = rawRect(slot, 16);
    if (!withinLimits(bound) || bound[0] > bound[2] || bound[1] > bound[3])
        return std::nullopt;
    QRegion region;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::array<std::int64_t, 4> r =
            rawRect(slot, FrameRegion::HeaderSize + int(i) * FrameRegion::RectSize);
        if (r[0] >= r[2] || r[1] >= r[3] || r[0] < bound[0] || r[1] < bound[1] || r[2] > bound[2] ||
            r[3] > bound[3])
            return std::nullopt;
        QRect rect(static_cast<int>(r[0]), static_cast<int>(r[1]), static_cast<int>(r[2] - r[0]),
                   static_cast<int>(r[3] - r[1]));
        if (!identity && !transformRect(transform, r, &rect))
            return std::nullopt;
        if (!rect.isEmpty())
            region += rect;
    }
    return region;
}

#pragma once

#include <QColor>
#include <QRegion>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

class QImage;

// One frame's shape as a rectangle list in the region-data layout the window layer has always
// used (RGNDATA): a 32-byte header (dwSize = 32, iType = 1 for rectangles, nCount,
// nRgnSize = nCount * 16, the bounding rectangle rcBound) followed by at most 301 rectangles of
// four 32-bit signed values (left, top, right, bottom; right and bottom exclusive). Every value
// is little-endian whatever the machine, so a slot means the same bytes everywhere: 4848 bytes.
struct FrameRegion
{
    static constexpr int HeaderSize = 32;
    static constexpr int RectSize = 16;
    static constexpr int MaxRects = 301;
    static constexpr int Size = HeaderSize + MaxRects * RectSize;
    static constexpr std::uint32_t RectanglesType = 1;

    alignas(4) std::array<std::uint8_t, Size> bytes{};

    std::uint32_t dwSize() const { return word(0); }
    std::uint32_t iType() const { return word(4); }
    std::uint32_t nCount() const { return word(8); }
    std::uint32_t nRgnSize() const { return word(12); }
    // The bounding rectangle and rectangle i as QRects (right and bottom made inclusive). They
    // read whatever the bytes hold; RegionFromSlot is the checked way to use a slot.
    QRect rcBound() const { return rectAt(16); }
    QRect rect(int i) const { return rectAt(HeaderSize + i * RectSize); }

    // Stores a region that is already y-x banded, as QRegion keeps it. Returns false, leaving
    // the slot all zero (which RegionFromSlot refuses), when it needs more than 301 rectangles.
    bool Store(const QRegion& region);
    void Clear() { bytes.fill(0); }

private:
    std::uint32_t word(int offset) const;
    void setWord(int offset, std::uint32_t value);
    QRect rectAt(int offset) const;
    void setRectAt(int offset, const QRect& r);
};

using FrameRegionArray = std::array<FrameRegion, 8>;

// The transform handed to region re-creation (XFORM); the window only ever uses the identity.
struct RegionTransform
{
    float eM11 = 1, eM12 = 0, eM21 = 0, eM22 = 1, eDx = 0, eDy = 0;
    void SetIdentity() { *this = RegionTransform(); }
};

// The positions the scan reads run from 0 to 120 in x and y: the 100 x 100 picture and 21
// positions beyond its right and bottom edges, which count as shape.
constexpr int FrameScanSize = 121;

// The colour the shape is cut by: what the picture shows at pixel (0, 0), its background.
// Every fully transparent pixel reads as one colour (transparent black), so a picture with an
// alpha channel is cut along its transparency whatever colour its invisible pixels carry.
QRgb KeyColour(const QImage& picture);

// The shape of one picture: every scan position whose colour differs from KeyColour. Positions
// beyond the picture have no colour and so always belong to the shape. Built from one band of
// runs per row (consecutive equal rows share a band), never pixel by pixel; the result equals
// the union of every single differing position.
QRegion FrameShape(const QImage& picture);

// The shape of a picture of any size over its own pixels only: every pixel whose colour differs
// from KeyColour, built the same banded way. The window's shape at a device pixel ratio above 1
// is cut from the picture at device resolution with it, so the outline follows the art to the
// screen's pixel.
QRegion PictureShape(const QImage& picture);

// A shape that covers FrameShape(picture) with at most maxRects rectangles: rows are grouped into
// ever taller bands, and each band covers the union of its rows. Used for a frame whose exact
// shape does not fit its slot: the window then shows the whole kitten with a little background
// around its edges instead of a kitten with parts cut off.
QRegion CoveringShape(const QImage& picture, int maxRects);

// Scans frames 0..7 into their slots, in order. A frame whose exact shape needs more than 301
// rectangles gets the covering shape of CoveringShape in its slot, never a truncated list; the
// function then returns false and names each such frame, with its rectangle count, in *error.
// Every slot is valid for RegionFromSlot afterwards.
bool BuildFrameRegions(const std::array<QImage, 8>& pictures, FrameRegionArray& regions,
                       QString* error = nullptr);

// Re-creates the region stored in a slot, as the tick does before handing it to the window.
// byteCount is the number of bytes of the slot to read: at least dwSize + nRgnSize and at most
// the slot's size. std::nullopt when that does not hold or the slot is not a complete,
// consistent header and rectangle list (wrong header size or type, counts that disagree, an
// empty or inverted rectangle, one outside rcBound), or the transform is not a finite scale
// and shift (a rotation or shear cannot be expressed as rectangles).
std::optional<QRegion> RegionFromSlot(const FrameRegion& slot, const RegionTransform& transform,
                                      std::uint32_t byteCount);

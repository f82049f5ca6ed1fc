#include "mascot/FrameRegions.h"

#include "ArtResources.h"
#include "mascot/FramePictures.h"
#include "platform/WindowIcon.h"
#include "unit/mascot/NaiveFrameShape.h"

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <vector>

namespace {
const QRgb White = qRgb(255, 255, 255);

QImage plainPicture(QRgb colour = White, QSize size = QSize(100, 100))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QRegion stripsBeyondThePicture()
{
    return QRegion(100, 0, 21, 121) + QRegion(0, 100, 121, 21);
}

std::vector<QRect> storedRects(const FrameRegion& slot)
{
    std::vector<QRect> rects;
    for (int i = 0; i < int(slot.nCount()); ++i)
        rects.push_back(slot.rect(i));
    return rects;
}

// The stored rectangles must not overlap: their areas then add up to the area of their union.
void expectDisjoint(const FrameRegion& slot)
{
    QRegion united;
    long long area = 0;
    for (const QRect& r : storedRects(slot)) {
        area += (long long)r.width() * r.height();
        united += r;
    }
    long long unionArea = 0;
    for (const QRect& r : united)
        unionArea += (long long)r.width() * r.height();
    EXPECT_EQ(area, unionArea) << "stored rectangles overlap";
}

std::optional<QRegion> reread(const FrameRegion& slot)
{
    return RegionFromSlot(slot, RegionTransform(), slot.dwSize() + slot.nRgnSize());
}

std::array<QImage, 8> realFrames()
{
    std::array<QImage, 8> pictures;
    for (int f = 0; f < 8; ++f)
        pictures[size_t(f)] = FramePicture(f);
    return pictures;
}

// True when every pixel of the key colour is joined to pixel (0, 0) through key-coloured
// pixels: a key-coloured pixel enclosed by the kitten would be a hole in the window.
bool backgroundIsOnePiece(const QImage& picture, QPoint* hole)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    const QRgb key = image.pixel(0, 0);
    std::vector<char> seen(size_t(image.width() * image.height()), 0);
    std::vector<QPoint> todo{QPoint(0, 0)};
    seen[0] = 1;
    while (!todo.empty()) {
        const QPoint p = todo.back();
        todo.pop_back();
        for (const QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
            const QPoint q = p + d;
            if (!image.rect().contains(q) || image.pixel(q) != key)
                continue;
            char& s = seen[size_t(q.y() * image.width() + q.x())];
            if (!s) {
                s = 1;
                todo.push_back(q);
            }
        }
    }
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == key && !seen[size_t(y * image.width() + x)]) {
                *hole = QPoint(x, y);
                return false;
            }
    return true;
}
} // namespace

TEST(FramePictures, EveryPictureIsAKittenOnWhite)
{
    for (int f = -1; f < 10; ++f) {
        SCOPED_TRACE(f);
        const QImage p = f < 0 ? RestingPicture() : FramePicture(f);
        ASSERT_EQ(p.size(), QSize(100, 100));
        // The pixels compiled in for the start are the art's own.
        const QString png = f < 0 ? QStringLiteral(":/mofurin/frames/rest.png")
                                  : QStringLiteral(":/mofurin/frames/frame%1.png").arg(f);
        EXPECT_EQ(p, ReadArtPicture(png).convertToFormat(QImage::Format_RGB32));
        EXPECT_EQ(p.pixel(0, 0), White);
        QPoint hole;
        EXPECT_TRUE(backgroundIsOnePiece(p, &hole))
            << "white hole at " << hole.x() << "," << hole.y();
        // The kitten fills the middle of the picture.
        EXPECT_NE(p.pixel(50, 60), White);
        // At every device pixel ratio the picture covers 100 x 100 logical pixels with one
        // picture pixel per screen pixel, and stays a kitten on one piece of white (1.75 has no
        // rendering of its own and is resampled).
        const struct
        {
            qreal ratio;
            int side;
        } scales[] = {{1.0, 100}, {0.5, 100}, {1.25, 125}, {1.5, 150}, {1.75, 175}, {2.0, 200}};
        for (const auto& scale : scales) {
            SCOPED_TRACE(scale.ratio);
            const QPixmap sharp = FramePixmap(f, scale.ratio);
            EXPECT_EQ(sharp.size(), QSize(scale.side, scale.side));
            EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(100, 100));
            EXPECT_EQ(DevicePicture(f, scale.ratio).pixel(0, 0), White);
            EXPECT_TRUE(backgroundIsOnePiece(sharp.toImage(), &hole))
                << "white patch in the high-DPI picture at " << hole.x() << "," << hole.y();
        }
    }
    // Neighbouring idle frames differ (the kitten breathes), the meow differs from the rest.
    for (int f = 1; f < 7; ++f)
        EXPECT_NE(FramePicture(f), FramePicture(f + 1)) << f;
    EXPECT_NE(FramePicture(9), RestingPicture());
    EXPECT_EQ(FramePicture(42), RestingPicture());
    EXPECT_FALSE(CommonIcon().pixmap(32, 32).isNull());
}

TEST(FrameRegions, TheRealFramesAreCutExactlyAndFitTheirSlots)
{
    const auto pictures = realFrames();
    FrameRegionArray regions;
    QString error;
    ASSERT_TRUE(BuildFrameRegions(pictures, regions, &error)) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    std::cout << "rectangles per frame:";
    for (int f = 0; f < 8; ++f) {
        SCOPED_TRACE(f);
        const FrameRegion& slot = regions[size_t(f)];
        std::cout << ' ' << slot.nCount();
        EXPECT_LE(slot.nCount(), 301u);
        const std::optional<QRegion> shape = reread(slot);
        ASSERT_TRUE(shape.has_value());
        EXPECT_EQ(*shape, NaiveFrameShape(pictures[size_t(f)]));
        EXPECT_EQ(slot.rcBound(), QRect(0, 0, 121, 121));
        expectDisjoint(slot);
    }
    std::cout << '\n';
}

TEST(FrameRegions, TheScanCutsWhatDiffersFromPixelZeroZero)
{
    struct Case
    {
        const char* name;
        std::function<QImage()> picture;
        QRegion expected;
    };
    QImage transparent(100, 100, QImage::Format_ARGB32);
    transparent.fill(Qt::transparent);
    // Invisible pixels of another colour are background too; the red square is the shape.
    transparent.setPixel(30, 30, qRgba(0, 255, 0, 0));
    QPainter(&transparent).fillRect(60, 10, 4, 4, Qt::red);

    const std::vector<Case> cases = {
        {"all key colour", [] { return plainPicture(); }, stripsBeyondThePicture()},
        {"speck in the middle",
         [] {
             QImage p = plainPicture();
             p.setPixel(37, 81, qRgb(0, 0, 0));
             return p;
         },
         stripsBeyondThePicture() + QRegion(37, 81, 1, 1)},
        {"speck at the last pixel",
         [] {
             QImage p = plainPicture();
             p.setPixel(99, 99, qRgb(254, 254, 254));
             return p;
         },
         stripsBeyondThePicture() + QRegion(99, 99, 1, 1)},
        {"key colour is not white as such",
         [] {
             QImage p = plainPicture(qRgb(0, 0, 255));
             QPainter(&p).fillRect(10, 20, 30, 5, Qt::white);
             return p;
         },
         stripsBeyondThePicture() + QRegion(10, 20, 30, 5)},
        {"transparent background", [transparent] { return transparent; },
         stripsBeyondThePicture() + QRegion(60, 10, 4, 4)},
        {"small picture: the rest of the grid is shape",
         [] { return plainPicture(White, QSize(40, 30)); },
         QRegion(0, 0, 121, 121) - QRegion(0, 0, 40, 30)},
        {"no picture at all", [] { return QImage(); }, QRegion(0, 0, 121, 121)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage picture = c.picture();
        const QRegion shape = FrameShape(picture);
        EXPECT_EQ(shape, c.expected);
        EXPECT_EQ(shape, NaiveFrameShape(picture));
    }
}

TEST(FrameRegions, RunsGiveTheSameRegionAsSinglePixelsOnNoise)
{
    // Random blobs and specks exercise bands that start, end, split and repeat.
    QRandomGenerator random(20261207);
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE(round);
        QImage p = plainPicture();
        QPainter painter(&p);
        for (int i = 0; i < 6; ++i)
            painter.fillRect(random.bounded(100), random.bounded(100), random.bounded(1, 30),
                             random.bounded(1, 30), QColor(random.bounded(200), 80, 80));
        painter.end();
        for (int i = 0; i < 40; ++i)
            p.setPixel(random.bounded(100), random.bounded(100), qRgb(1, 2, 3));
        EXPECT_EQ(FrameShape(p), NaiveFrameShape(p));
    }
}

TEST(FrameRegions, AFrameTooIntricateForItsSlotGetsACoveringShape)
{
    QImage checker = plainPicture();
    for (int y = 0; y < 100; ++y)
        for (int x = (y % 2) + 1; x < 100; x += 2)
            checker.setPixel(x, y, qRgb(0, 0, 0));
    ASSERT_GT(FrameShape(checker).rectCount(), FrameRegion::MaxRects);

    std::array<QImage, 8> pictures;
    pictures.fill(plainPicture());
    pictures[3] = checker;
    pictures[6] = checker;
    FrameRegionArray regions;
    QString error;
    EXPECT_FALSE(BuildFrameRegions(pictures, regions, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("コマ 3 ")));
    EXPECT_TRUE(error.contains(QStringLiteral("コマ 6 ")));
    EXPECT_FALSE(error.contains(QStringLiteral("コマ 2 ")));

    const std::optional<QRegion> coarse = reread(regions[3]);
    ASSERT_TRUE(coarse.has_value());
    EXPECT_LE(regions[3].nCount(), 301u);
    EXPECT_TRUE((FrameShape(checker) - *coarse).isEmpty()) << "the covering shape cuts the frame";
    expectDisjoint(regions[3]);
    // The other frames keep their exact shapes.
    EXPECT_EQ(reread(regions[2]), stripsBeyondThePicture());

    // With a limit that even one band cannot meet, the bounding rectangle still covers it.
    EXPECT_EQ(CoveringShape(checker, 1), QRegion(0, 0, 121, 121));
}

TEST(FrameRegions, TheSlotLayoutRoundTrips)
{
    const QRegion region = QRegion(1, 2, 3, 4) + QRegion(10, 2, 5, 4);
    FrameRegion slot;
    ASSERT_TRUE(slot.Store(region));
    const auto& b = slot.bytes;
    // Little-endian 32-bit header: dwSize 32, iType 1, nCount 2, nRgnSize 32, bound 1,2,15,6.
    const std::uint8_t header[] = {32, 0, 0, 0, 1, 0, 0, 0, 2,  0, 0, 0, 32, 0, 0, 0,
                                   1,  0, 0, 0, 2, 0, 0, 0, 15, 0, 0, 0, 6,  0, 0, 0};
    EXPECT_TRUE(std::equal(std::begin(header), std::end(header), b.begin()));
    // Each rectangle: left, top, right and bottom, the last two exclusive.
    const std::uint8_t rects[] = {1,  0, 0, 0, 2, 0, 0, 0, 4,  0, 0, 0, 6, 0, 0, 0,
                                  10, 0, 0, 0, 2, 0, 0, 0, 15, 0, 0, 0, 6, 0, 0, 0};
    EXPECT_TRUE(std::equal(std::begin(rects), std::end(rects), b.begin() + 32));
    EXPECT_TRUE(std::all_of(b.begin() + 64, b.end(), [](std::uint8_t v) { return v == 0; }));
    EXPECT_EQ(reread(slot), region);

    // Negative coordinates are stored as two's complement.
    ASSERT_TRUE(slot.Store(QRegion(-2, -300, 4, 1)));
    const std::uint8_t negative[] = {0xFE, 0xFF, 0xFF, 0xFF, 0xD4, 0xFE, 0xFF, 0xFF,
                                     2,    0,    0,    0,    0xD5, 0xFE, 0xFF, 0xFF};
    EXPECT_TRUE(std::equal(std::begin(negative), std::end(negative), b.begin() + 32));
    EXPECT_EQ(reread(slot), QRegion(-2, -300, 4, 1));

    // An empty region is a valid, empty list; a scale and shift move every rectangle.
    ASSERT_TRUE(slot.Store(QRegion()));
    EXPECT_EQ(reread(slot), QRegion());
    ASSERT_TRUE(slot.Store(region));
    RegionTransform doubled;
    doubled.eM11 = doubled.eM22 = 2;
    doubled.eDx = 10;
    EXPECT_EQ(RegionFromSlot(slot, doubled, FrameRegion::Size),
              QRegion(12, 4, 6, 8) + QRegion(30, 4, 10, 8));
    doubled.SetIdentity();
    EXPECT_EQ(RegionFromSlot(slot, doubled, FrameRegion::Size), region);
}

TEST(FrameRegions, AnInvalidSlotIsRefused)
{
    FrameRegion good;
    ASSERT_TRUE(good.Store(QRegion(1, 2, 3, 4) + QRegion(10, 2, 5, 4)));
    auto setWord = [](FrameRegion& slot, int offset, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            slot.bytes[size_t(offset + i)] = std::uint8_t(v >> (8 * i));
    };
    struct Case
    {
        const char* name;
        std::function<void(FrameRegion&, RegionTransform&, std::uint32_t&)> spoil;
    };
    const std::vector<Case> cases = {
        {"all zero", [](FrameRegion& s, RegionTransform&, std::uint32_t&) { s.Clear(); }},
        {"header size", [&](FrameRegion& s, auto&, auto&) { setWord(s, 0, 28); }},
        {"type", [&](FrameRegion& s, auto&, auto&) { setWord(s, 4, 2); }},
        {"count disagrees", [&](FrameRegion& s, auto&, auto&) { setWord(s, 8, 3); }},
        {"count beyond the slot",
         [&](FrameRegion& s, auto&, auto&) {
             setWord(s, 8, 302);
             setWord(s, 12, 302 * 16);
         }},
        {"count that wraps",
         [&](FrameRegion& s, auto&, auto&) {
             setWord(s, 8, 0x10000001u);
             setWord(s, 12, 16);
         }},
        {"byte count short", [](auto&, auto&, std::uint32_t& n) { n = 63; }},
        {"byte count beyond the slot", [](auto&, auto&, std::uint32_t& n) { n = 4849; }},
        {"inverted rectangle", [&](FrameRegion& s, auto&, auto&) { setWord(s, 40, 0); }},
        {"empty rectangle", [&](FrameRegion& s, auto&, auto&) { setWord(s, 44, 2); }},
        {"rectangle outside the bound", [&](FrameRegion& s, auto&, auto&) { setWord(s, 56, 16); }},
        {"extreme coordinates",
         [&](FrameRegion& s, auto&, auto&) {
             setWord(s, 16, 0x80000000u);
             setWord(s, 32, 0x80000000u);
             setWord(s, 24, 0x7FFFFFFFu);
         }},
        {"shear", [](auto&, RegionTransform& t, auto&) { t.eM12 = 0.5f; }},
        {"not a number", [](auto&, RegionTransform& t, auto&) { t.eDx = std::nanf(""); }},
        {"scale beyond the coordinates", [](auto&, RegionTransform& t, auto&) { t.eM11 = 1e30f; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FrameRegion slot = good;
        RegionTransform transform;
        std::uint32_t byteCount = 64;
        c.spoil(slot, transform, byteCount);
        EXPECT_FALSE(RegionFromSlot(slot, transform, byteCount).has_value());
    }
    EXPECT_TRUE(RegionFromSlot(good, RegionTransform(), 64).has_value());
}

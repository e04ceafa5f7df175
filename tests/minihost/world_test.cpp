// Worlds: the two world suites, padded rows, pixel formats, and the copy and
// fill utility callbacks at the three depths.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "minihost/minihost.h"
#include "tests/minihost/scripted_plugin.h"
#include "tests/support/minihost_scene.h"
#include "tests/support/same_pixel.h"

namespace minihost {
namespace {

using hosttest::expectNothingHeld;

template <typename Suite>
const Suite &acquire(PF_InData &in, A_long version) {
    const void *suite = nullptr;
    EXPECT_EQ(in.pica_basicP->AcquireSuite(kPFWorldSuite, version, &suite), kSPNoError);
    return *static_cast<const Suite *>(suite);
}

// Runs `body` in a command with both world suites acquired through the basic
// suite, and releases them after.
using WorldsBody = std::function<void(PF_InData &, const PF_WorldSuite1 &, const PF_WorldSuite2 &)>;
void withWorldSuites(Host &host, const WorldsBody &body) {
    runInCommand(host, [&](PF_InData &in) {
        body(in, acquire<PF_WorldSuite1>(in, 1), acquire<PF_WorldSuite2>(in, 2));
        in.pica_basicP->ReleaseSuite(kPFWorldSuite, 1);
        in.pica_basicP->ReleaseSuite(kPFWorldSuite, 2);
    });
}

template <typename Pixel>
Pixel pixelAt(const PF_EffectWorld &world, int x, int y) {
    Pixel p;
    std::memcpy(&p, reinterpret_cast<const char *>(world.data) + y * world.rowbytes + x * int(sizeof(Pixel)), sizeof p);
    return p;
}

template <typename Pixel>
void setPixel(PF_EffectWorld &world, int x, int y, Pixel p) {
    std::memcpy(reinterpret_cast<char *>(world.data) + y * world.rowbytes + x * int(sizeof(Pixel)), &p, sizeof p);
}

TEST(WorldSuites, VersionOneChoosesDepthAndClearingByFlags) {
    Host host;
    withWorldSuites(host, [&](PF_InData &in, const PF_WorldSuite1 &worlds1, const PF_WorldSuite2 &worlds2) {
        struct Case {
            A_long flags;
            PF_PixelFormat format;
            int pixelSize;
        };
        const Case cases[] = {{0, PF_PixelFormat_ARGB32, 4},
                              {PF_NewWorldFlag_CLEAR_PIXELS, PF_PixelFormat_ARGB32, 4},
                              {PF_NewWorldFlag_DEEP_PIXELS, PF_PixelFormat_ARGB64, 8},
                              {PF_NewWorldFlag_CLEAR_PIXELS | PF_NewWorldFlag_DEEP_PIXELS, PF_PixelFormat_ARGB64, 8}};
        for (const Case &c : cases) {
            PF_EffectWorld world{};
            EXPECT_EQ(worlds1.new_world(in.effect_ref, 5, 3, c.flags, &world), PF_Err_NONE);
            EXPECT_EQ(host.ledger.worlds, 1);
            EXPECT_EQ(world.width, 5);
            EXPECT_EQ(world.height, 3);
            EXPECT_GT(world.rowbytes, 5 * c.pixelSize);  // rows are padded
            PF_PixelFormat format = 0;
            EXPECT_EQ(worlds2.PF_GetPixelFormat(&world, &format), PF_Err_NONE);
            EXPECT_EQ(format, c.format);
            // Cleared worlds are transparent black; others hold unwritten opaque magenta.
            const bool clear = c.flags & PF_NewWorldFlag_CLEAR_PIXELS;
            if (c.pixelSize == 4) {
                const PF_Pixel p = pixelAt<PF_Pixel>(world, 4, 2);
                EXPECT_EQ(p.alpha, clear ? 0 : 255);
                EXPECT_EQ(p.red, clear ? 0 : 255);
                EXPECT_EQ(p.green, 0);
            } else {
                const PF_Pixel16 p = pixelAt<PF_Pixel16>(world, 4, 2);
                EXPECT_EQ(p.alpha, clear ? 0 : 32768);
                EXPECT_EQ(p.blue, clear ? 0 : 32768);
            }
            EXPECT_EQ(worlds1.dispose_world(in.effect_ref, &world), PF_Err_NONE);
            EXPECT_EQ(host.ledger.worlds, 0);
        }
    });
    expectNothingHeld(host);
}

TEST(WorldSuites, VersionTwoMakesFloatWorldsAndRefusesUnknownFormats) {
    Host host;
    withWorldSuites(host, [&](PF_InData &in, const PF_WorldSuite1 &, const PF_WorldSuite2 &worlds) {
        PF_EffectWorld world{};
        EXPECT_EQ(worlds.PF_NewWorld(in.effect_ref, 2, 2, true, PF_PixelFormat_ARGB128, &world), PF_Err_NONE);
        PF_PixelFormat format = 0;
        EXPECT_EQ(worlds.PF_GetPixelFormat(&world, &format), PF_Err_NONE);
        EXPECT_EQ(format, PF_PixelFormat_ARGB128);
        EXPECT_EQ(pixelAt<PF_PixelFloat>(world, 1, 1).alpha, 0.0f);
        EXPECT_EQ(worlds.PF_DisposeWorld(in.effect_ref, &world), PF_Err_NONE);
        EXPECT_EQ(worlds.PF_NewWorld(in.effect_ref, 2, 2, true, PF_PixelFormat_INVALID, &world),
                  PF_Err_BAD_CALLBACK_PARAM);
        PF_EffectWorld unknown{};
        EXPECT_EQ(worlds.PF_DisposeWorld(in.effect_ref, &unknown), PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_EQ(worlds.PF_GetPixelFormat(&unknown, &format), PF_Err_BAD_CALLBACK_PARAM);
    });
    expectNothingHeld(host, 0, 3);  // the unknown format and the two calls on an unknown world
}

TEST(WorldSuites, WorldsTooWideToAddressAreOutOfMemory) {
    Host host;
    withWorldSuites(host, [&](PF_InData &in, const PF_WorldSuite1 &worlds1, const PF_WorldSuite2 &worlds2) {
        PF_EffectWorld world{};
        // Rows past the 2^31 - 1 bytes rowbytes can hold, at each depth.
        EXPECT_EQ(worlds2.PF_NewWorld(in.effect_ref, 2147483647, 1, true, PF_PixelFormat_ARGB32, &world),
                  PF_Err_OUT_OF_MEMORY);
        EXPECT_EQ(worlds2.PF_NewWorld(in.effect_ref, 1 << 28, 2, false, PF_PixelFormat_ARGB128, &world),
                  PF_Err_OUT_OF_MEMORY);
        EXPECT_EQ(worlds1.new_world(in.effect_ref, 1 << 28, 1, PF_NewWorldFlag_DEEP_PIXELS, &world),
                  PF_Err_OUT_OF_MEMORY);
        EXPECT_EQ(world.data, nullptr);
    });
    expectNothingHeld(host);
}

// A render asks for the same worlds every frame; the host hands a disposed
// world's pixels out again, cleared or unwritten as asked, never as left.
TEST(WorldSuites, AWorldMadeAgainIsClearedOrUnwrittenAsAsked) {
    Host host;
    withWorldSuites(host, [&](PF_InData &in, const PF_WorldSuite1 &, const PF_WorldSuite2 &worlds) {
        for (const PF_PixelFormat format : {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128}) {
            const int size = format == PF_PixelFormat_ARGB32 ? 4 : format == PF_PixelFormat_ARGB64 ? 8 : 16;
            const std::vector<unsigned char> unwritten = [&] {
                PF_EffectWorld fresh{};
                EXPECT_EQ(worlds.PF_NewWorld(in.effect_ref, 1, 1, false, format, &fresh), PF_Err_NONE);
                std::vector<unsigned char> bytes(size);
                std::memcpy(bytes.data(), fresh.data, size);
                worlds.PF_DisposeWorld(in.effect_ref, &fresh);
                return bytes;
            }();
            PF_PixelPtr first = nullptr;
            for (const bool clear : {true, false, true}) {
                PF_EffectWorld world{};
                ASSERT_EQ(worlds.PF_NewWorld(in.effect_ref, 4, 3, clear, format, &world), PF_Err_NONE);
                if (first) {
                    EXPECT_EQ(world.data, first) << "made again from the disposed world";
                }
                first = world.data;
                for (int y = 0; y < 3; ++y) {
                    char *row = reinterpret_cast<char *>(world.data) + y * world.rowbytes;
                    for (int x = 0; x < 4; ++x) {
                        const bool asAsked =
                            clear ? std::all_of(row + x * size, row + (x + 1) * size, [](char c) { return c == 0; })
                                  : std::memcmp(row + x * size, unwritten.data(), size) == 0;
                        EXPECT_TRUE(asAsked) << "format " << format << " clear " << clear << " at " << x << "," << y;
                    }
                    std::memset(row, 0x5C, 4 * size);  // left for the next world
                }
                EXPECT_EQ(worlds.PF_DisposeWorld(in.effect_ref, &world), PF_Err_NONE);
            }
        }
    });
    expectNothingHeld(host);
}

#if defined(__SANITIZE_ADDRESS__)
// Kept pixels are poisoned: a read through the record of a disposed world
// fails as a read of freed memory would.
TEST(WorldSuitesDeathTest, ReadingADisposedWorldIsCaught) {
    Host host;
    withWorldSuites(host, [&](PF_InData &in, const PF_WorldSuite1 &, const PF_WorldSuite2 &worlds) {
        PF_EffectWorld world{};
        ASSERT_EQ(worlds.PF_NewWorld(in.effect_ref, 4, 3, true, PF_PixelFormat_ARGB32, &world), PF_Err_NONE);
        const PF_EffectWorld stale = world;
        ASSERT_EQ(worlds.PF_DisposeWorld(in.effect_ref, &world), PF_Err_NONE);
        EXPECT_DEATH(pixelAt<PF_Pixel>(stale, 1, 1), "use-after-poison");
    });
}
#endif

TEST(UtilityCopy, CopiesWholeWorldsAndScalesToFit) {
    Host host;
    withWorldSuites(host, [&](PF_InData &in, const PF_WorldSuite1 &worlds, const PF_WorldSuite2 &) {
        PF_EffectWorld small{}, same{}, large{}, deep{};
        worlds.new_world(in.effect_ref, 2, 2, 0, &small);
        worlds.new_world(in.effect_ref, 2, 2, 0, &same);
        worlds.new_world(in.effect_ref, 4, 4, 0, &large);
        worlds.new_world(in.effect_ref, 2, 2, PF_NewWorldFlag_DEEP_PIXELS, &deep);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x) setPixel(small, x, y, PF_Pixel{255, A_u_char(10 * x), A_u_char(10 * y), 7});
        EXPECT_EQ(in.utils->copy(in.effect_ref, &small, &same, nullptr, nullptr), PF_Err_NONE);
        EXPECT_EQ(pixelAt<PF_Pixel>(same, 1, 1).red, 10);
        EXPECT_EQ(pixelAt<PF_Pixel>(same, 1, 1).green, 10);
        EXPECT_EQ(in.utils->copy(in.effect_ref, &small, &large, nullptr, nullptr), PF_Err_NONE);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                EXPECT_EQ(pixelAt<PF_Pixel>(large, x, y).red, 10 * (x / 2)) << x << "," << y;
                EXPECT_EQ(pixelAt<PF_Pixel>(large, x, y).green, 10 * (y / 2)) << x << "," << y;
            }
        PF_Rect from{1, 0, 2, 1}, to{0, 1, 1, 2};
        EXPECT_EQ(in.utils->copy(in.effect_ref, &small, &same, &from, &to), PF_Err_NONE);
        EXPECT_EQ(pixelAt<PF_Pixel>(same, 0, 1).red, 10);
        EXPECT_EQ(pixelAt<PF_Pixel>(same, 0, 1).green, 0);
        EXPECT_EQ(in.utils->copy(in.effect_ref, &small, &deep, nullptr, nullptr), PF_Err_BAD_CALLBACK_PARAM);
        for (PF_EffectWorld *w : {&small, &same, &large, &deep}) worlds.dispose_world(in.effect_ref, w);
    });
    expectNothingHeld(host);
}

// Colour is averaged with premultiplied alpha, so a transparent pixel lends
// none; means round to nearest, halves up.
TEST(UtilityCopy, ScalesByTheAreaAverageAndCopiesEqualSizesExactly) {
    Host host;
    withWorldSuites(host, [&](PF_InData &in, const PF_WorldSuite1 &worlds, const PF_WorldSuite2 &) {
        PF_EffectWorld four{}, two{}, three{}, deep{}, deepCopy{};
        worlds.new_world(in.effect_ref, 4, 4, 0, &four);
        worlds.new_world(in.effect_ref, 2, 2, 0, &two);
        worlds.new_world(in.effect_ref, 3, 3, 0, &three);
        worlds.new_world(in.effect_ref, 2, 1, PF_NewWorldFlag_DEEP_PIXELS, &deep);
        worlds.new_world(in.effect_ref, 2, 1, PF_NewWorldFlag_DEEP_PIXELS, &deepCopy);
        // 4x4 -> 2x2: each destination pixel is the mean of a 2x2 block.
        const PF_Pixel blocks[4][4] = {
            {{255, 200, 0, 0}, {255, 100, 0, 0}, {0, 50, 50, 50}, {128, 0, 255, 0}},
            {{255, 10, 20, 30}, {255, 10, 20, 30}, {255, 10, 20, 30}, {255, 10, 20, 30}},
            {{0, 9, 9, 9}, {0, 9, 9, 9}, {0, 9, 9, 9}, {0, 9, 9, 9}},
            {{255, 0, 0, 0}, {255, 1, 1, 1}, {255, 1, 1, 1}, {255, 1, 1, 1}},
        };
        for (int b = 0; b < 4; ++b)
            for (int k = 0; k < 4; ++k) setPixel(four, 2 * (b % 2) + k % 2, 2 * (b / 2) + k / 2, blocks[b][k]);
        ASSERT_EQ(in.utils->copy(in.effect_ref, &four, &two, nullptr, nullptr), PF_Err_NONE);
        const PF_Pixel halved[2][2] = {{{160, 120, 51, 0}, {255, 10, 20, 30}}, {{0, 0, 0, 0}, {255, 1, 1, 1}}};
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x) EXPECT_TRUE(samePixel(pixelAt<PF_Pixel>(two, x, y), halved[y][x])) << x << y;

        // 2x2 -> 3x3: destination pixel 1 of each axis takes a third of a
        // source pixel on either side, pixels 0 and 2 one source pixel each.
        const PF_Pixel source[2][2] = {{{255, 0, 0, 0}, {255, 255, 255, 255}}, {{0, 255, 0, 0}, {128, 0, 0, 255}}};
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x) setPixel(two, x, y, source[y][x]);
        ASSERT_EQ(in.utils->copy(in.effect_ref, &two, &three, nullptr, nullptr), PF_Err_NONE);
        const PF_Pixel grown[3][3] = {{{255, 0, 0, 0}, {255, 128, 128, 128}, {255, 255, 255, 255}},
                                      {{128, 0, 0, 0}, {160, 102, 102, 153}, {192, 170, 170, 255}},
                                      {{0, 0, 0, 0}, {64, 0, 0, 255}, {128, 0, 0, 255}}};
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x) EXPECT_TRUE(samePixel(pixelAt<PF_Pixel>(three, x, y), grown[y][x])) << x << y;

        // Equal sizes: every channel as it is, the colour of a transparent pixel included.
        const PF_Pixel16 kept[2] = {{0, 1, 2, 3}, {16385, 32768, 7, 32767}};
        for (int x = 0; x < 2; ++x) setPixel(deep, x, 0, kept[x]);
        ASSERT_EQ(in.utils->copy(in.effect_ref, &deep, &deepCopy, nullptr, nullptr), PF_Err_NONE);
        for (int x = 0; x < 2; ++x) EXPECT_TRUE(samePixel(pixelAt<PF_Pixel16>(deepCopy, x, 0), kept[x])) << x;
        for (PF_EffectWorld *w : {&four, &two, &three, &deep, &deepCopy}) worlds.dispose_world(in.effect_ref, w);
    });
    expectNothingHeld(host);
}

TEST(UtilityFill, ConvertsTheColourToTheWorldsDepthAndClips) {
    Host host;
    withWorldSuites(host, [&](PF_InData &in, const PF_WorldSuite1 &, const PF_WorldSuite2 &worlds) {
        PF_EffectWorld w8{}, w16{}, wf{};
        worlds.PF_NewWorld(in.effect_ref, 3, 3, true, PF_PixelFormat_ARGB32, &w8);
        worlds.PF_NewWorld(in.effect_ref, 3, 3, true, PF_PixelFormat_ARGB64, &w16);
        worlds.PF_NewWorld(in.effect_ref, 3, 3, true, PF_PixelFormat_ARGB128, &wf);
        const PF_Pixel color{255, 128, 1, 0};
        const PF_Rect rect{2, 2, 9, 9};  // reaches past the edge
        for (PF_EffectWorld *w : {&w8, &w16, &wf}) EXPECT_EQ(in.utils->fill(in.effect_ref, &color, &rect, w), 0);
        EXPECT_EQ(pixelAt<PF_Pixel>(w8, 2, 2).red, 128);
        EXPECT_EQ(pixelAt<PF_Pixel>(w8, 1, 2).alpha, 0);
        EXPECT_EQ(pixelAt<PF_Pixel16>(w16, 2, 2).alpha, 32768);
        EXPECT_EQ(pixelAt<PF_Pixel16>(w16, 2, 2).red, (128 * 32768 + 128) / 255);
        EXPECT_EQ(pixelAt<PF_Pixel16>(w16, 2, 2).green, (1 * 32768 + 128) / 255);
        EXPECT_FLOAT_EQ(pixelAt<PF_PixelFloat>(wf, 2, 2).red, 128.0f / 255);
        EXPECT_EQ(in.utils->fill(in.effect_ref, nullptr, nullptr, &w8), PF_Err_NONE);
        EXPECT_EQ(pixelAt<PF_Pixel>(w8, 2, 2).red, 0);
        for (PF_EffectWorld *w : {&w8, &w16, &wf}) worlds.PF_DisposeWorld(in.effect_ref, w);
    });
    expectNothingHeld(host);
}

TEST(Images, ConvertAndDownsample) {
    const Image image = solidImage(5, 3, {255, 255, 128, 0}, Depth::Bits8);
    const Image deep = convertImage(image, Depth::Bits16);
    std::vector<A_u_short> channels(4);
    std::memcpy(channels.data(), deep.data.data(), 8);
    EXPECT_EQ(channels, (std::vector<A_u_short>{32768, 32768, (128 * 32768 + 128) / 255, 0}));
    EXPECT_EQ(convertImage(deep, Depth::Bits8).data, image.data);
    EXPECT_EQ(convertImage(convertImage(image, Depth::Float), Depth::Bits8).data, image.data);
    // Out-of-range deep values are held at the ends, NaN is 0.
    Image wild = makeImage(2, 1, Depth::Float);
    const float floats[8] = {std::nanf(""), 1.5f, -0.25f, 0.5f, 1, 0, 0, 0};
    std::memcpy(wild.data.data(), floats, sizeof floats);
    EXPECT_EQ(convertImage(wild, Depth::Bits8).data, (std::vector<uint8_t>{0, 255, 0, 128, 255, 0, 0, 0}));
    EXPECT_EQ(convertImage(wild, Depth::Bits16).data[0], 0);
    Image over = makeImage(1, 1, Depth::Bits16);
    const A_u_short shorts[4] = {65535, 32769, 32768, 16384};
    std::memcpy(over.data.data(), shorts, sizeof shorts);
    EXPECT_EQ(convertImage(over, Depth::Bits8).data, (std::vector<uint8_t>{255, 255, 255, 128}));
    const Image half = downsampleImage(image, 2, 2);
    EXPECT_EQ(half.width, 3);
    EXPECT_EQ(half.height, 2);
    EXPECT_EQ(bytesPerPixel(Depth::Float), 16);
    EXPECT_EQ(pixelFormatOf(Depth::Bits16), PF_PixelFormat_ARGB64);
}

}  // namespace
}  // namespace minihost

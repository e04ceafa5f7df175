// The in-place over composites that drawing uses, against the plain ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "raster/pixel_kernels.h"
#include "raster/pixel_ops.h"
#include "tests/raster/seeded_values.h"

namespace {

TEST(PixelKernelsTest, Reciprocal8DividesExactly) {
    for (uint32_t a = 1; a < 256; ++a) {
        const uint64_t m = kReciprocal8.value[a];
        for (uint32_t n = 0; n <= 255 * a; ++n) {
            ASSERT_EQ((n * m) >> 24, n / a) << "n " << n << " a " << a;
        }
    }
}

#if defined(__SSE2__)
TEST(PixelKernelsTest, Quotients8DivideExactly) {
    for (int32_t a = 1; a < 256; ++a) {
        const __m128i alphas = _mm_set1_epi16(static_cast<short>(a));
        const __m128i reciprocals = alphaReciprocals8(alphas);
        for (int32_t n = 0; n <= 255 * a; n += 8) {
            const __m128i sums =
                _mm_add_epi16(_mm_set1_epi16(static_cast<short>(n)), _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7));
            uint16_t q[8];
            _mm_storeu_si128(reinterpret_cast<__m128i *>(q), quotients8(sums, alphas, reciprocals));
            for (int32_t j = 0; j < 8 && n + j <= 255 * a; ++j) ASSERT_EQ(q[j], (n + j) / a) << n + j << " / " << a;
        }
    }
}

// Every pair of bottom and top alpha in every lane position, with random
// colours and some channels at 0 and 255: eight pixels by compositeEight8
// and, where the processor runs AVX2, sixteen by compositeSixteen8, its two
// halves from different bottoms and top alphas.
PF_Pixel randomColour(SeededValues &v, int ta) {
    PF_Pixel top{0, static_cast<A_u_char>(v.range(0, 255)), static_cast<A_u_char>(v.range(0, 255)),
                 static_cast<A_u_char>(v.range(0, 255))};
    if (ta % 7 == 0) top.red = 255, top.blue = 0;
    return top;
}

// Bottoms and top alphas of a group of eight from (ba, ta), and the reference results.
void referenceGroup(SeededValues &v, int ba, int ta, PF_Pixel top, PF_Pixel *bottoms, int16_t *alphas, PF_Pixel *want) {
    for (int j = 0; j < 8; ++j) {
        bottoms[j] = PF_Pixel{static_cast<A_u_char>((ba + 61 * j) % 256), static_cast<A_u_char>(v.range(0, 255)),
                              static_cast<A_u_char>(v.range(0, 255)), static_cast<A_u_char>(v.range(0, 255))};
        if (j == 1) bottoms[j].green = 255, bottoms[j].blue = 0;
        alphas[j] = static_cast<int16_t>((ta + 97 * j) % 256);
        PF_Pixel t = top;
        t.alpha = static_cast<A_u_char>(alphas[j]);
        want[j] = compositeOver8(bottoms[j], t);
    }
}

__m128i load(const void *p) { return _mm_loadu_si128(static_cast<const __m128i *>(p)); }

TEST(PixelKernelsTest, Eight8MatchCompositeOver8OnAllAlphaPairs) {
    SeededValues v{86};
    for (int ba = 0; ba < 256; ++ba) {
        for (int ta = 0; ta < 256; ++ta) {
            PF_Pixel bottoms[8], want[8], got[8];
            int16_t alphas[8];
            const PF_Pixel top = randomColour(v, ta);
            referenceGroup(v, ba, ta, top, bottoms, alphas, want);
            __m128i p0 = load(bottoms), p1 = load(bottoms + 4);
            compositeEight8(p0, p1, topColour8(top), load(alphas));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(got), p0);
            _mm_storeu_si128(reinterpret_cast<__m128i *>(got + 4), p1);
            ASSERT_EQ(std::memcmp(got, want, sizeof got), 0) << ba << " " << ta;
        }
    }
}

[[gnu::target("avx2")]] void sixteen(PF_Pixel *bottoms, const int16_t *alphas, PF_Pixel top) {
    __m256i p0 = _mm256_set_m128i(load(bottoms + 8), load(bottoms));
    __m256i p1 = _mm256_set_m128i(load(bottoms + 12), load(bottoms + 4));
    compositeSixteen8(p0, p1, topColour8(top), _mm256_set_m128i(load(alphas + 8), load(alphas)));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(bottoms), _mm256_castsi256_si128(p0));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(bottoms + 4), _mm256_castsi256_si128(p1));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(bottoms + 8), _mm256_extracti128_si256(p0, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(bottoms + 12), _mm256_extracti128_si256(p1, 1));
}

TEST(PixelKernelsTest, Sixteen8MatchCompositeOver8OnAllAlphaPairs) {
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2";
    SeededValues v{87};
    for (int ba = 0; ba < 256; ++ba) {
        for (int ta = 0; ta < 256; ++ta) {
            // One top colour for both halves, as drawing gives them.
            PF_Pixel pixels[16], want[16];
            int16_t alphas[16];
            const PF_Pixel top = randomColour(v, ta);
            referenceGroup(v, ba, ta, top, pixels, alphas, want);
            referenceGroup(v, 255 - ba, (ta + 131) % 256, top, pixels + 8, alphas + 8, want + 8);
            sixteen(pixels, alphas, top);
            ASSERT_EQ(std::memcmp(pixels, want, sizeof want), 0) << ba << " " << ta;
        }
    }
}

// Every top alpha 0..32768 against two tables of 96 bottom alphas, eight
// pixels by compositeEight16 at a time and, where the processor runs AVX2,
// by compositeEight16Wide: 3,145,824 pixels each per table; and sixteen by
// compositeSixteen16, each group beside the one before it. The first table
// reaches above full (0..3, 32766..32770, 65535, every 1024th and random
// ones); the second stays within 0..32768 (0..3, 32764..32768, every 512th
// and random ones), where the wide form takes its 16-bit remainders.
// Colours are random, the bottom's above full intensity in one pixel of
// four, with channels at 0, 32768 and 65535 now and then.
[[gnu::target("avx2")]] void eight16Wide(__m128i *p, const TopColour16 &colour, __m128i ta) {
    compositeEight16Wide(p, colour, ta);
}

// Sixteen pixels by compositeSixteen16 as soft dabs call it, 0-7 in the low
// halves, 8-15 in the high.
[[gnu::target("avx2")]] void sixteen16(PF_Pixel16 *pixels, const int16_t *alphas, const TopColour16 &colour) {
    __m256i p[4];
    for (int v = 0; v < 4; ++v) p[v] = _mm256_set_m128i(load(pixels + 8 + 2 * v), load(pixels + 2 * v));
    compositeSixteen16<false, true>(p, topSixteen16(colour), _mm256_set_m128i(load(alphas + 8), load(alphas)));
    for (int v = 0; v < 4; ++v) {
        _mm_storeu_si128(reinterpret_cast<__m128i *>(pixels + 2 * v), _mm256_castsi256_si128(p[v]));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(pixels + 8 + 2 * v), _mm256_extracti128_si256(p[v], 1));
    }
}

std::vector<int32_t> bottomAlphaTable(SeededValues &v, bool aboveFull) {
    std::vector<int32_t> alphas{0, 1, 2, 3};
    const std::vector<int32_t> nearFull = aboveFull ? std::vector<int32_t>{32766, 32767, 32768, 32769, 32770, 65535}
                                                    : std::vector<int32_t>{32764, 32765, 32766, 32767, 32768};
    alphas.insert(alphas.end(), nearFull.begin(), nearFull.end());
    const int32_t step = aboveFull ? 1024 : 512, most = aboveFull ? 65535 : 32768;
    for (int32_t ba = step; ba < most; ba += step) alphas.push_back(ba);
    while (alphas.size() < 96) alphas.push_back(v.range(0, most));
    return alphas;
}

TEST(PixelKernelsTest, Eight16MatchCompositeOver16OnAlphaGrid) {
    __builtin_cpu_init();
    const bool avx2 = __builtin_cpu_supports("avx2");
    SeededValues v{88};
    for (const bool aboveFull : {true, false}) {
        const std::vector<int32_t> bottomAlphas = bottomAlphaTable(v, aboveFull);
        long cases = 0, wideCases = 0, sixteenCases = 0;
        // The group before under the same top, in the first eight, and this one, in the last.
        PF_Pixel16 pairBottoms[16], pair[16], pairWant[16];
        int16_t pairAlphas[16];
        for (int32_t ta = 0; ta <= 32768; ++ta) {
            auto channel = [&](int32_t top) {
                const int32_t pick = v.range(0, 15);
                return static_cast<A_u_short>(pick == 0 ? 0 : pick == 1 ? std::min(top, 32768) : v.range(0, top));
            };
            const PF_Pixel16 top{static_cast<A_u_short>(ta), channel(32768), channel(32768), channel(32768)};
            const TopColour16 colour = topColour16(top);
            for (size_t g = 0; g < bottomAlphas.size(); g += 8) {
                PF_Pixel16 pixels[8], want[8];
                int16_t alphas[8];
                for (int j = 0; j < 8; ++j) {
                    const int32_t most = j % 4 == 3 ? 65535 : 32768;
                    pixels[j] = PF_Pixel16{static_cast<A_u_short>(bottomAlphas[g + j]), channel(most), channel(most),
                                           channel(most)};
                    // Lane j of the group at a top alpha of its own, all met across the sweep.
                    PF_Pixel16 t = top;
                    t.alpha = static_cast<A_u_short>((ta + 4099 * j) % 32769);
                    alphas[j] = static_cast<int16_t>(t.alpha);
                    want[j] = compositeOver16(pixels[j], t);
                }
                std::memcpy(pairBottoms + 8, pixels, sizeof pixels);
                std::memcpy(pairWant + 8, want, sizeof want);
                std::memcpy(pairAlphas + 8, alphas, sizeof alphas);
                __m128i p[4], wide[4];
                std::memcpy(p, pixels, sizeof pixels);
                std::memcpy(wide, pixels, sizeof pixels);
                compositeEight16(p, colour, load(alphas));
                std::memcpy(pixels, p, sizeof pixels);
                for (int j = 0; j < 8; ++j) {
                    ASSERT_EQ(std::memcmp(&pixels[j], &want[j], sizeof want[j]), 0)
                        << "ta " << alphas[j] << " ba " << bottomAlphas[g + j];
                }
                if (avx2) {
                    eight16Wide(wide, colour, load(alphas));
                    ASSERT_EQ(std::memcmp(wide, want, sizeof want), 0) << "wide, ta " << ta << " group " << g;
                    wideCases += 8;
                    if (g > 0) {
                        std::memcpy(pair, pairBottoms, sizeof pair);
                        sixteen16(pair, pairAlphas, colour);
                        ASSERT_EQ(std::memcmp(pair, pairWant, sizeof pairWant), 0)
                            << "sixteen, ta " << ta << " group " << g;
                        sixteenCases += 16;
                    }
                }
                std::memcpy(pairBottoms, pairBottoms + 8, sizeof pixels);
                std::memcpy(pairWant, pairWant + 8, sizeof want);
                std::memcpy(pairAlphas, pairAlphas + 8, sizeof alphas);
                cases += 8;
            }
        }
        std::printf(
            "16-bit eight-pixel composite, bottom alphas %s: %ld pixels, AVX2 form %ld, sixteen at a time %ld\n",
            aboveFull ? "to 65535" : "to 32768", cases, wideCases, sixteenCases);
    }
}

// Bottoms that hold the top's colour already, as under dabs of one colour,
// where the soft-dab composites (eight pixels with SSE2, sixteen with AVX2)
// take the top's channels undivided: random alphas, lanes of top alpha 0
// among them; such lanes holding other colours (kept over alpha, the top's
// over none); bottoms of alpha 0 holding other colours; one lane of another
// colour with alpha under the top, and 16-bit bottom alphas above 32768,
// which both rule the shortcut out.
TEST(PixelKernelsTest, SoftDabGroupsMatchCompositeOverWhereBottomsHoldTheTopColour) {
    __builtin_cpu_init();
    const bool avx2 = __builtin_cpu_supports("avx2");
    struct Case {
        const char *name;
        bool otherUnderNoTop, otherOverNone, otherUnderTop, aboveFull;
    };
    const Case cases[] = {{"same colour", false, false, false, false},
                          {"other colours under top alpha 0", true, false, false, false},
                          {"other colours over bottom alpha 0", false, true, false, false},
                          {"one other colour under the top", false, false, true, false},
                          {"same colour, 16-bit bottom alphas above full", false, false, false, true}};
    SeededValues v{89};
    for (const Case &c : cases) {
        for (int i = 0; i < 20000; ++i) {
            const int other = i % 16;  // the lane that differs, when one does
            auto topAlpha = [&](int j, int32_t full) {
                return j == other && c.otherUnderTop ? v.range(1, full) : v.range(0, 3) == 0 ? 0 : v.range(0, full);
            };
            auto bottomAlpha = [&](int j, int32_t full) {
                const int32_t pick = v.range(0, 3);
                if (j == other && c.otherUnderTop) return pick == 1 ? full : v.range(1, full);
                if (c.aboveFull && full == 32768 && pick == 3) return v.range(32769, 65535);
                return pick == 0 ? 0 : pick == 1 ? full : v.range(1, full);
            };
            PF_Pixel16 top16{0, static_cast<A_u_short>(v.range(0, 32768)), static_cast<A_u_short>(v.range(0, 32768)),
                             static_cast<A_u_short>(v.range(0, 32768))};
            PF_Pixel top8{0, static_cast<A_u_char>(v.range(0, 255)), static_cast<A_u_char>(v.range(0, 255)),
                          static_cast<A_u_char>(v.range(0, 255))};
            PF_Pixel16 pixels16[16], want16[16];
            PF_Pixel pixels8[16], want8[16];
            int16_t alphas16[16], alphas8[16];
            for (int j = 0; j < 16; ++j) {
                alphas16[j] = static_cast<int16_t>(topAlpha(j, 32768));
                alphas8[j] = static_cast<int16_t>(topAlpha(j, 255));
                pixels16[j] = top16, pixels8[j] = top8;
                pixels16[j].alpha = static_cast<A_u_short>(bottomAlpha(j, 32768));
                pixels8[j].alpha = static_cast<A_u_char>(bottomAlpha(j, 255));
                // Another colour in one channel, a different one from lane to lane.
                auto differs = [&](auto &pixel, int16_t ta) {
                    if (!((c.otherUnderNoTop && ta == 0) || (c.otherOverNone && pixel.alpha == 0) ||
                          (c.otherUnderTop && j == other)))
                        return;
                    auto &channel = j % 3 == 0 ? pixel.red : j % 3 == 1 ? pixel.green : pixel.blue;
                    channel ^= 1;
                };
                differs(pixels16[j], alphas16[j]);
                differs(pixels8[j], alphas8[j]);
                PF_Pixel16 t16 = top16;
                t16.alpha = static_cast<A_u_short>(alphas16[j]);
                want16[j] = compositeOver16(pixels16[j], t16);
                PF_Pixel t8 = top8;
                t8.alpha = static_cast<A_u_char>(alphas8[j]);
                want8[j] = compositeOver8(pixels8[j], t8);
            }
            for (int h = 0; h < 16; h += 8) {
                __m128i p16[4], p8[2] = {load(pixels8 + h), load(pixels8 + h + 4)};
                std::memcpy(p16, pixels16 + h, sizeof p16);
                compositeEight16<true>(p16, topColour16(top16), load(alphas16 + h));
                ASSERT_EQ(std::memcmp(p16, want16 + h, sizeof p16), 0) << c.name << ", 16-bit eight " << i << " " << h;
                compositeEight8<true>(p8[0], p8[1], topColour8(top8), load(alphas8 + h));
                ASSERT_EQ(std::memcmp(p8, want8 + h, sizeof p8), 0) << c.name << ", 8-bit eight " << i << " " << h;
            }
            if (!avx2) continue;
            sixteen16(pixels16, alphas16, topColour16(top16));
            ASSERT_EQ(std::memcmp(pixels16, want16, sizeof want16), 0) << c.name << ", 16-bit group " << i;
            sixteen(pixels8, alphas8, top8);
            ASSERT_EQ(std::memcmp(pixels8, want8, sizeof want8), 0) << c.name << ", 8-bit group " << i;
        }
        std::printf("bottoms holding the top colour, %s: 20000 groups of sixteen at 8 and 16 bits, as two eights%s\n",
                    c.name, avx2 ? " and as sixteen" : "");
    }
}
#endif

TEST(PixelKernelsTest, InPlace8MatchesCompositeOver8OnAllAlphaPairs) {
    SeededValues v{81};
    for (int ba = 0; ba < 256; ++ba) {
        for (int ta = 0; ta < 256; ++ta) {
            for (int i = 0; i < 4; ++i) {
                const PF_Pixel bottom{static_cast<A_u_char>(ba), static_cast<A_u_char>(v.range(0, 255)),
                                      static_cast<A_u_char>(v.range(0, 255)),
                                      static_cast<A_u_char>(i == 0 ? 255 : v.range(0, 255))};
                const PF_Pixel top{static_cast<A_u_char>(ta), static_cast<A_u_char>(v.range(0, 255)),
                                   static_cast<A_u_char>(i == 0 ? 255 : v.range(0, 255)),
                                   static_cast<A_u_char>(v.range(0, 255))};
                PF_Pixel dst = bottom;
                compositeOverInto(dst, top);
                const PF_Pixel want = compositeOver8(bottom, top);
                ASSERT_EQ(std::memcmp(&dst, &want, sizeof dst), 0) << ba << " " << ta;
            }
        }
    }
}

TEST(PixelKernelsTest, InPlace16MatchesCompositeOver16) {
    SeededValues v{82};
    for (int i = 0; i < 2000000; ++i) {
        // Mostly in range; some channels above full intensity, as a 16-bit
        // world may hold.
        const int32_t top = i % 16 == 0 ? 65535 : 32768;
        auto channel = [&] { return static_cast<A_u_short>(v.range(0, top)); };
        PF_Pixel16 bottom{channel(), channel(), channel(), channel()};
        PF_Pixel16 over{channel(), channel(), channel(), channel()};
        if (i % 5 == 0) over.alpha = static_cast<A_u_short>(v.range(0, 3));
        if (i % 7 == 0) bottom.alpha = static_cast<A_u_short>(32768 - v.range(0, 3));
        PF_Pixel16 dst = bottom;
        compositeOverInto(dst, over);
        const PF_Pixel16 want = compositeOver16(bottom, over);
        ASSERT_EQ(std::memcmp(&dst, &want, sizeof dst), 0) << i;
    }
}

TEST(PixelKernelsTest, InPlace16DividesExactlyAtEveryAlpha) {
    // Channel sums that are exact multiples of the result alpha, and one
    // either side, where a rounded quotient would go wrong first.
    for (uint32_t ta = 1; ta < 32768; ta += 1) {
        const PF_Pixel16 bottom{32768, 32768, 0, 1};
        const PF_Pixel16 over{static_cast<A_u_short>(ta), 32768, 0, 32767};
        PF_Pixel16 dst = bottom;
        compositeOverInto(dst, over);
        const PF_Pixel16 want = compositeOver16(bottom, over);
        ASSERT_EQ(std::memcmp(&dst, &want, sizeof dst), 0) << ta;
    }
}

TEST(PixelKernelsTest, RunOver8MatchesCompositeOver8) {
    // Every top alpha over runs of every bottom alpha, with lengths that leave
    // tails of zero to three pixels after the groups of four.
    SeededValues v{83};
    std::vector<PF_Pixel> run(259), want(259);
    for (int ta = 0; ta < 256; ++ta) {
        const PF_Pixel top{static_cast<A_u_char>(ta), static_cast<A_u_char>(v.range(0, 255)),
                           static_cast<A_u_char>(v.range(0, 255)), static_cast<A_u_char>(v.range(0, 255))};
        const int length = 256 + ta % 4;
        for (int i = 0; i < length; ++i) {
            // Runs of equal pixels in the second half.
            if (i >= 128 && i % 9 != 0) {
                run[i] = run[i - 1];
            } else {
                run[i] = PF_Pixel{static_cast<A_u_char>(i % 256), static_cast<A_u_char>(v.range(0, 255)),
                                  static_cast<A_u_char>(v.range(0, 255)), static_cast<A_u_char>(v.range(0, 255))};
            }
            want[i] = compositeOver8(run[i], top);
        }
        compositeRunOver(run.data(), length, top);
        for (int i = 0; i < length; ++i) {
            ASSERT_EQ(std::memcmp(&run[i], &want[i], sizeof(PF_Pixel)), 0) << "top " << ta << " at " << i;
        }
    }
}

// Runs of 300: with AVX2 eighteen groups of sixteen, one of eight and four
// pixels one by one; the SSE2 groups of eight compared as well.
TEST(PixelKernelsTest, RunOver16MatchesCompositeOver16) {
    SeededValues v{84};
    std::vector<PF_Pixel16> run(300), want(300), narrow(300);
    long pixels = 0, narrowPixels = 0;
    for (int i = 0; i < 3000; ++i) {
        const int32_t ta = i < 8 ? (i < 4 ? i : 32768 - (i - 4)) : v.range(0, 32768);
        const PF_Pixel16 top{static_cast<A_u_short>(ta), static_cast<A_u_short>(v.range(0, 32768)),
                             static_cast<A_u_short>(v.range(0, 32768)), static_cast<A_u_short>(v.range(0, 32768))};
        for (size_t j = 0; j < run.size(); ++j) {
            // Runs of equal pixels, runs of equal alpha, and single pixels;
            // every other run mostly long stretches of equal pixels.
            const int kind = i % 2 == 0 ? v.range(0, 3) : (v.range(0, 15) == 0 ? 3 : 0);
            if (j > 0 && kind == 0) {
                run[j] = run[j - 1];
            } else {
                run[j] =
                    PF_Pixel16{static_cast<A_u_short>(v.range(0, 32768)), static_cast<A_u_short>(v.range(0, 32768)),
                               static_cast<A_u_short>(v.range(0, 32768)), static_cast<A_u_short>(v.range(0, 32768))};
                if (j > 0 && kind == 1) run[j].alpha = run[j - 1].alpha;
                if (kind == 2 && v.range(0, 3) == 0) run[j].alpha = 0;
            }
            want[j] = compositeOver16(run[j], top);
        }
        narrow = run;
        compositeRunOver(run.data(), static_cast<int64_t>(run.size()), top);
        for (size_t j = 0; j < run.size(); ++j) {
            ASSERT_EQ(std::memcmp(&run[j], &want[j], sizeof(PF_Pixel16)), 0) << i << " at " << j;
        }
        pixels += static_cast<long>(run.size());
#if defined(__SSE2__)
        // The SSE2 groups, which the run above skips where AVX2 runs.
        if (ta == 0 || ta == 32768) continue;
        const int64_t done = compositeRunEight16(narrow.data(), static_cast<int64_t>(narrow.size()), topColour16(top),
                                                 _mm_set1_epi16(static_cast<short>(ta)));
        for (int64_t j = 0; j < done; ++j) {
            ASSERT_EQ(std::memcmp(&narrow[j], &want[j], sizeof(PF_Pixel16)), 0) << i << " at " << j;
        }
        narrowPixels += done;
#endif
    }
    std::printf("16-bit runs: %ld pixels, SSE2 groups %ld\n", pixels, narrowPixels);
}

TEST(PixelKernelsTest, InPlaceFloatMatchesCompositeOverFloat) {
    SeededValues v{85};
    for (int i = 0; i < 1000000; ++i) {
        auto channel = [&] {
            const int kind = v.range(0, 9);
            if (kind == 0) return 0.0f;
            if (kind == 1) return 1.0f;
            if (kind == 2) return static_cast<float>(v.between(-2.0, 3.0));  // out of range colour
            return static_cast<float>(v.unit());
        };
        const PF_PixelFloat bottom{channel(), channel(), channel(), channel()};
        const PF_PixelFloat over{channel(), channel(), channel(), channel()};
        PF_PixelFloat dst = bottom;
        compositeOverInto(dst, over);
        const PF_PixelFloat want = compositeOverFloat(bottom, over);
        ASSERT_EQ(std::memcmp(&dst, &want, sizeof dst), 0) << i;
    }
}

#if defined(__SSE2__)
// Float channels for the four-pixel composites: the usual values, out of
// range ones, and specials (NaN, infinities, negative zero, the smallest
// subnormal) that must come out with the bits of the one-pixel form.
float seededFloatChannel(SeededValues &v) {
    const int kind = v.range(0, 15);
    if (kind == 0) return 0.0f;
    if (kind == 1) return 1.0f;
    if (kind == 2) return static_cast<float>(v.between(-2.0, 3.0));
    if (kind == 3) {
        const float specials[] = {std::numeric_limits<float>::quiet_NaN(),
                                  std::numeric_limits<float>::infinity(),
                                  -std::numeric_limits<float>::infinity(),
                                  -0.0f,
                                  std::numeric_limits<float>::denorm_min(),
                                  -1.0f,
                                  2.0f,
                                  1.0000001f};
        return specials[v.range(0, 7)];
    }
    return static_cast<float>(v.unit());
}

[[gnu::target("avx2")]] void compositeEightOver(PF_PixelFloat *pixels, const PF_PixelFloat &top, const float *ta,
                                                const int32_t *drawn) {
    __m256 p[4];
    for (int v = 0; v < 4; ++v) p[v] = _mm256_loadu_ps(&pixels[2 * v].alpha);
    compositeEightFloat(p, topColourFloat(top), _mm256_loadu_ps(ta),
                        _mm256_castsi256_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(drawn))));
    for (int v = 0; v < 4; ++v) _mm256_storeu_ps(&pixels[2 * v].alpha, p[v]);
}

// n pixels for the float kernels: bottoms, top alphas and drawn lanes under
// one top colour, and what compositeOverFloat makes of each drawn pixel.
// Top colours are finite, as drawing's are (from the colour parameters):
// with a NaN on both sides of a sum, which NaN's sign comes out is the
// compiler's choice of operand order.
struct FloatGroup {
    PF_PixelFloat top, bottom[8], want[8];
    float ta[8];
    int32_t lanes[8];
};

FloatGroup seededFloatGroup(SeededValues &v, int n, long &special) {
    FloatGroup g;
    g.top = PF_PixelFloat{0.0f, static_cast<float>(v.unit()), static_cast<float>(v.between(-2.0, 3.0)),
                          v.range(0, 1) ? 0.0f : 1.0f};
    for (int k = 0; k < n; ++k) {
        g.bottom[k] =
            PF_PixelFloat{seededFloatChannel(v), seededFloatChannel(v), seededFloatChannel(v), seededFloatChannel(v)};
        const int kind = v.range(0, 5);
        g.ta[k] = kind == 0 ? 0.0f : kind == 1 ? 1.0f : static_cast<float>(v.unit());
        if (kind == 2) g.ta[k] = std::numeric_limits<float>::denorm_min();
        g.lanes[k] = v.range(0, 4) == 0 ? 0 : -1;
        PF_PixelFloat t = g.top;
        t.alpha = g.ta[k];
        g.want[k] = g.lanes[k] ? compositeOverFloat(g.bottom[k], t) : g.bottom[k];
        const float ba = g.bottom[k].alpha;
        special += std::isnan(ba) || std::isinf(ba) || ba < 0.0f || ba > 1.0f;
    }
    return g;
}

// compositeFourFloat over four pixels at once, each lane drawn or kept,
// against compositeOverFloat one pixel at a time.
TEST(PixelKernelsTest, FourFloatMatchCompositeOverFloat) {
    SeededValues v{86};
    long cases = 0, special = 0;
    for (int i = 0; i < 300000; ++i) {
        const FloatGroup g = seededFloatGroup(v, 4, special);
        __m128 p[4];
        for (int k = 0; k < 4; ++k) p[k] = _mm_loadu_ps(&g.bottom[k].alpha);
        __m128i drawn;
        std::memcpy(&drawn, g.lanes, 16);
        compositeFourFloat(p, topColourFloat(g.top), _mm_loadu_ps(g.ta), _mm_castsi128_ps(drawn));
        PF_PixelFloat got[4];
        for (int k = 0; k < 4; ++k) _mm_storeu_ps(&got[k].alpha, p[k]);
        for (int k = 0; k < 4; ++k) {
            ASSERT_EQ(std::memcmp(&got[k], &g.want[k], sizeof(PF_PixelFloat)), 0)
                << i << " lane " << k << " bottom " << g.bottom[k].alpha << " " << g.bottom[k].red << " "
                << g.bottom[k].green << " " << g.bottom[k].blue << " top alpha " << g.ta[k];
        }
        cases += 4;
    }
    std::printf("four-float composite: %ld pixels, %ld with a special bottom alpha\n", cases, special);
}

// compositeEightFloat (AVX2) on eight pixels, lane order 0, 2, 4, 6, 1, 3,
// 5, 7, against compositeOverFloat one pixel at a time.
TEST(PixelKernelsTest, EightFloatMatchCompositeOverFloat) {
    if (!hasAvx2()) GTEST_SKIP() << "no AVX2";
    SeededValues v{88};
    long cases = 0, special = 0;
    for (int i = 0; i < 150000; ++i) {
        const FloatGroup g = seededFloatGroup(v, 8, special);
        PF_PixelFloat got[8];
        std::memcpy(got, g.bottom, sizeof got);
        // The lane order: even pixels in the low half, odd in the high.
        float laneTa[8];
        int32_t laneDrawn[8];
        for (int k = 0; k < 4; ++k) {
            laneTa[k] = g.ta[2 * k], laneTa[4 + k] = g.ta[2 * k + 1];
            laneDrawn[k] = g.lanes[2 * k], laneDrawn[4 + k] = g.lanes[2 * k + 1];
        }
        compositeEightOver(got, g.top, laneTa, laneDrawn);
        for (int k = 0; k < 8; ++k) {
            ASSERT_EQ(std::memcmp(&got[k], &g.want[k], sizeof(PF_PixelFloat)), 0) << i << " pixel " << k;
        }
        cases += 8;
    }
    std::printf("eight-float composite: %ld pixels, %ld with a special bottom alpha\n", cases, special);
}

// Float runs: four at a time with runs of equal pixels, then the tail.
TEST(PixelKernelsTest, RunOverFloatMatchesCompositeOverFloat) {
    SeededValues v{87};
    std::vector<PF_PixelFloat> run(203), want(203);
    long cases = 0;
    for (int i = 0; i < 3000; ++i) {
        const int kind = i % 5;
        const float ta = kind == 0 ? 0.0f : kind == 1 ? 1.0f : static_cast<float>(v.unit());
        const PF_PixelFloat top{ta, static_cast<float>(v.unit()), static_cast<float>(v.between(-2.0, 3.0)),
                                static_cast<float>(v.unit())};
        const size_t length = 190 + static_cast<size_t>(v.range(0, 13));
        for (size_t j = 0; j < length; ++j) {
            if (j > 0 && v.range(0, 3) != 0) {
                run[j] = run[j - 1];
            } else {
                run[j] = PF_PixelFloat{seededFloatChannel(v), seededFloatChannel(v), seededFloatChannel(v),
                                       seededFloatChannel(v)};
            }
            want[j] = compositeOverFloat(run[j], top);
        }
        std::vector<PF_PixelFloat> narrow(run.begin(), run.begin() + static_cast<std::ptrdiff_t>(length));
        compositeRunOver(run.data(), static_cast<int64_t>(length), top);
        for (size_t j = 0; j < length; ++j) {
            ASSERT_EQ(std::memcmp(&run[j], &want[j], sizeof(PF_PixelFloat)), 0) << i << " at " << j;
        }
        // The SSE2 groups alone, which the run above leaves to AVX2 where there is.
        const int64_t done = compositeRunFourFloat(narrow.data(), static_cast<int64_t>(length), top);
        for (int64_t j = 0; j < done; ++j) {
            ASSERT_EQ(std::memcmp(&narrow[j], &want[j], sizeof(PF_PixelFloat)), 0) << i << " at " << j;
        }
        cases += static_cast<long>(length);
    }
    std::printf("float runs: %ld pixels\n", cases);
}
#endif

}  // namespace

// SVG masks: path data to cubic outlines, transforms, documents, and a
// scene whose mask comes from an SVG file rendering as its point list.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "cli/scene.h"
#include "cli/svg_mask.h"
#include "cli/svg_path.h"
#include "tests/cli/cli_fixtures.h"

namespace {

using pathbloom::SvgAffine;
using pathbloom::SvgSubpath;

// x, y, inX, inY, outX, outY
using Vertex = std::array<double, 6>;

std::vector<Vertex> verticesOf(const minihost::Mask &mask) {
    std::vector<Vertex> vertices;
    for (const minihost::MaskVertex &v : mask.vertices) vertices.push_back({v.x, v.y, v.inX, v.inY, v.outX, v.outY});
    return vertices;
}

minihost::Mask pathMask(const std::string &d, size_t subpath = 0) {
    std::vector<SvgSubpath> subpaths;
    std::string error;
    minihost::Mask mask;
    EXPECT_TRUE(pathbloom::parseSvgPath(d, subpaths, error)) << d << ": " << error;
    if (subpath >= subpaths.size()) {
        ADD_FAILURE() << d << " has " << subpaths.size() << " subpaths";
        return mask;
    }
    EXPECT_TRUE(pathbloom::svgSubpathMask(subpaths[subpath], mask, error)) << d << ": " << error;
    return mask;
}

struct ExactPath {
    const char *d;
    size_t subpath;
    bool closed;
    std::vector<Vertex> vertices;
};

const ExactPath exactPaths[] = {
    {"M 100 100 L 300 100 L 200 300 z",
     0,
     true,
     {{100, 100, 0, 0, 0, 0}, {300, 100, 0, 0, 0, 0}, {200, 300, 0, 0, 0, 0}}},
    // S reflects the previous C's second control point about the current point.
    {"M100,200C100,100 250,100 250,200S400,300 400,200",
     0,
     false,
     {{100, 200, 0, 0, 0, -100}, {250, 200, 0, -100, 0, 100}, {400, 200, 0, 100, 0, 0}}},
    // Q as the cubic two thirds of the way to its control point; T reflects it.
    {"M0 0 Q30 60 60 0 T120 0", 0, false, {{0, 0, 0, 0, 20, 40}, {60, 0, -20, 40, 20, -40}, {120, 0, -20, -40, 0, 0}}},
    // S and T after a command of another kind take the current point.
    {"M0 0 L10 0 S20 10 30 0", 0, false, {{0, 0, 0, 0, 0, 0}, {10, 0, 0, 0, 0, 0}, {30, 0, -10, 10, 0, 0}}},
    {"M0 0 L30 0 T90 0", 0, false, {{0, 0, 0, 0, 0, 0}, {30, 0, 0, 0, 0, 0}, {90, 0, -40, 0, 0, 0}}},
    // After m the pairs are relative linetos; h and v relative too.
    {"m10 20 30 0 0 30 h-30z",
     0,
     true,
     {{10, 20, 0, 0, 0, 0}, {40, 20, 0, 0, 0, 0}, {40, 50, 0, 0, 0, 0}, {10, 50, 0, 0, 0, 0}}},
    {"M10 20 H40 V50 L10 50 Z",
     0,
     true,
     {{10, 20, 0, 0, 0, 0}, {40, 20, 0, 0, 0, 0}, {40, 50, 0, 0, 0, 0}, {10, 50, 0, 0, 0, 0}}},
    // Numbers packed: 1.5 .5, then -1 -2e1, then an implicit lineto.
    {"M1.5.5L-1-2e1 3E-1.5", 0, false, {{1.5, 0.5, 0, 0, 0, 0}, {-1, -20, 0, 0, 0, 0}, {0.3, 0.5, 0, 0, 0, 0}}},
    {"M+1,+2,3,4", 0, false, {{1, 2, 0, 0, 0, 0}, {3, 4, 0, 0, 0, 0}}},
    // A closing curve back to the start: one vertex there, its in tangent from the last curve.
    {"M0 0 C10 0 10 10 0 10 C-10 10 -10 0 0 0 Z", 0, true, {{0, 0, -10, 0, 10, 0}, {0, 10, 10, 0, -10, 0}}},
    {"M0 0 C10 0 10 10 0 10 C-10 10 -10 0 0 0",
     0,
     false,
     {{0, 0, 0, 0, 10, 0}, {0, 10, 10, 0, -10, 0}, {0, 0, -10, 0, 0, 0}}},
    // After z drawing goes on from the closed subpath's start in a new subpath.
    {"M0 0 L10 0 L10 10 Z L5 5", 1, false, {{0, 0, 0, 0, 0, 0}, {5, 5, 0, 0, 0, 0}}},
    {"M0 0 L10 0 m5 5 l1 1", 1, false, {{15, 5, 0, 0, 0, 0}, {16, 6, 0, 0, 0, 0}}},
    // Arcs: a zero radius is a line, an arc to the current point is nothing.
    {"M0 0 A0 5 0 0 1 20 0", 0, false, {{0, 0, 0, 0, 0, 0}, {20, 0, 0, 0, 0, 0}}},
    {"M5 5 A10 10 0 0 1 5 5 L9 9", 0, false, {{5, 5, 0, 0, 0, 0}, {9, 9, 0, 0, 0, 0}}},
};

TEST(SvgPathData, CommandsGiveExactVerticesAndTangents) {
    for (const ExactPath &path : exactPaths) {
        const minihost::Mask mask = pathMask(path.d, path.subpath);
        EXPECT_EQ(mask.closed, path.closed) << path.d;
        EXPECT_EQ(verticesOf(mask), path.vertices) << path.d;
    }
}

TEST(SvgPathData, QuarterArcsTakeTheStandardHandles) {
    const double k = 4.0 / 3.0 * std::tan(M_PI / 8) * 10;
    // Flags written without separators read the same.
    for (const char *d : {"M10 0 A10 10 0 0 1 0 10", "M10 0a10 10 0 01-10 10", "M10,0A10,10,0,0,1,0,10"}) {
        const std::vector<Vertex> v = verticesOf(pathMask(d));
        ASSERT_EQ(v.size(), 2u) << d;
        EXPECT_EQ(v[0][0], 10);
        EXPECT_EQ(v[1][1], 10);
        const double expected[2][4] = {{0, 0, 0, k}, {k, 0, 0, 0}};
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 4; ++j) EXPECT_NEAR(v[i][2 + j], expected[i][j], 1e-12) << d << " vertex " << i;
    }
}

TEST(SvgPathData, ArcsSplitIntoQuarterTurnsOnTheirEllipse) {
    struct Arc {
        const char *d;
        double cx, cy, r;
        std::vector<std::array<double, 2>> points;
    };
    const Arc arcs[] = {
        // Radius 1 cannot reach: scaled up to 10, half a turn over the top or the bottom.
        {"M0 0 A1 1 0 0 1 20 0", 10, 0, 10, {{0, 0}, {10, -10}, {20, 0}}},
        {"M0 0 A1 1 0 0 0 20 0", 10, 0, 10, {{0, 0}, {10, 10}, {20, 0}}},
        // Three quarters the long way round, and the short way.
        {"M10 0 A10 10 0 1 1 0 -10", 0, 0, 10, {{10, 0}, {0, 10}, {-10, 0}, {0, -10}}},
        {"M10 0 A10 10 0 0 0 0 -10", 0, 0, 10, {{10, 0}, {0, -10}}},
        // A turned ellipse of equal radii too small to reach: half a turn about the chord's middle.
        {"M650,325 a25,25 -30 0,1 50,-25", 675, 312.5, std::hypot(25, 12.5), {{650, 325}, {662.5, 287.5}, {700, 300}}},
    };
    for (const Arc &arc : arcs) {
        const std::vector<Vertex> v = verticesOf(pathMask(arc.d));
        ASSERT_EQ(v.size(), arc.points.size()) << arc.d;
        for (size_t i = 0; i < v.size(); ++i) {
            EXPECT_NEAR(v[i][0], arc.points[i][0], 1e-9) << arc.d << " vertex " << i;
            EXPECT_NEAR(v[i][1], arc.points[i][1], 1e-9) << arc.d << " vertex " << i;
            if (i + 1 == v.size()) break;
            // Each piece's middle, (p0 + 3 c1 + 3 c2 + p3) / 8, lies on the circle within the
            // approximation's 0.03 % of the radius.
            const double mx = (v[i][0] + 3 * (v[i][0] + v[i][4]) + 3 * (v[i + 1][0] + v[i + 1][2]) + v[i + 1][0]) / 8;
            const double my = (v[i][1] + 3 * (v[i][1] + v[i][5]) + 3 * (v[i + 1][1] + v[i + 1][3]) + v[i + 1][1]) / 8;
            EXPECT_NEAR(std::hypot(mx - arc.cx, my - arc.cy), arc.r, arc.r * 3e-4) << arc.d << " piece " << i;
        }
    }
}

TEST(SvgPathData, TheRotatedEllipsesExampleKeepsItsEndPoints) {
    const std::vector<Vertex> v = verticesOf(pathMask(
        "M600,350 l 50,-25 a25,25 -30 0,1 50,-25 l 50,-25 a25,50 -30 0,1 50,-25 l 50,-25 a25,75 -30 0,1 50,-25 "
        "l 50,-25 a25,100 -30 0,1 50,-25 l 50,-25"));
    // The line ends, in order, among the vertices, exactly.
    size_t found = 0;
    for (const Vertex &vertex : v)
        if (found < 10 && vertex[0] == 600 + 50 * double(found) && vertex[1] == 350 - 25 * double(found)) ++found;
    EXPECT_EQ(found, 10u);
    EXPECT_EQ(v.back()[0], 1050);
}

TEST(SvgPathData, FaultsSayWhereAndWhatWasExpected) {
    const std::pair<const char *, const char *> faults[] = {
        {"M 10 x", "at character 6: expected a number, found \"x\""},
        {"L 10 10", "at character 1: expected a moveto (M or m), found \"L\""},
        {"M0 0 A1 1 0 2 1 5 5", "at character 13: expected an arc flag (0 or 1), found \"2\""},
        {"M0 0 L1 1,", "at character 11: expected a number, found the end"},
        {"M0 0 Z 5", "at character 8: expected a command letter, found \"5\""},
        {"M0 0 C1 2 3", "at character 12: expected a number, found the end"},
        {"M0 0 L1 .e5", "at character 9: expected a number, found \".\""},
        {"M0 0 L1e999 0", "at character 7: the number 1e999 is out of range"},
        {"M0 0 L1.7e308 0 l1.7e308 0", "at character 17: the command's coordinates overflow"},
        {"M-1e300 0 A1e-300 1 0 0 1 1e300 0", "at character 11: the command's coordinates overflow"},
    };
    for (const auto &[d, message] : faults) {
        std::vector<SvgSubpath> subpaths;
        std::string error;
        EXPECT_FALSE(pathbloom::parseSvgPath(d, subpaths, error)) << d;
        EXPECT_EQ(error, message) << d;
    }
    std::vector<SvgSubpath> subpaths;
    std::string error;
    ASSERT_TRUE(pathbloom::parseSvgPath("M1 2 M3 4 L5 6", subpaths, error));
    ASSERT_EQ(subpaths.size(), 2u);
    minihost::Mask mask;
    EXPECT_FALSE(pathbloom::svgSubpathMask(subpaths[0], mask, error));
    EXPECT_EQ(error, "is only a moveto, not an outline");
}

TEST(SvgTransform, FunctionsAndListsInMatrixOrder) {
    const std::pair<const char *, SvgAffine> transforms[] = {
        {"translate(10)", {1, 0, 0, 1, 10, 0}},
        {"scale(2 3)", {2, 0, 0, 3, 0, 0}},
        {"scale(-2)", {-2, 0, 0, -2, 0, 0}},
        {"rotate(90)", {0, 1, -1, 0, 0, 0}},
        {"rotate(-270)", {0, 1, -1, 0, 0, 0}},
        // About (10, 20): (x, y) to (30 - y, x + 10).
        {"rotate(90, 10, 20)", {0, 1, -1, 0, 30, 10}},
        {"rotate(30)", {std::sqrt(3) / 2, 0.5, -0.5, std::sqrt(3) / 2, 0, 0}},
        {"skewX(45)", {1, 0, 1, 1, 0, 0}},
        {"skewY(-45)", {1, -1, 0, 1, 0, 0}},
        {"matrix(1,2,3,4,5,6)", {1, 2, 3, 4, 5, 6}},
        // Applied right to left: scaled, then moved.
        {" translate(10,20),scale(2) ", {2, 0, 0, 2, 10, 20}},
        {"scale(2)translate(10 20)", {2, 0, 0, 2, 20, 40}},
        {"", {1, 0, 0, 1, 0, 0}},
    };
    for (const auto &[text, expected] : transforms) {
        SvgAffine m;
        std::string error;
        ASSERT_TRUE(pathbloom::parseSvgTransform(text, m, error)) << text << ": " << error;
        const double got[] = {m.a, m.b, m.c, m.d, m.e, m.f};
        const double want[] = {expected.a, expected.b, expected.c, expected.d, expected.e, expected.f};
        for (int i = 0; i < 6; ++i) EXPECT_NEAR(got[i], want[i], 1e-15) << text << " entry " << i;
    }
    const std::pair<const char *, const char *> faults[] = {
        {"rotate(1 2)", "at character 11: expected 1 or 3 numbers, found \")\""},
        {"spin(3)", "at character 1: expected matrix, translate, scale, rotate, skewX or skewY, found \"s\""},
        {"scale(1 2 3)", "at character 11: expected \")\" after 2 numbers, found \"3\""},
        {"translate 5", "at character 11: expected \"(\", found \"5\""},
        {"skewX(90)", "at character 1: skewX of a quarter turn has no finite slope"},
    };
    for (const auto &[text, message] : faults) {
        SvgAffine m;
        std::string error;
        EXPECT_FALSE(pathbloom::parseSvgTransform(text, m, error)) << text;
        EXPECT_EQ(error, message) << text;
    }
}

std::string svgDocument(const std::string &rootAttributes, const std::string &content) {
    return "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" " + rootAttributes + ">" + content +
           "</svg>";
}

TEST(SvgDocument, TransformsOfTheElementAndItsAncestorsThenTheViewBox) {
    // (1, 2): scale(2) (2, 4), rotate(90) (-4, 2), translate (6, 7), the viewBox x2 (12, 14).
    const std::string text = svgDocument(
        "width=\"200\" height=\"100\" viewBox=\"0 0 100 50\"",
        "<g transform=\"translate(10,5)\"><g transform=\"rotate(90)\"><path id=\"p\" transform=\"scale(2)\" "
        "d=\"M1 2 C3 2 5 4 5 6\"/></g></g>");
    minihost::Mask mask;
    pathbloom::SvgFault fault;
    ASSERT_TRUE(pathbloom::svgDocumentMask(text, "p", 0, mask, fault)) << fault.what;
    EXPECT_EQ(verticesOf(mask), (std::vector<Vertex>{{12, 14, 0, 0, 0, 8}, {-4, 30, 8, 0, 0, 0}}));
    EXPECT_FALSE(mask.closed);

    const std::pair<const char *, std::array<double, 2>> views[] = {
        {"width=\"300\" height=\"100\" viewBox=\"10 0 100 50\"", {50, 0}},  // meet: x2, centred in x
        {"width=\"300\" height=\"100\" viewBox=\"10 0 100 50\" preserveAspectRatio=\"xMinYMax slice\"", {0, -50}},
        {"width=\"300\" height=\"100\" viewBox=\"10 0 100 50\" preserveAspectRatio=\"none\"", {0, 0}},
        {"width=\"1in\" height=\"0.5in\" viewBox=\"10 0 100 50\"", {0, 0}},
        {"width=\"100%\" height=\"100%\" viewBox=\"10 0 100 50\"", {10, 0}},  // no mapping
        {"width=\"300\" height=\"100\"", {10, 0}},
    };
    for (const auto &[attributes, point] : views) {
        ASSERT_TRUE(pathbloom::svgDocumentMask(svgDocument(attributes, "<path id=\"p\" d=\"M10 0 L 20 0\"/>"), "p", 0,
                                               mask, fault))
            << fault.what;
        EXPECT_NEAR(mask.vertices[0].x, point[0], 1e-12) << attributes;
        EXPECT_NEAR(mask.vertices[0].y, point[1], 1e-12) << attributes;
    }
}

TEST(SvgDocument, BasicShapesAsTheirPaths) {
    struct Shape {
        const char *element;
        bool closed;
        std::vector<std::array<double, 2>> points;
    };
    const Shape shapes[] = {
        {"<polygon id=\"s\" points=\"1,2 3,4 5,2\"/>", true, {{1, 2}, {3, 4}, {5, 2}}},
        {"<polyline id=\"s\" points=\"1 2, 3 4\"/>", false, {{1, 2}, {3, 4}}},
        {"<line id=\"s\" x1=\"1\" y1=\"2\" x2=\"7px\" y2=\"8\"/>", false, {{1, 2}, {7, 8}}},
        {"<rect id=\"s\" x=\"1\" y=\"2\" width=\"10\" height=\"5\"/>", true, {{1, 2}, {11, 2}, {11, 7}, {1, 7}}},
        // ry from rx, half the height: no vertical sides between the corners.
        {"<rect id=\"s\" width=\"10\" height=\"4\" rx=\"2\"/>",
         true,
         {{2, 0}, {8, 0}, {10, 2}, {8, 4}, {2, 4}, {0, 2}}},
        {"<circle id=\"s\" cx=\"50\" cy=\"40\" r=\"10\"/>", true, {{60, 40}, {50, 50}, {40, 40}, {50, 30}}},
        {"<svg:ellipse xmlns:svg=\"http://www.w3.org/2000/svg\" id=\"s\" cx=\"5\" cy=\"5\" rx=\"4\" ry=\"2\"/>",
         true,
         {{9, 5}, {5, 7}, {1, 5}, {5, 3}}},
    };
    for (const Shape &shape : shapes) {
        minihost::Mask mask;
        pathbloom::SvgFault fault;
        ASSERT_TRUE(pathbloom::svgDocumentMask(svgDocument("", shape.element), "s", 0, mask, fault))
            << shape.element << ": " << fault.what;
        EXPECT_EQ(mask.closed, shape.closed) << shape.element;
        ASSERT_EQ(mask.vertices.size(), shape.points.size()) << shape.element;
        for (size_t i = 0; i < shape.points.size(); ++i) {
            EXPECT_NEAR(mask.vertices[i].x, shape.points[i][0], 1e-12) << shape.element << " vertex " << i;
            EXPECT_NEAR(mask.vertices[i].y, shape.points[i][1], 1e-12) << shape.element << " vertex " << i;
        }
    }
}

TEST(SvgDocument, FaultsNameTheirPart) {
    using pathbloom::SvgPart;
    const std::string twoSubpaths = svgDocument("", "<g id=\"g\"><path id=\"p\" d=\"M0 0 L1 1 M2 2 L3 3\"/></g>");
    struct Fault {
        std::string text;
        const char *id;
        long long subpath;
        SvgPart part;
        const char *what;
    };
    const Fault faults[] = {
        {"<svg><path id=\"p\" d=\"M0 0 L1 1\"></svg>", "p", 0, SvgPart::document,
         "is not well-formed XML: Start-end tags mismatch at byte 34"},
        {"<html id=\"p\"/>", "p", 0, SvgPart::document, "has no <svg> root element"},
        {twoSubpaths, "q", 0, SvgPart::element, "no element has that id"},
        {twoSubpaths, "g", 0, SvgPart::element,
         "is a <g>, not a path, polygon, polyline, rect, circle, ellipse or line"},
        {twoSubpaths, "p", 2, SvgPart::subpath, "2 is outside 0..1: the <path> has 2 subpaths"},
        {svgDocument("", "<path id=\"p\" d=\"M0 0 L1 x\"/>"), "p", 0, SvgPart::element,
         "<path> d: at character 9: expected a number, found \"x\""},
        {svgDocument("", "<g transform=\"scale(\"><path id=\"p\" d=\"M0 0 L1 1\"/></g>"), "p", 0, SvgPart::element,
         "<g> transform: at character 7: expected a number, found the end"},
        {svgDocument("", "<path id=\"p\" d=\"M0 0 Z\"/>"), "p", 0, SvgPart::element,
         "subpath 0 of the <path> is only a moveto, not an outline"},
        {svgDocument("", "<rect id=\"p\" width=\"0\" height=\"5\"/>"), "p", 0, SvgPart::element,
         "<rect> has no area: width and height must be above 0"},
        {svgDocument("width=\"4em\" height=\"5\" viewBox=\"0 0 1 1\"", "<path id=\"p\" d=\"M0 0 L1 1\"/>"), "p", 0,
         SvgPart::document, "<svg> width: expected a length (a number, px, in, cm, mm, pt, pc or %)"},
        {svgDocument("", "<path id=\"p\" transform=\"scale(1e300)\" d=\"M0 0 L1e300 1\"/>"), "p", 0, SvgPart::element,
         "the <path>'s coordinates overflow once transformed"},
    };
    for (const Fault &f : faults) {
        minihost::Mask mask;
        pathbloom::SvgFault fault;
        EXPECT_FALSE(pathbloom::svgDocumentMask(f.text, f.id, f.subpath, mask, fault)) << f.what;
        EXPECT_EQ(fault.part, f.part) << f.what;
        EXPECT_EQ(fault.what, f.what);
    }
}

std::string fileBytes(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST(SvgScene, MaskFileBesideTheSceneAndFaultsByField) {
    const std::string folder = scratchFolder();
    writeTextFile(folder + "/shape.svg", svgDocument("", "<path id=\"a\" d=\"M1 2 L3 4 Z\"/>"));
    pathbloom::Scene scene;
    std::string error;
    ASSERT_TRUE(pathbloom::parseScene(R"({"width": 8, "height": 8, "masks": [{"svg": "shape.svg", "path": "#a"}]})",
                                      "scene.json", folder, registeredParams(), scene, error))
        << error;
    ASSERT_EQ(scene.masks.size(), 1u);
    EXPECT_TRUE(scene.masks[0].closed);
    EXPECT_EQ(verticesOf(scene.masks[0]), (std::vector<Vertex>{{1, 2, 0, 0, 0, 0}, {3, 4, 0, 0, 0, 0}}));

    const std::pair<const char *, std::string> faults[] = {
        {R"({"svg": "none.svg", "path": "#a"})", "masks[0].svg: cannot open the SVG file " + folder + "/none.svg"},
        {R"({"svg": "shape.svg", "path": "a"})", R"(masks[0].path: expected "#id" of the element, got a string "a")"},
        {R"({"svg": "shape.svg", "path": "#b"})", R"(masks[0].path: "#b": no element has that id)"},
        {R"({"svg": "shape.svg", "path": "#a", "subpath": 1})",
         "masks[0].subpath: 1 is outside 0..0: the <path> has 1 subpath"},
        {R"({"svg": "shape.svg", "path": "#a", "points": [[0, 0]]})", R"(masks[0]: gives both "svg" and "points")"},
    };
    for (const auto &[mask, message] : faults) {
        EXPECT_FALSE(pathbloom::parseScene(std::string(R"({"width": 8, "height": 8, "masks": [)") + mask + "]}",
                                           "scene.json", folder, registeredParams(), scene, error));
        EXPECT_EQ(error, "scene.json: " + message);
    }
}

TEST(SvgScene, RendersAsTheSameMaskWrittenAsPoints) {
    const std::string folder = scratchFolder();
    // (2, 3) and the curve's handles through scale(2), translate(4, 6) and a viewBox halved in size.
    writeTextFile(folder + "/logo.svg",
                  svgDocument("width=\"60\" height=\"40\" viewBox=\"0 0 120 80\"",
                              "<g transform=\"translate(4,6)\"><path id=\"outline\" transform=\"scale(2)\" "
                              "d=\"M0 0 L1 1 M2 3 l20 0 c0 10 -10 15 -20 15 z\"/></g>"));
    const std::string params =
        R"("params": {"Mode": "Vertex", "Number": 0, "First Radius": 3, "Color": "#ffc020", "Path": 1}})";
    const std::string head = R"({"width": 40, "height": 30, "background": "#203040", )";
    writeTextFile(folder + "/svg.json",
                  head + R"("masks": [{"svg": "logo.svg", "path": "#outline", "subpath": 1}], )" + params);
    const std::string points = R"("masks": [{"closed": true, "points": [[%X, 6], [%X2, 6], [%X, 21]],
        "in": [[0, 0], [0, 0], [10, 0]], "out": [[0, 0], [0, 10], [0, 0]]}], )";
    auto placed = [&](int x) {
        std::string text = points;
        text.replace(text.find("%X2"), 3, std::to_string(x + 20));
        for (size_t at; (at = text.find("%X")) != std::string::npos;) text.replace(at, 2, std::to_string(x));
        return head + text + params;
    };
    writeTextFile(folder + "/points.json", placed(4));
    writeTextFile(folder + "/moved.json", placed(5));
    for (const char *name : {"svg", "points", "moved"}) {
        const CommandResult result = runPathbloom("render '" + folder + "/" + name + ".json' -o '" + folder + "/" +
                                                  name + "' --plugin '" + mainPluginPath() + "'");
        ASSERT_EQ(result.status, 0) << name << ": " << result.err;
    }
    const std::string svg = fileBytes(folder + "/svg/frame_0000.png");
    ASSERT_FALSE(svg.empty());
    EXPECT_EQ(svg, fileBytes(folder + "/points/frame_0000.png"));
    // A mask one pixel off renders otherwise: the comparison sees the points.
    EXPECT_NE(svg, fileBytes(folder + "/moved/frame_0000.png"));
}

}  // namespace

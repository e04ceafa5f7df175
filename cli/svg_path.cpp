// SVG path data and transform lists read by hand: a scanner over the text
// that throws on the first fault with its position, and the geometry that
// turns every command into cubic segments.
#include "cli/svg_path.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace pathbloom {

namespace {

constexpr double pi = 3.14159265358979323846;

// The first fault in the text: 0-based offset and what was expected there.
struct TextFault {
    size_t at;
    std::string what;
};

struct Scanner {
    const std::string &text;
    size_t at = 0;

    bool atEnd() const { return at >= text.size(); }
    char peek() const { return atEnd() ? '\0' : text[at]; }
};

[[noreturn]] void expected(const Scanner &s, const std::string &what, size_t at) {
    std::string found = "the end";
    if (at < s.text.size()) {
        const unsigned char c = static_cast<unsigned char>(s.text[at]);
        found = c >= 0x20 && c < 0x7f ? "\"" + std::string(1, char(c)) + "\"" : "byte " + std::to_string(int(c));
    }
    throw TextFault{at, "expected " + what + ", found " + found};
}

[[noreturn]] void expected(const Scanner &s, const std::string &what) { expected(s, what, s.at); }

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool startsNumber(char c) { return isDigit(c) || c == '+' || c == '-' || c == '.'; }

void skipSpace(Scanner &s) {
    while (!s.atEnd() && isSpace(s.peek())) ++s.at;
}

// Whitespace with at most one comma in it; true when there was a comma.
bool skipCommaSpace(Scanner &s) {
    skipSpace(s);
    if (s.peek() != ',') return false;
    ++s.at;
    skipSpace(s);
    return true;
}

size_t skipDigits(Scanner &s) {
    const size_t begin = s.at;
    while (!s.atEnd() && isDigit(s.peek())) ++s.at;
    return s.at - begin;
}

// sign? (digits ("." digits?)? | "." digits) (("e" | "E") sign? digits)?,
// ending where the grammar says: "1.5.5" is 1.5 then .5, "1-2" is 1 then -2.
double readNumber(Scanner &s) {
    const size_t begin = s.at;
    if (s.peek() == '+' || s.peek() == '-') ++s.at;
    size_t digits = skipDigits(s);
    if (s.peek() == '.') {
        ++s.at;
        digits += skipDigits(s);
    }
    if (digits == 0) expected(s, "a number", begin);
    if (s.peek() == 'e' || s.peek() == 'E') {
        size_t next = s.at + 1;
        if (next < s.text.size() && (s.text[next] == '+' || s.text[next] == '-')) ++next;
        if (next < s.text.size() && isDigit(s.text[next])) {
            s.at = next;
            skipDigits(s);
        }
    }
    // from_chars takes no '+'; it reads the same digits as the C locale's strtod.
    const char *first = s.text.data() + begin + (s.text[begin] == '+' ? 1 : 0);
    const char *last = s.text.data() + s.at;
    double value = 0;
    const auto [end, fault] = std::from_chars(first, last, value);
    if (fault != std::errc() || end != last || !std::isfinite(value))
        throw TextFault{begin, "the number " + std::string(first, last) + " is out of range"};
    return value;
}

// A single '0' or '1': arc flags need no separator ("a1 1 0 00 1 1").
bool readFlag(Scanner &s) {
    const char c = s.peek();
    if (c != '0' && c != '1') expected(s, "an arc flag (0 or 1)");
    ++s.at;
    return c == '1';
}

void readNumbers(Scanner &s, double *values, int count) {
    for (int i = 0; i < count; ++i) {
        if (i > 0) skipCommaSpace(s);
        values[i] = readNumber(s);
    }
}

std::string faultMessage(const TextFault &fault) {
    return "at character " + std::to_string(fault.at + 1) + ": " + fault.what;
}

// Where the path is being built: the current point, the subpath's start and
// what S and T reflect.
struct PathState {
    std::vector<SvgSubpath> subpaths;
    double x = 0, y = 0;
    double startX = 0, startY = 0;
    char previous = 0;              // the previous command, upper case; a moveto's extra pairs are 'L'
    double cubicX = 0, cubicY = 0;  // second control point of the previous C or S
    double quadX = 0, quadY = 0;    // control point of the previous Q or T
    size_t command = 0;             // offset of the command being read, for its faults
};

// The subpath a drawing command adds to: after a closepath a new one from
// the closed one's start.
SvgSubpath &drawnSubpath(PathState &p) {
    if (p.subpaths.back().closed) {
        SvgSubpath next;
        next.startX = p.x;
        next.startY = p.y;
        p.subpaths.push_back(next);
    }
    return p.subpaths.back();
}

void addCubic(PathState &p, double x1, double y1, double x2, double y2, double x, double y) {
    for (double v : {x1, y1, x2, y2, x, y})
        if (!std::isfinite(v)) throw TextFault{p.command, "the command's coordinates overflow"};
    drawnSubpath(p).segments.push_back(SvgCubic{x1, y1, x2, y2, x, y});
    p.x = x;
    p.y = y;
}

void addLine(PathState &p, double x, double y) { addCubic(p, p.x, p.y, x, y, x, y); }

// The cubic equal to the quadratic with control point (qx, qy): control
// points two thirds of the way from each end to it. Divided last, so that
// whole thirds come out exact.
void addQuadratic(PathState &p, double qx, double qy, double x, double y) {
    addCubic(p, p.x + 2 * (qx - p.x) / 3, p.y + 2 * (qy - p.y) / 3, x + 2 * (qx - x) / 3, y + 2 * (qy - y) / 3, x, y);
}

// The arc from the current point to (x, y) on the ellipse of radii rx, ry
// turned by `degrees`, by its endpoint-to-centre conversion: radii too small
// to reach are scaled up, a zero radius is a line, an arc to the current
// point is nothing. Cubics of at most 90 degrees each, handles
// 4/3 tan(step / 4) of the derivative.
void addArc(PathState &p, double rx, double ry, double degrees, bool large, bool sweep, double x, double y) {
    const double x0 = p.x, y0 = p.y;
    if (x0 == x && y0 == y) return;
    rx = std::fabs(rx);
    ry = std::fabs(ry);
    if (rx == 0 || ry == 0) return addLine(p, x, y);
    const double phi = std::fmod(degrees, 360) * pi / 180;
    const double cosPhi = std::cos(phi), sinPhi = std::sin(phi);
    const double dx = (x0 - x) / 2, dy = (y0 - y) / 2;
    const double x1 = cosPhi * dx + sinPhi * dy;
    const double y1 = -sinPhi * dx + cosPhi * dy;
    // sqrt of x1²/rx² + y1²/ry², without squaring tiny radii to zero.
    const double reach = std::hypot(x1 / rx, y1 / ry);
    if (reach > 1) {
        rx *= reach;
        ry *= reach;
    }
    const double rx2 = rx * rx, ry2 = ry * ry, x12 = x1 * x1, y12 = y1 * y1;
    double coef = std::sqrt(std::max(0.0, (rx2 * ry2 - rx2 * y12 - ry2 * x12) / (rx2 * y12 + ry2 * x12)));
    if (large == sweep) coef = -coef;
    const double cxPrime = coef * rx * y1 / ry, cyPrime = -coef * ry * x1 / rx;
    const double cx = cosPhi * cxPrime - sinPhi * cyPrime + (x0 + x) / 2;
    const double cy = sinPhi * cxPrime + cosPhi * cyPrime + (y0 + y) / 2;
    const double theta = std::atan2((y1 - cyPrime) / ry, (x1 - cxPrime) / rx);
    double delta = std::atan2((-y1 - cyPrime) / ry, (-x1 - cxPrime) / rx) - theta;
    if (!sweep && delta > 0) delta -= 2 * pi;
    if (sweep && delta < 0) delta += 2 * pi;
    // Coordinates near the largest doubles leave no centre to turn about.
    if (!std::isfinite(delta) || !std::isfinite(cx) || !std::isfinite(cy))
        throw TextFault{p.command, "the command's coordinates overflow"};
    // A quarter turn computed a hair over pi/2 is still one piece.
    const int pieces = std::max(1, int(std::ceil(std::fabs(delta) / (pi / 2) - 1e-9)));
    const double step = delta / pieces;
    const double handle = 4.0 / 3.0 * std::tan(step / 4);
    const auto pointX = [&](double t) { return cx + rx * std::cos(t) * cosPhi - ry * std::sin(t) * sinPhi; };
    const auto pointY = [&](double t) { return cy + rx * std::cos(t) * sinPhi + ry * std::sin(t) * cosPhi; };
    const auto slopeX = [&](double t) { return -rx * std::sin(t) * cosPhi - ry * std::cos(t) * sinPhi; };
    const auto slopeY = [&](double t) { return -rx * std::sin(t) * sinPhi + ry * std::cos(t) * cosPhi; };
    for (int i = 0; i < pieces; ++i) {
        const double t0 = theta + i * step, t1 = theta + (i + 1) * step;
        const bool last = i == pieces - 1;
        const double endX = last ? x : pointX(t1), endY = last ? y : pointY(t1);
        addCubic(p, p.x + handle * slopeX(t0), p.y + handle * slopeY(t0), endX - handle * slopeX(t1),
                 endY - handle * slopeY(t1), endX, endY);
    }
}

// One set of a command's arguments from `s`; `command` as written, with
// case telling relative from absolute.
void drawCommand(PathState &p, Scanner &s, char command) {
    const bool relative = command >= 'a';
    const char upper = char(relative ? command - 32 : command);
    const double ox = relative ? p.x : 0, oy = relative ? p.y : 0;
    double v[7];
    switch (upper) {
    case 'M': {
        readNumbers(s, v, 2);
        SvgSubpath subpath;
        subpath.startX = p.x = p.startX = ox + v[0];
        subpath.startY = p.y = p.startY = oy + v[1];
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            throw TextFault{p.command, "the command's coordinates overflow"};
        p.subpaths.push_back(subpath);
        break;
    }
    case 'L':
        readNumbers(s, v, 2);
        addLine(p, ox + v[0], oy + v[1]);
        break;
    case 'H':
        readNumbers(s, v, 1);
        addLine(p, ox + v[0], p.y);
        break;
    case 'V':
        readNumbers(s, v, 1);
        addLine(p, p.x, oy + v[0]);
        break;
    case 'C':
        readNumbers(s, v, 6);
        addCubic(p, ox + v[0], oy + v[1], ox + v[2], oy + v[3], ox + v[4], oy + v[5]);
        p.cubicX = ox + v[2];
        p.cubicY = oy + v[3];
        break;
    case 'S': {
        readNumbers(s, v, 4);
        const bool reflect = p.previous == 'C' || p.previous == 'S';
        const double x1 = reflect ? 2 * p.x - p.cubicX : p.x, y1 = reflect ? 2 * p.y - p.cubicY : p.y;
        addCubic(p, x1, y1, ox + v[0], oy + v[1], ox + v[2], oy + v[3]);
        p.cubicX = ox + v[0];
        p.cubicY = oy + v[1];
        break;
    }
    case 'Q':
        readNumbers(s, v, 4);
        p.quadX = ox + v[0];
        p.quadY = oy + v[1];
        addQuadratic(p, p.quadX, p.quadY, ox + v[2], oy + v[3]);
        break;
    case 'T': {
        readNumbers(s, v, 2);
        const bool reflect = p.previous == 'Q' || p.previous == 'T';
        p.quadX = reflect ? 2 * p.x - p.quadX : p.x;
        p.quadY = reflect ? 2 * p.y - p.quadY : p.y;
        addQuadratic(p, p.quadX, p.quadY, ox + v[0], oy + v[1]);
        break;
    }
    case 'A': {
        readNumbers(s, v, 3);
        skipCommaSpace(s);
        const bool large = readFlag(s);
        skipCommaSpace(s);
        const bool sweep = readFlag(s);
        skipCommaSpace(s);
        readNumbers(s, v + 3, 2);
        addArc(p, v[0], v[1], v[2], large, sweep, ox + v[3], oy + v[4]);
        break;
    }
    }
    p.previous = upper == 'M' ? 'L' : upper;
}

void readPath(Scanner &s, PathState &p) {
    skipSpace(s);
    if (s.atEnd()) return;
    if (s.peek() != 'M' && s.peek() != 'm') expected(s, "a moveto (M or m)");
    while (true) {
        skipSpace(s);
        if (s.atEnd()) return;
        p.command = s.at;
        char command = s.peek();
        if (std::string("MmLlHhVvCcSsQqTtAaZz").find(command) == std::string::npos) expected(s, "a command letter");
        ++s.at;
        if (command == 'Z' || command == 'z') {
            p.subpaths.back().closed = true;
            p.x = p.startX;
            p.y = p.startY;
            p.previous = 'Z';
            continue;
        }
        skipSpace(s);
        while (true) {
            drawCommand(p, s, command);
            // A moveto's further pairs are linetos, relative after 'm'.
            if (command == 'M') command = 'L';
            if (command == 'm') command = 'l';
            const bool comma = skipCommaSpace(s);
            if (!startsNumber(s.peek())) {
                if (comma) expected(s, "a number");
                break;
            }
        }
    }
}

// Degrees to cosine and sine, exact at whole quarter turns so that
// rotate(90) maps whole numbers to whole numbers.
void cosSin(double degrees, double &c, double &s) {
    const double turns = std::fmod(degrees, 360);
    if (std::fmod(turns, 90) == 0) {
        const int quarter = (int(turns / 90) + 4) % 4;
        const double cosines[] = {1, 0, -1, 0};
        c = cosines[quarter];
        s = cosines[(quarter + 3) % 4];
        return;
    }
    c = std::cos(turns * pi / 180);
    s = std::sin(turns * pi / 180);
}

// One transform function: its name, then its arguments in parentheses.
SvgAffine readTransformFunction(Scanner &s) {
    const size_t begin = s.at;
    while (!s.atEnd() && std::isalpha(static_cast<unsigned char>(s.peek()))) ++s.at;
    const std::string name = s.text.substr(begin, s.at - begin);
    struct Form {
        const char *name;
        int fewest, most;
    };
    static const Form forms[] = {{"matrix", 6, 6}, {"translate", 1, 2}, {"scale", 1, 2},
                                 {"rotate", 1, 3}, {"skewX", 1, 1},     {"skewY", 1, 1}};
    const Form *form = nullptr;
    for (const Form &f : forms)
        if (name == f.name) form = &f;
    if (!form) expected(s, "matrix, translate, scale, rotate, skewX or skewY", begin);
    skipSpace(s);
    if (s.peek() != '(') expected(s, "\"(\"");
    ++s.at;
    skipSpace(s);
    double v[6] = {};
    int count = 0;
    while (s.peek() != ')') {
        if (count == form->most) expected(s, "\")\" after " + std::to_string(count) + " numbers");
        if (count > 0) skipCommaSpace(s);
        v[count++] = readNumber(s);
        skipSpace(s);
    }
    if (count < form->fewest || (name == "rotate" && count == 2))
        expected(s, name == "rotate" ? "1 or 3 numbers" : "at least " + std::to_string(form->fewest) + " numbers");
    ++s.at;
    SvgAffine m;
    double c = 1, sn = 0;
    if (name == "matrix") {
        m = SvgAffine{v[0], v[1], v[2], v[3], v[4], v[5]};
    } else if (name == "translate") {
        m.e = v[0];
        m.f = count == 2 ? v[1] : 0;
    } else if (name == "scale") {
        m.a = v[0];
        m.d = count == 2 ? v[1] : v[0];
    } else if (name == "rotate") {
        cosSin(v[0], c, sn);
        m = SvgAffine{c, sn, -sn, c, 0, 0};
        if (count == 3)
            m = svgCompose(SvgAffine{1, 0, 0, 1, v[1], v[2]}, svgCompose(m, SvgAffine{1, 0, 0, 1, -v[1], -v[2]}));
    } else {
        cosSin(v[0], c, sn);
        if (c == 0) throw TextFault{begin, name + " of a quarter turn has no finite slope"};
        (name == "skewX" ? m.c : m.b) = sn / c;
    }
    return m;
}

}  // namespace

bool parseSvgPath(const std::string &d, std::vector<SvgSubpath> &subpaths, std::string &error) {
    Scanner s{d};
    PathState p;
    try {
        readPath(s, p);
    } catch (const TextFault &fault) {
        error = faultMessage(fault);
        return false;
    }
    subpaths = std::move(p.subpaths);
    return true;
}

bool parseSvgNumbers(const std::string &text, std::vector<double> &numbers, std::string &error) {
    Scanner s{text};
    std::vector<double> result;
    try {
        skipSpace(s);
        while (!s.atEnd()) {
            result.push_back(readNumber(s));
            if (skipCommaSpace(s) && s.atEnd()) expected(s, "a number");
        }
    } catch (const TextFault &fault) {
        error = faultMessage(fault);
        return false;
    }
    numbers = std::move(result);
    return true;
}

SvgAffine svgCompose(const SvgAffine &o, const SvgAffine &i) {
    return SvgAffine{o.a * i.a + o.c * i.b, o.b * i.a + o.d * i.b,       o.a * i.c + o.c * i.d,
                     o.b * i.c + o.d * i.d, o.a * i.e + o.c * i.f + o.e, o.b * i.e + o.d * i.f + o.f};
}

bool parseSvgTransform(const std::string &text, SvgAffine &transform, std::string &error) {
    Scanner s{text};
    SvgAffine result;
    try {
        skipSpace(s);
        while (!s.atEnd()) {
            result = svgCompose(result, readTransformFunction(s));
            skipCommaSpace(s);
        }
    } catch (const TextFault &fault) {
        error = faultMessage(fault);
        return false;
    }
    transform = result;
    return true;
}

bool svgSubpathMask(const SvgSubpath &subpath, minihost::Mask &mask, std::string &error) {
    if (subpath.segments.empty()) {
        error = "is only a moveto, not an outline";
        return false;
    }
    minihost::Mask result;
    result.closed = subpath.closed;
    minihost::MaskVertex start;
    start.x = subpath.startX;
    start.y = subpath.startY;
    result.vertices.push_back(start);
    for (const SvgCubic &segment : subpath.segments) {
        minihost::MaskVertex &from = result.vertices.back();
        from.outX = segment.x1 - from.x;
        from.outY = segment.y1 - from.y;
        minihost::MaskVertex to;
        to.x = segment.x;
        to.y = segment.y;
        to.inX = segment.x2 - segment.x;
        to.inY = segment.y2 - segment.y;
        result.vertices.push_back(to);
    }
    const minihost::MaskVertex &last = result.vertices.back();
    if (subpath.closed && last.x == start.x && last.y == start.y) {
        result.vertices.front().inX = last.inX;
        result.vertices.front().inY = last.inY;
        result.vertices.pop_back();
    }
    mask = std::move(result);
    return true;
}

void transformMask(minihost::Mask &mask, const SvgAffine &m) {
    for (minihost::MaskVertex &v : mask.vertices) {
        const minihost::MaskVertex from = v;
        v.x = m.a * from.x + m.c * from.y + m.e;
        v.y = m.b * from.x + m.d * from.y + m.f;
        v.inX = m.a * from.inX + m.c * from.inY;
        v.inY = m.b * from.inX + m.d * from.inY;
        v.outX = m.a * from.outX + m.c * from.outY;
        v.outY = m.b * from.outX + m.d * from.outY;
    }
}

}  // namespace pathbloom

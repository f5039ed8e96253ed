// Turns the vendored SVG icons into the toolkit's icon table: a C++ source with one path element
// array per icon (move, line, quad, cubic and close elements in artwork units) and the table in the
// order the manifest lists. Every icon becomes one stroked path of several subpaths, so an icon
// takes two command-id parts at most. Arcs, circles, ellipses and rounded corners become cubic
// segments of at most a quarter turn each.
//
//   svg_icon_paths <manifest> <output.cpp>
//
// The manifest holds one "<name> <file>" line per icon (files relative to the manifest's folder);
// blank lines and lines starting with '#' are skipped, and the name "missing" is the glyph drawn
// for names the table lacks. Any element or path command the converter does not know fails the
// build rather than drawing a wrong icon.

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Pt {
    double x = 0;
    double y = 0;
};

enum class Verb { move, line, quad, cubic, close };

struct Element {
    Verb verb = Verb::move;
    Pt p[3];
};

struct Icon {
    std::string name;
    std::string file;
    std::vector<Element> elements;
};

[[noreturn]] void die(const std::string& message) {
    std::fprintf(stderr, "svg_icon_paths: %s\n", message.c_str());
    std::exit(1);
}

class PathBuilder {
public:
    explicit PathBuilder(std::vector<Element>& out) : out_(out) {}

    void moveTo(Pt p) {
        out_.push_back({Verb::move, {p, {}, {}}});
        current_ = start_ = p;
        open_ = true;
    }
    void lineTo(Pt p) {
        ensureOpen();
        out_.push_back({Verb::line, {p, {}, {}}});
        current_ = p;
    }
    void quadTo(Pt c, Pt p) {
        ensureOpen();
        out_.push_back({Verb::quad, {c, p, {}}});
        current_ = p;
    }
    void cubicTo(Pt c1, Pt c2, Pt p) {
        ensureOpen();
        out_.push_back({Verb::cubic, {c1, c2, p}});
        current_ = p;
    }
    void close() {
        if (!open_) return;
        out_.push_back({Verb::close, {}});
        current_ = start_;
        open_ = false;
    }

    // The SVG elliptical arc from the current point (endpoint parameterisation) as cubics.
    void arcTo(double rx, double ry, double rotationDegrees, bool largeArc, bool sweep, Pt to) {
        const Pt from = current_;
        if (from.x == to.x && from.y == to.y) return;
        rx = std::fabs(rx);
        ry = std::fabs(ry);
        if (rx == 0 || ry == 0) {
            lineTo(to);
            return;
        }
        const double phi = rotationDegrees * M_PI / 180.0;
        const double cosPhi = std::cos(phi);
        const double sinPhi = std::sin(phi);
        const double dx = (from.x - to.x) / 2;
        const double dy = (from.y - to.y) / 2;
        const double x1 = cosPhi * dx + sinPhi * dy;
        const double y1 = -sinPhi * dx + cosPhi * dy;
        const double lambda = (x1 * x1) / (rx * rx) + (y1 * y1) / (ry * ry);
        if (lambda > 1) {
            rx *= std::sqrt(lambda);
            ry *= std::sqrt(lambda);
        }
        const double num = rx * rx * ry * ry - rx * rx * y1 * y1 - ry * ry * x1 * x1;
        const double den = rx * rx * y1 * y1 + ry * ry * x1 * x1;
        double factor = std::sqrt(std::max(num / den, 0.0));
        if (largeArc == sweep) factor = -factor;
        const double cx1 = factor * rx * y1 / ry;
        const double cy1 = -factor * ry * x1 / rx;
        const Pt centre{cosPhi * cx1 - sinPhi * cy1 + (from.x + to.x) / 2,
                        sinPhi * cx1 + cosPhi * cy1 + (from.y + to.y) / 2};
        const double theta1 = std::atan2((y1 - cy1) / ry, (x1 - cx1) / rx);
        double delta = std::atan2((-y1 - cy1) / ry, (-x1 - cx1) / rx) - theta1;
        if (sweep && delta < 0) delta += 2 * M_PI;
        if (!sweep && delta > 0) delta -= 2 * M_PI;
        ellipseSegments(centre, rx, ry, phi, theta1, delta, to);
    }

    // Cubics along the ellipse from angle `start` turning by `delta` (radians), ending exactly at `end`.
    void ellipseSegments(Pt centre, double rx, double ry, double phi, double start, double delta, Pt end) {
        const int count = std::max(1, static_cast<int>(std::ceil(std::fabs(delta) / (M_PI / 2) - 1e-9)));
        const double step = delta / count;
        const double k = 4.0 / 3.0 * std::tan(step / 4);
        const double cosPhi = std::cos(phi);
        const double sinPhi = std::sin(phi);
        auto at = [&](double a, double along) {
            // The point at angle a, moved `along` times its tangent.
            const double ex = rx * (std::cos(a) - along * std::sin(a));
            const double ey = ry * (std::sin(a) + along * std::cos(a));
            return Pt{centre.x + cosPhi * ex - sinPhi * ey, centre.y + sinPhi * ex + cosPhi * ey};
        };
        for (int i = 0; i < count; ++i) {
            const double a0 = start + step * i;
            const double a1 = a0 + step;
            const Pt target = i + 1 == count ? end : at(a1, 0);
            cubicTo(at(a0, k), at(a1, -k), target);
        }
    }

    [[nodiscard]] Pt current() const { return current_; }

private:
    void ensureOpen() {
        if (!open_) moveTo(current_);
    }

    std::vector<Element>& out_;
    Pt current_;
    Pt start_;
    bool open_ = false;
};

// Reads the numbers and flags of an SVG path's data.
class PathData {
public:
    explicit PathData(std::string_view text) : text_(text) {}

    void skipSeparators() {
        while (at_ < text_.size() && (std::isspace(static_cast<unsigned char>(text_[at_])) || text_[at_] == ',')) {
            ++at_;
        }
    }
    bool atEnd() {
        skipSeparators();
        return at_ >= text_.size();
    }
    bool nextIsNumber() {
        skipSeparators();
        if (at_ >= text_.size()) return false;
        const char c = text_[at_];
        return std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.';
    }
    char command() {
        skipSeparators();
        return text_[at_++];
    }
    double number() {
        skipSeparators();
        std::size_t end = at_;
        if (end < text_.size() && (text_[end] == '-' || text_[end] == '+')) ++end;
        bool dot = false;
        while (end < text_.size()) {
            const char c = text_[end];
            if (std::isdigit(static_cast<unsigned char>(c))) {
                ++end;
            } else if (c == '.' && !dot) {
                dot = true;
                ++end;
            } else {
                break;
            }
        }
        if (end < text_.size() && (text_[end] == 'e' || text_[end] == 'E')) {
            std::size_t exp = end + 1;
            if (exp < text_.size() && (text_[exp] == '-' || text_[exp] == '+')) ++exp;
            if (exp < text_.size() && std::isdigit(static_cast<unsigned char>(text_[exp]))) {
                end = exp;
                while (end < text_.size() && std::isdigit(static_cast<unsigned char>(text_[end]))) ++end;
            }
        }
        if (end == at_) die("expected a number in path data: " + std::string(text_));
        const std::string token(text_.substr(at_, end - at_));
        at_ = end;
        return std::strtod(token.c_str(), nullptr);
    }
    // Arc flags are single digits and may touch what follows ("011 5 5").
    bool flag() {
        skipSeparators();
        if (at_ >= text_.size() || (text_[at_] != '0' && text_[at_] != '1')) die("expected an arc flag");
        return text_[at_++] == '1';
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

void convertPathData(std::string_view d, std::vector<Element>& out) {
    PathBuilder path(out);
    PathData data(d);
    char command = 0;
    Pt lastControl;  // the reflected control of S and T
    char lastCommand = 0;
    while (!data.atEnd()) {
        if (!data.nextIsNumber()) {
            command = data.command();
        } else if (command == 0) {
            die("path data starts with a number");
        }
        const bool relative = std::islower(static_cast<unsigned char>(command));
        const Pt base = relative ? path.current() : Pt{};
        auto point = [&]() {
            const double x = data.number();
            const double y = data.number();
            return Pt{base.x + x, base.y + y};
        };
        const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(command)));
        switch (upper) {
            case 'M':
                path.moveTo(point());
                // Further pairs after a move are lines.
                command = relative ? 'l' : 'L';
                break;
            case 'L':
                path.lineTo(point());
                break;
            case 'H': {
                const double x = data.number();
                path.lineTo({relative ? base.x + x : x, path.current().y});
                break;
            }
            case 'V': {
                const double y = data.number();
                path.lineTo({path.current().x, relative ? base.y + y : y});
                break;
            }
            case 'C': {
                const Pt c1 = point();
                const Pt c2 = point();
                path.cubicTo(c1, c2, point());
                lastControl = c2;
                break;
            }
            case 'S': {
                const Pt cur = path.current();
                const bool follows = lastCommand == 'C' || lastCommand == 'S';
                const Pt c1 = follows ? Pt{2 * cur.x - lastControl.x, 2 * cur.y - lastControl.y} : cur;
                const Pt c2 = point();
                path.cubicTo(c1, c2, point());
                lastControl = c2;
                break;
            }
            case 'Q': {
                const Pt c = point();
                path.quadTo(c, point());
                lastControl = c;
                break;
            }
            case 'T': {
                const Pt cur = path.current();
                const bool follows = lastCommand == 'Q' || lastCommand == 'T';
                const Pt c = follows ? Pt{2 * cur.x - lastControl.x, 2 * cur.y - lastControl.y} : cur;
                path.quadTo(c, point());
                lastControl = c;
                break;
            }
            case 'A': {
                const double rx = data.number();
                const double ry = data.number();
                const double rotation = data.number();
                const bool large = data.flag();
                const bool sweep = data.flag();
                path.arcTo(rx, ry, rotation, large, sweep, point());
                break;
            }
            case 'Z':
                path.close();
                if (data.nextIsNumber()) die("numbers after a close in path data");
                break;
            default:
                die(std::string("unknown path command '") + command + "'");
        }
        lastCommand = upper;
    }
}

std::optional<std::string> attribute(std::string_view element, std::string_view name) {
    std::size_t at = 0;
    const std::string key = std::string(name) + "=\"";
    while ((at = element.find(key, at)) != std::string_view::npos) {
        if (at > 0 && !std::isspace(static_cast<unsigned char>(element[at - 1]))) {
            at += key.size();
            continue;
        }
        const std::size_t start = at + key.size();
        const std::size_t end = element.find('"', start);
        if (end == std::string_view::npos) die("unterminated attribute " + std::string(name));
        return std::string(element.substr(start, end - start));
    }
    return std::nullopt;
}

double number(std::string_view element, std::string_view name, double otherwise) {
    const std::optional<std::string> text = attribute(element, name);
    return text ? std::strtod(text->c_str(), nullptr) : otherwise;
}

void convertEllipse(Pt c, double rx, double ry, std::vector<Element>& out) {
    PathBuilder path(out);
    path.moveTo({c.x + rx, c.y});
    path.ellipseSegments(c, rx, ry, 0, 0, 2 * M_PI, {c.x + rx, c.y});
    path.close();
}

void convertRect(std::string_view element, std::vector<Element>& out) {
    const double x = number(element, "x", 0);
    const double y = number(element, "y", 0);
    const double w = number(element, "width", 0);
    const double h = number(element, "height", 0);
    const std::optional<std::string> rxText = attribute(element, "rx");
    const std::optional<std::string> ryText = attribute(element, "ry");
    double rx = rxText ? std::strtod(rxText->c_str(), nullptr) : 0;
    double ry = ryText ? std::strtod(ryText->c_str(), nullptr) : rx;
    if (!rxText) rx = ry;
    rx = std::min(rx, w / 2);
    ry = std::min(ry, h / 2);
    PathBuilder path(out);
    if (rx <= 0 || ry <= 0) {
        path.moveTo({x, y});
        path.lineTo({x + w, y});
        path.lineTo({x + w, y + h});
        path.lineTo({x, y + h});
        path.close();
        return;
    }
    // Clockwise from the end of the top-left corner, one quarter arc per corner.
    path.moveTo({x + rx, y});
    path.lineTo({x + w - rx, y});
    path.ellipseSegments({x + w - rx, y + ry}, rx, ry, 0, -M_PI / 2, M_PI / 2, {x + w, y + ry});
    path.lineTo({x + w, y + h - ry});
    path.ellipseSegments({x + w - rx, y + h - ry}, rx, ry, 0, 0, M_PI / 2, {x + w - rx, y + h});
    path.lineTo({x + rx, y + h});
    path.ellipseSegments({x + rx, y + h - ry}, rx, ry, 0, M_PI / 2, M_PI / 2, {x, y + h - ry});
    path.lineTo({x, y + ry});
    path.ellipseSegments({x + rx, y + ry}, rx, ry, 0, M_PI, M_PI / 2, {x + rx, y});
    path.close();
}

void convertPoints(std::string_view element, bool closed, std::vector<Element>& out) {
    const std::optional<std::string> points = attribute(element, "points");
    if (!points) die("polyline without points");
    PathData data(*points);
    PathBuilder path(out);
    bool first = true;
    while (!data.atEnd()) {
        const double x = data.number();
        const double y = data.number();
        if (first) {
            path.moveTo({x, y});
        } else {
            path.lineTo({x, y});
        }
        first = false;
    }
    if (closed) path.close();
}

void convertElement(std::string_view tag, std::string_view element, std::vector<Element>& out) {
    if (tag == "path") {
        const std::optional<std::string> d = attribute(element, "d");
        if (!d) die("path without data");
        convertPathData(*d, out);
    } else if (tag == "circle") {
        const double r = number(element, "r", 0);
        convertEllipse({number(element, "cx", 0), number(element, "cy", 0)}, r, r, out);
    } else if (tag == "ellipse") {
        convertEllipse({number(element, "cx", 0), number(element, "cy", 0)}, number(element, "rx", 0),
                       number(element, "ry", 0), out);
    } else if (tag == "rect") {
        convertRect(element, out);
    } else if (tag == "line") {
        PathBuilder path(out);
        path.moveTo({number(element, "x1", 0), number(element, "y1", 0)});
        path.lineTo({number(element, "x2", 0), number(element, "y2", 0)});
    } else if (tag == "polyline" || tag == "polygon") {
        convertPoints(element, tag == "polygon", out);
    } else {
        die("unknown SVG element <" + std::string(tag) + ">");
    }
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) die("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The drawing elements of one SVG file, checked against the artwork the table expects.
std::vector<Element> convertSvg(const std::string& path) {
    const std::string svg = readFile(path);
    const std::size_t root = svg.find("<svg");
    if (root == std::string::npos) die(path + ": no <svg> element");
    const std::size_t rootEnd = svg.find('>', root);
    const std::string_view rootElement = std::string_view(svg).substr(root, rootEnd - root);
    if (attribute(rootElement, "viewBox").value_or("") != "0 0 24 24" ||
        attribute(rootElement, "stroke-width").value_or("") != "2" ||
        attribute(rootElement, "stroke-linecap").value_or("") != "round" ||
        attribute(rootElement, "fill").value_or("") != "none") {
        die(path + ": not a 24 x 24 outline icon of stroke width 2 with round caps");
    }
    std::vector<Element> out;
    std::size_t at = rootEnd;
    while ((at = svg.find('<', at)) != std::string::npos) {
        ++at;
        if (svg.compare(at, 4, "/svg") == 0) break;
        if (svg.compare(at, 3, "!--") == 0) {
            at = svg.find("-->", at);
            continue;
        }
        std::size_t nameEnd = at;
        while (nameEnd < svg.size() && std::isalpha(static_cast<unsigned char>(svg[nameEnd]))) ++nameEnd;
        const std::size_t end = svg.find('>', at);
        if (end == std::string::npos) die(path + ": unterminated element");
        const std::string_view element = std::string_view(svg).substr(at, end - at);
        if (attribute(element, "fill").has_value() || attribute(element, "stroke-width").has_value()) {
            die(path + ": an element with its own paint");
        }
        convertElement(std::string_view(svg).substr(at, nameEnd - at), element, out);
        at = end;
    }
    if (out.empty()) die(path + ": draws nothing");
    return out;
}

std::string coordinate(double value) {
    char text[40];
    const float rounded = static_cast<float>(value);
    std::snprintf(text, sizeof text, "%.9g", rounded == 0 ? 0.0 : static_cast<double>(rounded));
    return text;
}

std::string identifier(const std::string& name) {
    std::string id = "k";
    bool upper = true;
    for (char c : name) {
        if (c == '-') {
            upper = true;
            continue;
        }
        id += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
        upper = false;
    }
    return id;
}

void writeElements(std::ostream& out, const Icon& icon) {
    static const char* const kVerbs[] = {"move_to", "line_to", "quad_to", "cubic_to", "close"};
    static const int kPoints[] = {1, 1, 2, 3, 0};
    out << "constexpr PathElement " << identifier(icon.name) << "Elements[] = {\n";
    for (const Element& e : icon.elements) {
        const int used = kPoints[static_cast<int>(e.verb)];
        out << "    {{";
        for (int i = 0; i < 3; ++i) {
            if (i > 0) out << ", ";
            if (i < used) {
                out << "{" << coordinate(e.p[i].x) << ", " << coordinate(e.p[i].y) << "}";
            } else {
                out << "{0, 0}";
            }
        }
        out << "}, PathVerb::" << kVerbs[static_cast<int>(e.verb)] << "},\n";
    }
    out << "};\n";
}

void writeIcon(std::ostream& out, const Icon& icon) {
    const std::string id = identifier(icon.name);
    writeElements(out, icon);
    out << "constexpr VectorIconPath " << id << "Paths[] = {{.first = 0, .count = " << icon.elements.size() << "}};\n";
    out << "constexpr VectorIcon " << id << "{.elements = " << id << "Elements, .paths = " << id << "Paths};\n\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) die("usage: svg_icon_paths <manifest> <output.cpp>");
    const std::string manifest = argv[1];
    const std::string folder = manifest.substr(0, manifest.find_last_of('/') + 1);
    std::vector<Icon> icons;
    std::optional<Icon> missing;
    std::istringstream lines(readFile(manifest));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        Icon icon;
        if (!(fields >> icon.name >> icon.file)) die("malformed manifest line: " + line);
        icon.elements = convertSvg(folder + icon.file);
        if (icon.name == "missing") {
            missing = std::move(icon);
        } else {
            icons.push_back(std::move(icon));
        }
    }
    if (!missing) die("the manifest names no missing-icon glyph");

    std::ostringstream out;
    out << "// Generated by tools/svg_icon_paths.cpp from third_party/icons; do not edit.\n\n"
        << "#include \"widgets/vector_icons.hpp\"\n\n"
        << "namespace kelvo {\n\nnamespace {\n\n";
    for (const Icon& icon : icons) writeIcon(out, icon);
    writeIcon(out, *missing);
    out << "constexpr VectorIconEntry kEntries[] = {\n";
    for (const Icon& icon : icons) out << "    {\"" << icon.name << "\", &" << identifier(icon.name) << "},\n";
    out << "};\n\n}  // namespace\n\n"
        << "std::span<const VectorIconEntry> vectorIconEntries() { return kEntries; }\n\n"
        << "const VectorIcon& missingVectorIcon() { return " << identifier(missing->name) << "; }\n\n"
        << "}  // namespace kelvo\n";

    const std::string output = argv[2];
    {
        std::ofstream file(output + ".tmp", std::ios::binary);
        file << out.str();
        if (!file) die("cannot write " + output);
    }
    if (std::rename((output + ".tmp").c_str(), output.c_str()) != 0) die("cannot rename " + output);
    return 0;
}

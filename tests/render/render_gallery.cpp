#include "render_gallery.hpp"

#include <cmath>
#include <cstdio>

#include "text/text_metrics.hpp"

namespace kelvo::testing {

namespace {

constexpr Color rgb(int r, int g, int b, float a = 1.0f) {
    return {static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f, static_cast<float>(b) / 255.0f, a};
}

constexpr Color kBackground = rgb(246, 247, 249);
constexpr Color kSidebar = rgb(236, 238, 242);
constexpr Color kCard = rgb(255, 255, 255);
constexpr Color kBorder = rgb(214, 218, 225);
constexpr Color kText = rgb(28, 32, 40);
constexpr Color kMuted = rgb(104, 112, 126);
constexpr Color kAccent = rgb(37, 99, 235);
constexpr Color kAccentSoft = rgb(219, 231, 254);
constexpr Color kGreen = rgb(22, 163, 74);
constexpr Color kOrange = rgb(234, 128, 22);

struct Builder {
    RenderGallery& gallery;
    std::uint64_t next_id = 16;

    std::uint64_t id() { return next_id += 16; }
    void add(const CanvasCommand& command) { gallery.commands.push_back(command); }

    void fill(Rect rect, Color colour) { add(CanvasCommand::fillRect({id(), Paint::solid(colour), rect})); }
    void rounded(Rect rect, float radius, Color colour) {
        add(CanvasCommand::fillRoundedRect({id(), Paint::solid(colour), rect, {radius, radius, radius, radius}}));
    }
    void outline(Rect rect, float radius, Color colour, float width = 1) {
        add(CanvasCommand::strokeRect({id(), {Paint::solid(colour), width}, rect, {radius, radius, radius, radius}}));
    }
    void line(Point from, Point to, Color colour, float width = 1) {
        add(CanvasCommand::drawLine({id(), {Paint::solid(colour), width}, from, to}));
    }
    void text(std::string words, Point origin, float size, Color colour, std::uint64_t font = kFontRegular) {
        const std::string& stored = gallery.texts.emplace_back(std::move(words));
        add(CanvasCommand::drawText({id(), font, stored, {}, std::nullopt, size, origin, colour}));
    }
    void wrapped(std::string words, Point origin, float size, float width, Color colour) {
        const std::string& stored = gallery.texts.emplace_back(std::move(words));
        TextLayoutBox box{nullptr, width, size * 1.4f, TextWrap::word, TextAlign::start, false};
        add(CanvasCommand::drawText({id(), kFontRegular, stored, {}, box, size, origin, colour}));
    }
    Paint gradient(Point start, Point end, Color from, Color to) {
        const std::vector<GradientStop>& stops =
            gallery.stops.emplace_back(std::vector<GradientStop>{{0, from}, {1, to}});
        return Paint::linear({stops, start, end});
    }
    void shadow(Rect rect, float radius, float blur, Point offset) {
        add(CanvasCommand::shadowOf(
            {id(), rect, rgb(15, 23, 42, 0.18f), offset, blur, 0, {radius, radius, radius, radius}}));
    }
    // A card: shadow, body, border, title.
    void card(Rect rect, const char* title) {
        shadow(rect, 10, 12, {0, 4});
        rounded(rect, 10, kCard);
        outline(rect, 10, kBorder);
        text(title, {rect.x + 18, rect.y + 30}, 15, kText);
    }
    void button(Rect rect, const char* label, bool primary) {
        if (primary) {
            add(CanvasCommand::fillRoundedRect(
                {id(),
                 gradient({0, rect.y}, {0, rect.y + rect.height}, rgb(59, 130, 246), kAccent),
                 rect,
                 {6, 6, 6, 6}}));
        } else {
            rounded(rect, 6, kCard);
            outline(rect, 6, kBorder);
        }
        float width = estimateTextWidth(kFontRegular, label, 13);
        text(label, {rect.x + (rect.width - width) / 2, rect.y + rect.height / 2 + 4.5f}, 13, primary ? kCard : kText);
    }
};

void buildImage(RenderGallery& gallery) {
    const int size = 48;
    gallery.image_pixels.resize(size * size * 4);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            std::uint8_t* p = &gallery.image_pixels[static_cast<std::size_t>((y * size + x) * 4)];
            float fx = static_cast<float>(x) / size;
            float fy = static_cast<float>(y) / size;
            bool sun = (fx - 0.7f) * (fx - 0.7f) + (fy - 0.3f) * (fy - 0.3f) < 0.02f;
            bool hill = fy > 0.65f + 0.12f * std::sin(fx * 6.0f);
            p[0] = static_cast<std::uint8_t>(sun ? 250 : hill ? 60 : 120 + 80 * fy);
            p[1] = static_cast<std::uint8_t>(sun ? 200 : hill ? 150 : 170 + 60 * fy);
            p[2] = static_cast<std::uint8_t>(sun ? 60 : hill ? 80 : 240);
            p[3] = 255;
        }
    }
    gallery.image = {kGalleryImageId, size, size, gallery.image_pixels};
}

void sidebar(Builder& b) {
    b.fill({0, 0, 240, kGalleryHeight}, kSidebar);
    b.line({240, 0}, {240, kGalleryHeight}, kBorder);
    b.rounded({20, 22, 28, 28}, 8, kAccent);
    b.text("WORKSPACE", {28, 72}, 10, kMuted);
    b.text("K", {29, 42}, 16, kCard);
    b.text("Vostra Studio", {58, 42}, 16, kText);
    const char* items[] = {"Overview",  "Documents", "Shared with me", "Recent",   "Starred",
                           "Templates", "Archive",   "Trash",          "Settings", "Help"};
    for (int i = 0; i < 10; ++i) {
        float y = 80 + static_cast<float>(i) * 36;
        if (i == 1) b.rounded({12, y, 216, 30}, 6, kAccentSoft);
        b.rounded({28, y + 9, 12, 12}, 3, i == 1 ? kAccent : kMuted);
        b.text(items[i], {52, y + 20}, 13, i == 1 ? kAccent : kText);
        if (i < 5) {
            char count[16];
            std::snprintf(count, sizeof count, "%d", 3 + i * 7);
            b.rounded({186, y + 7, 26, 16}, 8, i == 1 ? kAccent : kBorder);
            b.text(count, {192, y + 19}, 10, i == 1 ? kCard : kText);
        }
    }
    // A list that scrolls: clipped and moved up.
    b.add(CanvasCommand::pushClip({b.id(), {12, 460, 216, 300}, {}}));
    b.add(CanvasCommand::transformBy({1, 0, 0, 1, 0, -14}));
    for (int i = 0; i < 12; ++i) {
        float y = 470 + static_cast<float>(i) * 28;
        char label[32];
        std::snprintf(label, sizeof label, "Draft %02d.vrs", i + 1);
        b.text(label, {28, y + 18}, 12, kMuted, i % 3 == 0 ? kFontMonospace : kFontRegular);
    }
    b.add(CanvasCommand::transformBy({1, 0, 0, 1, 0, 14}));
    b.add(CanvasCommand::popClip());
}

void header(Builder& b) {
    b.fill({241, 0, kGalleryWidth - 241, 64}, kCard);
    b.line({241, 64}, {kGalleryWidth, 64}, kBorder);
    b.text("Documents", {272, 40}, 20, kText);
    b.rounded({640, 16, 320, 32}, 16, kBackground);
    b.outline({640, 16, 320, 32}, 16, kBorder);
    b.text("Search documents", {664, 37}, 13, kMuted);
    b.button({1000, 16, 110, 32}, "New document", true);
    b.button({1124, 16, 80, 32}, "Share", false);
    b.add(CanvasCommand::fillRoundedRect({b.id(), Paint::solid(kOrange), {1222, 16, 32, 32}, {16, 16, 16, 16}}));
    b.text("AB", {1229, 37}, 12, kCard);
}

void chart(Builder& b, Rect plot) {
    for (int i = 0; i <= 4; ++i) {
        float y = plot.y + plot.height * static_cast<float>(i) / 4;
        b.line({plot.x, y}, {plot.x + plot.width, y}, kBorder);
        char label[32];
        std::snprintf(label, sizeof label, "%d", 100 - i * 25);
        b.text(label, {plot.x - 28, y + 4}, 11, kMuted);
    }
    std::vector<PathElement>& area = b.gallery.paths.emplace_back();
    std::vector<PathElement>& line = b.gallery.paths.emplace_back();
    for (int i = 0; i <= 40; ++i) {
        float x = plot.x + plot.width * static_cast<float>(i) / 40;
        float value =
            0.5f + 0.3f * std::sin(static_cast<float>(i) * 0.35f) + 0.1f * std::cos(static_cast<float>(i) * 1.3f);
        Point p{x, plot.y + plot.height * (1 - value)};
        line.push_back(i == 0 ? PathElement::moveTo(p) : PathElement::lineTo(p));
        area.push_back(i == 0 ? PathElement::moveTo(p) : PathElement::lineTo(p));
    }
    const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug"};
    for (int m = 0; m < 8; ++m) {
        b.text(months[m], {plot.x + plot.width * static_cast<float>(m) / 7 - 9, plot.y + plot.height + 18}, 10, kMuted);
    }
    b.rounded({plot.x + plot.width - 120, plot.y - 30, 10, 10}, 5, kAccent);
    b.text("This year", {plot.x + plot.width - 104, plot.y - 21}, 11, kText);
    area.push_back(PathElement::lineTo({plot.x + plot.width, plot.y + plot.height}));
    area.push_back(PathElement::lineTo({plot.x, plot.y + plot.height}));
    area.push_back(PathElement::close());
    b.add(CanvasCommand::fillPath(
        {b.id(), area,
         b.gradient({0, plot.y}, {0, plot.y + plot.height}, rgb(37, 99, 235, 0.35f), rgb(37, 99, 235, 0.0f))}));
    b.add(CanvasCommand::strokePath({b.id(), line, {Paint::solid(kAccent), 2.5f}, LineCap::round}));
    // Markers: small circles as cubic paths.
    for (int i = 0; i <= 40; i += 8) {
        Point c = line[static_cast<std::size_t>(i)].points[0];
        const float r = 4;
        const float k = r * 0.5522848f;
        std::vector<PathElement>& dot = b.gallery.paths.emplace_back(std::vector<PathElement>{
            PathElement::moveTo({c.x + r, c.y}),
            PathElement::cubicTo({c.x + r, c.y + k}, {c.x + k, c.y + r}, {c.x, c.y + r}),
            PathElement::cubicTo({c.x - k, c.y + r}, {c.x - r, c.y + k}, {c.x - r, c.y}),
            PathElement::cubicTo({c.x - r, c.y - k}, {c.x - k, c.y - r}, {c.x, c.y - r}),
            PathElement::cubicTo({c.x + k, c.y - r}, {c.x + r, c.y - k}, {c.x + r, c.y}), PathElement::close()});
        b.add(CanvasCommand::fillPath({b.id(), dot, Paint::solid(kCard)}));
        b.add(CanvasCommand::strokePath({b.id(), dot, {Paint::solid(kAccent), 2}, LineCap::butt}));
    }
}

void cards(Builder& b) {
    const char* names[] = {"Revenue", "Active editors", "Documents saved"};
    const char* values[] = {"$48,210", "1,284", "9,731"};
    const char* deltas[] = {"+12.4%", "+3.1%", "-0.8%"};
    for (int i = 0; i < 3; ++i) {
        Rect rect{272 + static_cast<float>(i) * 330, 92, 306, 120};
        b.card(rect, names[i]);
        b.text(values[i], {rect.x + 18, rect.y + 74}, 28, kText);
        b.rounded({rect.x + 18, rect.y + 88, 56, 20}, 10, i == 2 ? rgb(254, 226, 226) : rgb(220, 252, 231));
        std::vector<PathElement>& spark = b.gallery.paths.emplace_back();
        for (int j = 0; j <= 12; ++j) {
            Point p{rect.x + 180 + static_cast<float>(j) * 9,
                    rect.y + 80 - 22 * (0.5f + 0.4f * std::sin(static_cast<float>(j + i * 3) * 0.7f))};
            spark.push_back(j == 0 ? PathElement::moveTo(p) : PathElement::lineTo(p));
        }
        b.add(CanvasCommand::strokePath(
            {b.id(), spark, {Paint::solid(i == 2 ? rgb(220, 38, 38) : kGreen), 1.5f}, LineCap::round}));
        b.text(deltas[i], {rect.x + 26, rect.y + 102}, 11, i == 2 ? rgb(185, 28, 28) : kGreen);
    }
    Rect plot_card{272, 236, 636, 300};
    b.card(plot_card, "Edits per day");
    chart(b, {plot_card.x + 56, plot_card.y + 56, plot_card.width - 80, plot_card.height - 90});

    Rect side{932, 236, 306, 300};
    b.card(side, "Latest image");
    b.add(CanvasCommand::drawImage({b.id(),
                                    kGalleryImageId,
                                    std::nullopt,
                                    {side.x + 18, side.y + 48, 270, 150},
                                    1,
                                    {8, 8, 8, 8},
                                    ImageFit::cover,
                                    ImageSampling::linear}));
    b.add(CanvasCommand::drawImage({b.id(),
                                    kGalleryImageId,
                                    Rect{8, 8, 24, 24},
                                    {side.x + 18, side.y + 214, 64, 64},
                                    1,
                                    {},
                                    ImageFit::stretch,
                                    ImageSampling::nearest}));
    b.wrapped("Taken at dawn above the valley, resized for the gallery card.", {side.x + 96, side.y + 228}, 12, 190,
              kMuted);
}

// A circle of radius r around c as four cubic quarters.
std::vector<PathElement> circle(Point c, float r) {
    const float k = r * 0.5522848f;
    return {PathElement::moveTo({c.x + r, c.y}),
            PathElement::cubicTo({c.x + r, c.y + k}, {c.x + k, c.y + r}, {c.x, c.y + r}),
            PathElement::cubicTo({c.x - k, c.y + r}, {c.x - r, c.y + k}, {c.x - r, c.y}),
            PathElement::cubicTo({c.x - r, c.y - k}, {c.x - k, c.y - r}, {c.x, c.y - r}),
            PathElement::cubicTo({c.x + k, c.y - r}, {c.x + r, c.y - k}, {c.x + r, c.y}),
            PathElement::close()};
}

void table(Builder& b) {
    Rect rect{272, 560, 600, 216};
    b.card(rect, "Recent documents");
    const char* columns[] = {"Name", "Owner", "Modified", "Size"};
    const float column_x[] = {0, 200, 340, 500};
    for (int c = 0; c < 4; ++c) b.text(columns[c], {rect.x + 18 + column_x[c], rect.y + 56}, 11, kMuted);
    b.line({rect.x + 1, rect.y + 64}, {rect.x + rect.width - 1, rect.y + 64}, kBorder);
    const char* names[] = {"Quarterly plan.vrs", "Launch notes.vrs", "Design review.vrs", "Budget 2025.vrs",
                           "Hiring plan.vrs",    "Roadmap.vrs",      "Team offsite.vrs",  "Retro notes.vrs"};
    const char* owners[] = {"Ana Lima", "Ben Ortiz", "Chen Wei", "Dana Kos",
                            "Eli Park", "Fay Moss",  "Gus Roy",  "Hana Ito"};
    const Color avatars[] = {kAccent, kGreen, kOrange, rgb(147, 51, 234)};
    for (int r = 0; r < 8; ++r) {
        float y = rect.y + 80 + static_cast<float>(r) * 17;
        if (r % 2 == 1) b.fill({rect.x + 1, y - 12, rect.width - 2, 17}, rgb(248, 250, 252));
        b.text(names[r], {rect.x + 18, y}, 11, kText);
        const std::vector<PathElement>& dot =
            b.gallery.paths.emplace_back(circle({rect.x + 18 + column_x[1] + 6, y - 4}, 6));
        b.add(CanvasCommand::fillPath({b.id(), dot, Paint::solid(avatars[r % 4])}));
        b.text(std::string(1, owners[r][0]), {rect.x + 18 + column_x[1] + 3, y - 0.5f}, 8, kCard);
        b.text(owners[r], {rect.x + 18 + column_x[1] + 18, y}, 11, kText);
        char modified[64];
        std::snprintf(modified, sizeof modified, "2025-0%d-1%d 09:4%d", r + 1, r + 2, r);
        b.text(modified, {rect.x + 18 + column_x[2], y}, 11, kMuted, kFontMonospace);
        char size[32];
        std::snprintf(size, sizeof size, "%d KB", 12 + r * 37);
        b.text(size, {rect.x + 18 + column_x[3], y}, 11, kMuted);
    }
}

// A year of activity: 7 rows of 26 weeks of small squares, shaded by a made-up count.
void activity(Builder& b) {
    Rect rect{896, 560, 342, 216};
    b.card(rect, "Activity");
    const Color shades[] = {rgb(235, 237, 240), rgb(190, 215, 250), rgb(120, 170, 245), rgb(59, 130, 246),
                            rgb(29, 78, 216)};
    for (int week = 0; week < 26; ++week) {
        for (int day = 0; day < 7; ++day) {
            int count = (week * 7 + day * 3 + (week * day) % 5) % 5;
            Rect cell{rect.x + 18 + static_cast<float>(week) * 11.5f, rect.y + 52 + static_cast<float>(day) * 11.5f, 9,
                      9};
            b.rounded(cell, 2, shades[count]);
        }
    }
    b.text("Less", {rect.x + 18, rect.y + 148}, 10, kMuted);
    for (int i = 0; i < 5; ++i) b.rounded({rect.x + 46 + static_cast<float>(i) * 12, rect.y + 140, 9, 9}, 2, shades[i]);
    b.text("More", {rect.x + 110, rect.y + 148}, 10, kMuted);
    b.wrapped("182 edits in the last six months, most of them on Tuesdays.", {rect.x + 18, rect.y + 176}, 11, 300,
              kMuted);
}

void dialog(Builder& b) {
    // A frosted toast in the corner: the content below it blurred, then a half-opaque panel.
    Rect toast{560, 448, 300, 70};
    b.add(CanvasCommand::blurOf({b.id(), toast, 6}));
    b.add(CanvasCommand::pushOpacity(0.9f));
    b.shadow(toast, 12, 16, {0, 6});
    b.rounded(toast, 12, rgb(17, 24, 39, 0.85f));
    b.text("Saved \xE2\x80\x94 all changes are stored", {toast.x + 20, toast.y + 30}, 13, kCard);
    b.text("Undo", {toast.x + 20, toast.y + 52}, 12, rgb(147, 197, 253));
    b.add(CanvasCommand::popOpacity());
    // A badge turned by 15 degrees about its centre: paths turn with the transform.
    Point centre{1178, 258};
    b.add(CanvasCommand::transformBy({0.9659258f, -0.2588190f, 0.2588190f, 0.9659258f,
                                      centre.x - 0.9659258f * centre.x - 0.2588190f * centre.y,
                                      centre.y + 0.2588190f * centre.x - 0.9659258f * centre.y}));
    const std::vector<PathElement>& badge = b.gallery.paths.emplace_back(std::vector<PathElement>{
        PathElement::moveTo({centre.x - 32, centre.y - 11}), PathElement::lineTo({centre.x + 32, centre.y - 11}),
        PathElement::quadTo({centre.x + 43, centre.y}, {centre.x + 32, centre.y + 11}),
        PathElement::lineTo({centre.x - 32, centre.y + 11}),
        PathElement::quadTo({centre.x - 43, centre.y}, {centre.x - 32, centre.y - 11}), PathElement::close()});
    b.add(CanvasCommand::fillPath({b.id(), badge, Paint::solid(kOrange)}));
    b.text("NEW", {centre.x - 13, centre.y + 4.5f}, 12, kCard);
    b.add(CanvasCommand::transformBy({0.9659258f, 0.2588190f, -0.2588190f, 0.9659258f,
                                      centre.x - 0.9659258f * centre.x + 0.2588190f * centre.y,
                                      centre.y - 0.2588190f * centre.x - 0.9659258f * centre.y}));
}

}  // namespace

void buildRenderGallery(RenderGallery& gallery) {
    gallery = {};
    buildImage(gallery);
    Builder b{gallery};
    b.fill({0, 0, kGalleryWidth, kGalleryHeight}, kBackground);
    sidebar(b);
    header(b);
    cards(b);
    table(b);
    activity(b);
    dialog(b);
}

}  // namespace kelvo::testing

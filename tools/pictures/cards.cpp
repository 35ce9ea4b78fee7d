// Title and text cards: white on black, 1900 x 1200.

#include <algorithm>
#include <map>
#include <vector>

#include "pictures.h"

namespace pictures {

namespace {

const Color kWhite{0.96f, 0.96f, 0.94f};
const Color kDim{0.55f, 0.55f, 0.54f};
const Color kRed{0.86f, 0.13f, 0.10f};

Canvas blackCard() { return Canvas(kCardW, kCardH, {0, 0, 0}); }

// Shrinks the size until the text fits `maxWidth`.
Font::Style fitted(Font& font, const std::string& text, Font::Style style, double maxWidth) {
    const double w = font.measure(text, style);
    if (w > maxWidth) style.size *= maxWidth / w;
    return style;
}

// A pen swash: a tapering curve, thickest in the middle.
void swash(Canvas& c, Vec2 a, Vec2 b, Vec2 cc, Vec2 d, double width, float opacity = 0.9f) {
    auto pts = bezier(a, b, cc, d, 160);
    std::vector<double> widths;
    for (size_t i = 0; i < pts.size(); ++i) {
        const double t = static_cast<double>(i) / (pts.size() - 1);
        widths.push_back(0.6 + width * std::pow(std::sin(M_PI * t), 1.5));
    }
    c.composite(strokeMask(pts, widths, c.width(), c.height()), kWhite, opacity);
}

Font::Style scriptStyle(double size, std::uint32_t seed) {
    Font::Style s;
    s.size = size;
    s.jitter = 0.035;
    s.seed = seed;
    s.tracking = -0.01;
    return s;
}

Font::Style thinStyle(double size, double tracking = 0.05) {
    Font::Style s;
    s.size = size;
    s.tracking = tracking;
    return s;
}

void hairline(Canvas& c, double cx, double y, double half, float opacity = 0.45f) {
    strokeLine(c, {{cx - half, y}, {cx + half, y}}, 1.6, kWhite, opacity);
}

// Centred lines of thin type; returns nothing, draws the block centred on the card.
void thinBlock(Canvas& c, Font& font, const std::vector<std::string>& lines, double size, double leading,
               double centreY, double tracking = 0.04) {
    const double total = leading * (lines.size() - 1);
    double y = centreY - total / 2 + size * 0.35;
    for (const auto& line : lines) {
        font.drawCentred(c, line, kCardW / 2.0, y, thinStyle(size, tracking), kWhite);
        y += leading;
    }
}

}  // namespace

Canvas makersCard(Fonts& f) {
    Canvas c = blackCard();
    const std::string name = "Quiet Lantern";
    auto style = fitted(f.script, name, scriptStyle(300, 143), kCardW * 0.74);
    const double w = f.script.measure(name, style);
    const double x = (kCardW - w) / 2, y = 640;
    f.script.draw(c, name, x, y, style, kWhite);
    swash(c, {x + w * 0.08, y + 70}, {x + w * 0.35, y + 40}, {x + w * 0.7, y + 105}, {x + w * 0.96, y + 48}, 6);
    f.thin.drawCentred(c, "P R E S E N T S", kCardW / 2.0, y + 210, thinStyle(34, 0.12), kDim);
    return c;
}

Canvas titleCard(Fonts& f) {
    Canvas c = blackCard();
    const std::string word = "Orrery";
    auto big = scriptStyle(400, 136);
    const double w = f.script.measure(word, big);
    const double x = (kCardW - w) / 2, y = 600;
    // The one red letter: the capital O, the orrery's sun.
    f.script.draw(c, word, x, y, big, [](int i) { return i == 0 ? kRed : kWhite; });
    auto small = scriptStyle(170, 1361);
    f.script.drawCentred(c, "of Small Hours", kCardW / 2.0 + 60, y + 230, small, kWhite);
    swash(c, {x - 40, y + 300}, {x + w * 0.2, y + 250}, {x + w * 0.5, y + 340}, {x + w * 0.9, y + 285}, 5, 0.8f);
    return c;
}

Canvas wordCard(Fonts& f) {
    Canvas c = blackCard();
    const std::string word = "Afterglow";
    auto style = scriptStyle(360, 147);
    const double w = f.script.measure(word, style);
    const double x = (kCardW - w) / 2, y = 680;
    f.script.draw(c, word, x, y, style, kWhite);
    swash(c, {x + w * 0.15, y + 80}, {x + w * 0.4, y + 130}, {x + w * 0.65, y + 50}, {x + w * 0.92, y + 95}, 5);
    return c;
}

Canvas openingCard(Fonts& f) {
    Canvas c = blackCard();
    thinBlock(c, f.thin, {"Every light you see tonight", "left its home long before you were born."}, 66, 118,
              kCardH / 2.0);
    return c;
}

Canvas topicCard(Fonts& f, int id) {
    static const std::map<int, std::string> phrases = {
        {130, "light takes its time"},   {132, "the weight of distance"}, {141, "weather on other worlds"},
        {142, "a sky without sound"},    {137, "stone remembers"},        {145, "the patience of orbits"},
        {149, "clouds over no one"},     {150, "small hours, long nights"}, {133, "the way back home"},
    };
    Canvas c = blackCard();
    const std::string& text = phrases.at(id);
    f.thin.drawCentred(c, text, kCardW / 2.0, kCardH / 2.0 + 28, thinStyle(92, 0.06), kWhite);
    hairline(c, kCardW / 2.0, kCardH / 2.0 + 95, 70);
    return c;
}

Canvas questionCard(Fonts& f) {
    Canvas c = blackCard();
    thinBlock(c, f.thin,
              {"If all the light we see", "is a letter from the past,", "what are we writing",
               "for the ones who look back at us?"},
              64, 108, kCardH / 2.0);
    return c;
}

Canvas creditsCard(Fonts& f) {
    Canvas c = blackCard();
    struct Credit {
        const char* role;
        const char* name;
    };
    const Credit credits[] = {
        {"C O D E", "Mira Thallow"},
        {"M U S I C", "Oskar Fenwright"},
        {"P I C T U R E S", "Lene Karvosk"},
        {"W O R D S", "Tavi Lindqvar"},
    };
    double y = 330;
    for (const auto& cr : credits) {
        f.thin.drawCentred(c, cr.role, kCardW / 2.0, y, thinStyle(28, 0.1), kDim);
        f.thin.drawCentred(c, cr.name, kCardW / 2.0, y + 78, thinStyle(64, 0.04), kWhite);
        y += 165;
    }
    hairline(c, kCardW / 2.0, y - 20, 90);
    f.thin.drawCentred(c, "a Quiet Lantern production", kCardW / 2.0, y + 45, thinStyle(36, 0.08), kDim);
    return c;
}

Canvas greetingsCard(Fonts& f) {
    Canvas c = blackCard();
    f.thin.drawCentred(c, "G R E E T I N G S   T O", kCardW / 2.0, 230, thinStyle(34, 0.1), kDim);
    hairline(c, kCardW / 2.0, 270, 80);
    const std::vector<std::string> names = {
        "Brass Heron",       "Paper Comet Society", "Nine Quiet Candles", "Velvet Arithmetic",
        "Saltglass Union",   "Umber & Finch",       "Low Orbit Tea Club", "Kettle Nebula",
        "Hollow Tuesday",    "Driftwood Cartographers", "Static Orchard", "Juniper Engine",
        "Marrow Lighthouse", "Tin Owl Choir",
    };
    const int rows = 7;
    for (size_t i = 0; i < names.size(); ++i) {
        const double cx = i < rows ? kCardW * 0.31 : kCardW * 0.69;
        const double y = 390 + (i % rows) * 104;
        f.thin.drawCentred(c, names[i], cx, y, thinStyle(54, 0.04), kWhite);
    }
    return c;
}

Canvas quotationCard(Fonts& f) {
    Canvas c = blackCard();
    const std::vector<std::string> lines = {
        "We built the great glass eyes to look outward,",
        "and for a long time they showed us only distance:",
        "cold fires, scattered like salt across the dark.",
        "But every plate we exposed was also a letter,",
        "posted from the past and delivered to the present,",
        "and slowly we learned to read the handwriting.",
        "It said the iron in our blood was forged out there,",
        "that the sky is not a ceiling but a coastline,",
        "and that the shore is already under our feet.",
    };
    const double size = 50, leading = 86;
    double widest = 0;
    for (const auto& l : lines) widest = std::max(widest, f.thin.measure(l, thinStyle(size, 0.03)));
    const double x = (kCardW - widest) / 2;
    double y = kCardH / 2.0 - leading * 4 + size * 0.35;
    for (const auto& l : lines) {
        f.thin.draw(c, l, x, y, thinStyle(size, 0.03), kWhite);
        y += leading;
    }
    // An opening quotation mark hung in the margin.
    f.thin.draw(c, "\u201C", x - 90, kCardH / 2.0 - leading * 4 + 70, thinStyle(150, 0), kDim);
    return c;
}

}  // namespace pictures

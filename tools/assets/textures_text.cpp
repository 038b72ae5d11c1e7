// Pictures of the later scenes: the tower's nineteen text pages, the greetings
// backdrop and its ten logos, and the pentagram of the last scene.
#include <algorithm>
#include <cmath>

#include "tools/assets/textures.h"

// One line per page, shown in this order in two groups (eight, then eleven).
const char* const TEXT_PAGE_LINES[TEXT_PAGE_COUNT] = {
    "everything you see here",
    "was drawn by a machine",
    "from nothing but numbers",
    "and a little fire",
    "no pixel was borrowed",
    "no sound was sampled",
    "every spark is counted",
    "every frame is new",
    "so sit back",
    "let the tower turn",
    "let the embers fall",
    "and let the old",
    "machines dream again",
    "of demos and deadlines",
    "of long nights",
    "and cold coffee",
    "we made this for fun",
    "and for you",
    "burn bright",
};

namespace {

const Rgb WARM_WHITE = {1.0f, 0.93f, 0.80f};
const Rgb EMBER = {1.0f, 0.42f, 0.08f};

void setPixel(Image& image, int x, int y, const Rgb& c)
{
    float* p = image.at(x, y);
    p[0] = clamp01(c.r);
    p[1] = clamp01(c.g);
    p[2] = clamp01(c.b);
    p[3] = 1.0f;
}

// The ten logos: each name in its own face with its own emblem.
enum Emblem { EMBLEM_RING, EMBLEM_BARS, EMBLEM_BOX, EMBLEM_RULES, EMBLEM_DIAMOND, EMBLEM_NONE, EMBLEM_DISC,
              EMBLEM_DOUBLE_RING, EMBLEM_BRACKETS, EMBLEM_TRIANGLE };

struct LogoStyle {
    const char* text;  // as set; the file is named after the group
    const Font Fonts::*font;
    float tracking;  // pixels between letters
    Emblem emblem;
};

const LogoStyle LOGOS[LOGO_COUNT] = {
    {"feln", &Fonts::serifBoldItalic, 0.0f, EMBLEM_RING},
    {"NWEL", &Fonts::sansBold, 2.0f, EMBLEM_BARS},
    {"zemra", &Fonts::monoBold, 0.0f, EMBLEM_BOX},
    {"ULVAT", &Fonts::serifBold, 1.0f, EMBLEM_RULES},
    {"VORLA", &Fonts::condensedBold, 1.0f, EMBLEM_DIAMOND},
    {"brume", &Fonts::sansLight, 4.0f, EMBLEM_NONE},
    {"Oskel", &Fonts::sansBoldOblique, 0.0f, EMBLEM_DISC},
    {"tulmo", &Fonts::serifItalic, 1.0f, EMBLEM_DOUBLE_RING},
    {"praxa", &Fonts::monoBold, 0.0f, EMBLEM_BRACKETS},
    {"KETTRI", &Fonts::condensedBold, 0.5f, EMBLEM_TRIANGLE},
};

}  // namespace

// A text page: one centred line of warm type with an ember glow on clear.
void paintTextPage(Image& image, const Fonts& fonts, int page)
{
    const float w = static_cast<float>(image.width), h = static_cast<float>(image.height);
    const char* line = TEXT_PAGE_LINES[page];
    const TextStyle style = fitText(fonts.serifBold, line, 60.0f, 1.0f, w * 0.9f, 1.0f);
    Mask letters(image.width, image.height);
    drawTextCentred(letters, fonts.serifBold, line, style, w * 0.5f, h * 0.5f);
    paintGlowingMask(image, letters, {WARM_WHITE, EMBER, 3, 1.3f, 12, 0.8f});
    fillClearColour(image, EMBER);
}

// Greetings backdrop, opaque: an eclipsed sun with a burning corona above a
// ridge of dark mountains and a glowing valley.
void paintGreetingsBackdrop(Image& image, const Fonts&)
{
    const float w = static_cast<float>(image.width), h = static_cast<float>(image.height);
    const float sunX = 0.5f, sunY = 0.34f, sunR = 0.14f;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const float u = (x + 0.5f) / w, v = (y + 0.5f) / h;  // v = 0 at the top
            const float dx = u - sunX, dy = v - sunY;
            const float r = std::hypot(dx, dy);
            const float angle = std::atan2(dy, dx);
            const float rays = fbm((angle + 3.14159265f) / 6.2831853f * 24.0f, r * 6.0f, 24, 4, 0.55f, 121u);
            const float corona = std::exp(-(r - sunR) * 18.0f * (1.2f - 0.6f * rays)) * (r > sunR ? 1.0f : 0.0f);
            const float smoke = fbm(u * 5.0f, v * 5.0f, 5, 6, 0.55f, 122u);
            const float skyHeat = 0.03f + 0.13f * v + 0.12f * smoke;
            float heat = skyHeat + 0.75f * corona;
            if (r <= sunR) heat = 0.02f + 0.04f * smoke;  // the dark disc
            const float ring = std::exp(-std::pow((r - sunR) * 160.0f, 2.0f));
            heat = std::max(heat, ring);
            // Ridge line of the mountains and a valley of fire below it.
            const float ridge = 0.70f + 0.09f * (fbm(u * 6.0f, 0.5f, 6, 5, 0.5f, 123u) - 0.5f) * 2.0f;
            if (v > ridge) {
                const float below = (v - ridge) / (1.0f - ridge);
                const float rock = fbm(u * 12.0f, v * 12.0f, 12, 4, 0.5f, 124u);
                const float valley = std::exp(-std::pow((v - 0.93f) * 14.0f, 2.0f)) * (0.6f + 0.6f * smoke);
                heat = 0.03f + 0.06f * rock * (1.0f - below) + 0.42f * valley;
                const float rimLight = std::exp(-(v - ridge) * 200.0f) * 0.25f;
                heat += rimLight;
            }
            setPixel(image, x, y, scale(fireRamp(heat), 0.95f));
        }
}

void paintLogo(Image& image, const Fonts& fonts, int logo)
{
    const LogoStyle& logoStyle = LOGOS[logo];
    const Font& font = fonts.*logoStyle.font;
    const float w = static_cast<float>(image.width), c = w * 0.5f;
    Mask emblem(image.width, image.height);
    Mask letters(image.width, image.height);
    float textWidthLimit = w * 0.78f;
    switch (logoStyle.emblem) {
    case EMBLEM_RING: ringMask(emblem, c, c, w * 0.42f, 2.2f, 1.5f); textWidthLimit = w * 0.66f; break;
    case EMBLEM_BARS:
        for (int i = 0; i < 3; ++i) lineMask(emblem, w * 0.18f, w * (0.24f + 0.05f * i), w * (0.82f - 0.12f * i), w * (0.24f + 0.05f * i), 1.4f, 1.2f);
        lineMask(emblem, w * 0.18f, w * 0.70f, w * 0.82f, w * 0.70f, 2.4f, 1.2f);
        break;
    case EMBLEM_BOX:
        lineMask(emblem, w * 0.08f, w * 0.28f, w * 0.92f, w * 0.28f, 1.6f, 1.2f);
        lineMask(emblem, w * 0.92f, w * 0.28f, w * 0.92f, w * 0.72f, 1.6f, 1.2f);
        lineMask(emblem, w * 0.92f, w * 0.72f, w * 0.08f, w * 0.72f, 1.6f, 1.2f);
        lineMask(emblem, w * 0.08f, w * 0.72f, w * 0.08f, w * 0.28f, 1.6f, 1.2f);
        textWidthLimit = w * 0.74f;
        break;
    case EMBLEM_RULES:
        lineMask(emblem, w * 0.1f, w * 0.3f, w * 0.9f, w * 0.3f, 1.0f, 1.2f);
        lineMask(emblem, w * 0.1f, w * 0.7f, w * 0.9f, w * 0.7f, 1.0f, 1.2f);
        discMask(emblem, c, w * 0.3f, 4.0f, 1.5f);
        discMask(emblem, c, w * 0.7f, 4.0f, 1.5f);
        break;
    case EMBLEM_DIAMOND: {
        Mask outer(image.width, image.height), inner(image.width, image.height);
        polygonMask(outer, {c, w * 0.04f, w * 0.96f, c, c, w * 0.96f, w * 0.04f, c});
        polygonMask(inner, {c, w * 0.08f, w * 0.92f, c, c, w * 0.92f, w * 0.08f, c});
        for (size_t i = 0; i < emblem.v.size(); ++i) emblem.v[i] = std::max(0.0f, outer.v[i] - inner.v[i]);
        textWidthLimit = w * 0.62f;
        break;
    }
    case EMBLEM_NONE: break;
    case EMBLEM_DISC: discMask(emblem, c, c, w * 0.40f, 2.0f); scaleMask(emblem, 0.28f); break;
    case EMBLEM_DOUBLE_RING:
        ringMask(emblem, c, c, w * 0.44f, 1.2f, 1.5f);
        ringMask(emblem, c, c, w * 0.39f, 1.2f, 1.5f);
        textWidthLimit = w * 0.64f;
        break;
    case EMBLEM_BRACKETS:
        for (float side : {-1.0f, 1.0f}) {
            const float x = c + side * w * 0.44f, inward = -side * w * 0.07f;
            lineMask(emblem, x, w * 0.3f, x, w * 0.7f, 2.0f, 1.2f);
            lineMask(emblem, x, w * 0.3f, x + inward, w * 0.3f, 2.0f, 1.2f);
            lineMask(emblem, x, w * 0.7f, x + inward, w * 0.7f, 2.0f, 1.2f);
        }
        textWidthLimit = w * 0.7f;
        break;
    case EMBLEM_TRIANGLE: {
        const float top = w * 0.08f, base = w * 0.62f;
        lineMask(emblem, c, top, w * 0.84f, base, 1.8f, 1.2f);
        lineMask(emblem, w * 0.84f, base, w * 0.16f, base, 1.8f, 1.2f);
        lineMask(emblem, w * 0.16f, base, c, top, 1.8f, 1.2f);
        break;
    }
    }
    const TextStyle style = fitText(font, logoStyle.text, 44.0f, 1.0f, textWidthLimit, logoStyle.tracking);
    float cy = c;
    if (logoStyle.emblem == EMBLEM_TRIANGLE) cy = w * 0.78f;
    if (logoStyle.emblem == EMBLEM_BARS) cy = w * 0.52f;
    drawTextCentred(letters, font, logoStyle.text, style, c, cy);
    Mask all = emblem;
    for (size_t i = 0; i < all.v.size(); ++i) all.v[i] = std::max(all.v[i], letters.v[i]);
    paintOver(image, letters, {1.0f, 1.0f, 1.0f});
    paintOver(image, emblem, {1.0f, 0.85f, 0.7f}, 0.85f);
    Mask halo = all;
    blur(halo, 3);
    scaleMask(halo, 0.9f);
    paintUnder(image, halo, {1.0f, 0.7f, 0.5f});
    fillClearColour(image, {1.0f, 0.7f, 0.5f});
}

// The pentagram: a star of five strokes inside two rings, all glowing red and
// orange on clear. Its centre sits where the scene's rectangle puts the centre
// of the screen (u 0.505, v 0.47 from the bottom).
void paintPentagram(Image& image, const Fonts&)
{
    const float w = static_cast<float>(image.width);
    const float cx = 0.505f * w, cy = (1.0f - 0.47f) * w;
    const float r = 0.30f * w;
    Mask lines(image.width, image.height);
    float px[5], py[5];
    for (int i = 0; i < 5; ++i) {
        const float a = -1.5707963f + i * 1.2566371f;  // first point straight up
        px[i] = cx + std::cos(a) * r * 0.93f;
        py[i] = cy + std::sin(a) * r * 0.93f;
    }
    for (int i = 0; i < 5; ++i) lineMask(lines, px[i], py[i], px[(i + 2) % 5], py[(i + 2) % 5], 2.6f, 1.5f);
    ringMask(lines, cx, cy, r, 2.4f, 1.5f);
    ringMask(lines, cx, cy, r * 1.12f, 1.4f, 1.5f);
    for (int i = 0; i < 40; ++i) {  // ticks between the rings
        const float a = i * 0.15707963f;
        const float inner = r * 1.025f, outer = r * (i % 5 == 0 ? 1.095f : 1.06f);
        lineMask(lines, cx + std::cos(a) * inner, cy + std::sin(a) * inner, cx + std::cos(a) * outer,
                 cy + std::sin(a) * outer, 1.0f, 1.2f);
    }
    for (int i = 0; i < 5; ++i) discMask(lines, px[i], py[i], 5.0f, 1.5f);
    paintOver(image, lines, {1.0f, 0.78f, 0.45f});
    Mask tight = lines;
    blur(tight, 5);
    scaleMask(tight, 1.4f);
    paintUnder(image, tight, {1.0f, 0.3f, 0.05f});
    Mask wide = lines;
    blur(wide, 26);
    scaleMask(wide, 1.1f);
    paintUnder(image, wide, {0.7f, 0.06f, 0.02f});
    fillClearColour(image, {0.7f, 0.06f, 0.02f});
}

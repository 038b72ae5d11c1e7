// The texture table and the pictures of the loading screen and the opening
// titles: type on glowing halos, the backdrop panels and the star sprite.
//
// Every quad of the demo shows the picture with t = 0 at its bottom, which is
// how the TGA writer stores rows, so painters simply draw upright, top row first.
// Where a quad's shape differs from its texture's, the type is squeezed so that
// letters keep their proportions on screen.
#include "tools/assets/textures.h"

#include <algorithm>
#include <cmath>

#include "tools/assets/generator.h"
#include "tools/assets/tga_write.h"

namespace {

// Horizontal squeeze of type in a texture shown on a quad of another shape:
// the quad's aspect (width / height) over the texture's.
constexpr float LOADING_SQUEEZE = (512.0f / 512.0f) / (4.0f / 3.0f);  // 4 x 3 screen quad
constexpr float TITLE_SQUEEZE = (512.0f / 256.0f) / (4.0f / 1.5f);     // 4 x 1.5 title rectangles
constexpr float VANTREL_SQUEEZE = (512.0f / 256.0f) / (4.5f / 2.5f);   // 5 x 2.5 scaled by 0.9 x 1

const Rgb WARM_WHITE = {1.0f, 0.93f, 0.80f};
const Rgb EMBER = {1.0f, 0.42f, 0.08f};
const Rgb DEEP_RED = {0.75f, 0.10f, 0.02f};

template <typename Shade>
void paintOverShaded(Image& image, const Mask& mask, Shade shade)
{
    forEachPixel(image, [&](int x, int y, float* p) {
        const float a = clamp01(mask.at(x, y));
        if (a <= 0.0f) return;
        const Rgb c = shade(x, y);
        const float keep = p[3] * (1.0f - a);
        const float outA = a + keep;
        p[0] = (c.r * a + p[0] * keep) / outA;
        p[1] = (c.g * a + p[1] * keep) / outA;
        p[2] = (c.b * a + p[2] * keep) / outA;
        p[3] = outA;
    });
}

// A halo from a blurred copy of the letters, laid under what is there.
void paintHalo(Image& image, const Mask& letters, const Rgb& colour, int radius, float gain)
{
    if (gain <= 0.0f) return;
    Mask halo = letters;
    blur(halo, radius);
    scaleMask(halo, gain);
    paintUnder(image, halo, colour);
}

// Fills an opaque image with a colour.
void fillOpaque(Image& image, const Rgb& colour)
{
    forEachPixel(image, [&](int, int, float* p) {
        p[0] = colour.r;
        p[1] = colour.g;
        p[2] = colour.b;
        p[3] = 1.0f;
    });
}

// Sparks: small soft dots scattered by a hash, brighter ones rarer.
void paintSparks(Image& image, int count, uint32_t seed, float yFrom, float yTo, float brightness)
{
    Mask sparks(image.width, image.height);
    for (int i = 0; i < count; ++i) {
        const float x = hash01(static_cast<uint32_t>(i), 1, seed) * image.width;
        const float y = (yFrom + (yTo - yFrom) * hash01(static_cast<uint32_t>(i), 2, seed)) * image.height;
        const float size = 0.6f + 1.6f * hash01(static_cast<uint32_t>(i), 3, seed) * hash01(static_cast<uint32_t>(i), 4, seed);
        discMask(sparks, x, y, size, 1.2f);
    }
    Mask glow = sparks;
    blur(glow, 3);
    forEachPixel(image, [&](int x, int y, float* p) {
        const float s = sparks.at(x, y) * brightness, g = glow.at(x, y) * brightness * 1.5f;
        p[0] = clamp01(p[0] + s * 1.0f + g * 0.9f);
        p[1] = clamp01(p[1] + s * 0.75f + g * 0.3f);
        p[2] = clamp01(p[2] + s * 0.4f + g * 0.05f);
    });
}

// A line of glowing type, centred on (cx, cy), in the given style.
void glowingLine(Image& image, const Font& font, const std::string& text, const TextStyle& style, float cx, float cy,
                 const GlowStyle& glow)
{
    Mask letters(image.width, image.height);
    drawTextCentred(letters, font, text, style, cx, cy);
    paintGlowingMask(image, letters, glow);
}

// The four title lines share one size (set by the longest) and a left margin,
// so that stacked on screen they read as one block.
constexpr float TITLE_LINE_MARGIN = 24.0f;  // pixels from the left edge
const char* const TITLE_LINES[4] = {"a pain in the", "ass", "deadline", "just for fun"};

void paintTitleLine(Image& image, const Fonts& fonts, int line, const Rgb& glowColour)
{
    float widest = 0.0f;
    TextStyle style;
    style.pixelHeight = 150.0f;
    style.squeeze = TITLE_SQUEEZE;
    for (const char* text : TITLE_LINES) widest = std::max(widest, textWidth(fonts.serifBoldItalic, text, style));
    style.pixelHeight *= std::min(1.0f, (image.width - 2.0f * TITLE_LINE_MARGIN) / widest);
    Mask letters(image.width, image.height);
    const float baseline = image.height * 0.5f + capHeight(fonts.serifBoldItalic, style) * 0.5f;
    drawText(letters, fonts.serifBoldItalic, TITLE_LINES[line], style, TITLE_LINE_MARGIN, baseline);
    paintGlowingMask(image, letters, {WARM_WHITE, glowColour, 4, 1.4f, 18, 0.9f});
    fillClearColour(image, glowColour);
}

// Every blended texture is drawn on a quad: a glow reaching the texture's
// edge would show the quad's outline, so coverage fades out over the last texels.
void clearBorder(Image& image)
{
    constexpr float BORDER = 4.0f;  // texels
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const float edge = static_cast<float>(std::min(std::min(x, image.width - 1 - x), std::min(y, image.height - 1 - y)));
            image.at(x, y)[3] *= smoothstep(0.0f, BORDER, edge);
        }
}

template <int PAGE>
void paintPage(Image& image, const Fonts& fonts)
{
    paintTextPage(image, fonts, PAGE);
}

template <int LOGO>
void paintLogoN(Image& image, const Fonts& fonts)
{
    paintLogo(image, fonts, LOGO);
}

}  // namespace

int loadFonts(Fonts* fonts)
{
    return loadFont("DejaVuSerif-Bold.ttf", &fonts->serifBold) &&
           loadFont("DejaVuSerif-BoldItalic.ttf", &fonts->serifBoldItalic) &&
           loadFont("DejaVuSerif-Italic.ttf", &fonts->serifItalic) &&
           loadFont("DejaVuSans-Bold.ttf", &fonts->sansBold) &&
           loadFont("DejaVuSans-BoldOblique.ttf", &fonts->sansBoldOblique) &&
           loadFont("DejaVuSans-ExtraLight.ttf", &fonts->sansLight) &&
           loadFont("DejaVuSansCondensed-Bold.ttf", &fonts->condensedBold) &&
           loadFont("DejaVuSansMono-Bold.ttf", &fonts->monoBold);
}

void paintGlowingMask(Image& image, const Mask& letters, const GlowStyle& style)
{
    paintOver(image, letters, style.core);
    paintHalo(image, letters, style.glow, style.tightRadius, style.tightGain);
    paintHalo(image, letters, scale(style.glow, 0.8f), style.wideRadius, style.wideGain);
}

TextStyle fitText(const Font& font, const std::string& text, float maxPixelHeight, float squeeze, float maxWidth,
                  float tracking)
{
    TextStyle style;
    style.pixelHeight = maxPixelHeight;
    style.squeeze = squeeze;
    style.tracking = tracking;
    const float width = textWidth(font, text, style);
    if (width > maxWidth) {
        style.pixelHeight *= maxWidth / width;
        style.tracking *= maxWidth / width;
    }
    return style;
}

// Loading screen, opaque: the title in fire over a dark ember glow, "loading" below.
void paintLoading(Image& image, const Fonts& fonts)
{
    const float w = static_cast<float>(image.width), h = static_cast<float>(image.height);
    forEachPixel(image, [&](int x, int y, float* p) {
        const float u = x / w, v = y / h;
        const float dx = (u - 0.5f) / LOADING_SQUEEZE * 0.75f, dy = v - 0.62f;
        const float glow = std::exp(-(dx * dx * 5.0f + dy * dy * 9.0f));
        const float smoke = fbm(u * 6.0f, v * 6.0f - 0.0f, 6, 5, 0.55f, 11u);
        const float k = glow * (0.35f + 0.65f * smoke);
        const Rgb c = mix({0.012f, 0.006f, 0.006f}, {0.34f, 0.07f, 0.015f}, k);
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
        p[3] = 1.0f;
    });
    paintSparks(image, 90, 12u, 0.55f, 1.0f, 0.5f);

    TextStyle title = fitText(fonts.serifBold, "Vantrel", 150.0f, LOADING_SQUEEZE, w * 0.8f);
    Mask letters(image.width, image.height);
    const float titleY = h * 0.44f;
    drawTextCentred(letters, fonts.serifBold, "Vantrel", title, w * 0.5f, titleY);
    Mask halo = letters;
    blur(halo, 14);
    forEachPixel(image, [&](int x, int y, float* p) {
        const float g = clamp01(halo.at(x, y) * 1.3f);
        p[0] = clamp01(p[0] + g * 0.85f);
        p[1] = clamp01(p[1] + g * 0.28f);
        p[2] = clamp01(p[2] + g * 0.04f);
    });
    const float capTop = titleY - capHeight(fonts.serifBold, title) * 0.5f;
    const float capSpan = capHeight(fonts.serifBold, title);
    paintOverShaded(image, letters, [&](int, int y) { return fireRamp(0.98f - 0.45f * clamp01((y - capTop) / capSpan)); });

    Mask rule(image.width, image.height);
    lineMask(rule, w * 0.22f, h * 0.62f, w * 0.78f, h * 0.62f, 0.6f, 1.2f);
    Mask ruleGlow = rule;
    blur(ruleGlow, 4);
    scaleMask(ruleGlow, 2.0f);
    paintOver(image, ruleGlow, EMBER, 0.5f);
    paintOver(image, rule, {1.0f, 0.7f, 0.35f}, 0.8f);

    const TextStyle small = fitText(fonts.sansLight, "loading", 34.0f, LOADING_SQUEEZE, w * 0.5f, 9.0f);
    Mask word(image.width, image.height);
    drawTextCentred(word, fonts.sansLight, "loading", small, w * 0.5f, h * 0.69f);
    Mask wordGlow = word;
    blur(wordGlow, 3);
    paintOver(image, wordGlow, EMBER, 0.6f);
    paintOver(image, word, {1.0f, 0.82f, 0.62f});
}

// "Skarvel" over "presents", the group's name at the top of the titles.
void paintPresents(Image& image, const Fonts& fonts)
{
    const float w = static_cast<float>(image.width), h = static_cast<float>(image.height);
    const TextStyle name = fitText(fonts.serifBold, "SKARVEL", 110.0f, TITLE_SQUEEZE, w * 0.86f, 10.0f);
    glowingLine(image, fonts.serifBold, "SKARVEL", name, w * 0.5f, h * 0.40f, {WARM_WHITE, EMBER, 5, 1.3f, 20, 0.8f});
    const TextStyle by = fitText(fonts.serifItalic, "presents", 54.0f, TITLE_SQUEEZE, w * 0.5f, 3.0f);
    glowingLine(image, fonts.serifItalic, "presents", by, w * 0.5f, h * 0.74f,
                {{1.0f, 0.75f, 0.45f}, DEEP_RED, 3, 1.2f, 12, 0.6f});
    fillClearColour(image, EMBER);
}

void paintTitlePain(Image& image, const Fonts& fonts) { paintTitleLine(image, fonts, 0, EMBER); }
void paintTitleAss(Image& image, const Fonts& fonts) { paintTitleLine(image, fonts, 1, {1.0f, 0.30f, 0.10f}); }
void paintTitleDeadline(Image& image, const Fonts& fonts) { paintTitleLine(image, fonts, 2, {1.0f, 0.52f, 0.12f}); }
void paintTitleJustForFun(Image& image, const Fonts& fonts) { paintTitleLine(image, fonts, 3, {1.0f, 0.62f, 0.20f}); }

// The production's title: large letters filled with the fire ramp, hot at the base.
void paintTitleVantrel(Image& image, const Fonts& fonts)
{
    const float w = static_cast<float>(image.width), h = static_cast<float>(image.height);
    const TextStyle style = fitText(fonts.serifBold, "Vantrel", 170.0f, VANTREL_SQUEEZE, w * 0.88f);
    Mask letters(image.width, image.height);
    // The rectangle spans x -2 to 2.5 on screen; centre the word on the screen's centre line.
    const float cx = w * (2.0f / 4.5f), cy = h * 0.52f;
    drawTextCentred(letters, fonts.serifBold, "Vantrel", style, cx, cy);
    const float top = cy - capHeight(fonts.serifBold, style) * 0.5f, span = capHeight(fonts.serifBold, style);
    paintOverShaded(image, letters, [&](int x, int y) {
        const float v = clamp01((y - top) / span);
        const float flicker = fbm(x / 24.0f, y / 14.0f, 64, 3, 0.5f, 77u);
        return fireRamp(0.55f + 0.45f * v + 0.12f * (flicker - 0.5f));
    });
    paintHalo(image, letters, {1.0f, 0.45f, 0.08f}, 5, 1.2f);
    paintHalo(image, letters, DEEP_RED, 22, 1.0f);
    fillClearColour(image, DEEP_RED);
}

// Centre panel, opaque: a smoky night sky over a horizon of embers, dark at
// the edges so the side panels and the black beyond meet it softly.
void paintBackdropCentre(Image& image, const Fonts&)
{
    const float w = static_cast<float>(image.width), h = static_cast<float>(image.height);
    forEachPixel(image, [&](int x, int y, float* p) {
        const float u = x / w, v = y / h;  // v = 0 at the top
        const float smoke = fbm(u * 4.0f, v * 4.0f, 4, 6, 0.55f, 21u);
        const float streaks = fbm(u * 3.0f, v * 12.0f, 3, 4, 0.5f, 22u);
        const float horizon = std::exp(-std::pow((v - 0.78f) * 5.5f, 2.0f));
        const float depth = 0.25f + 0.75f * v;
        // Dark towards the sides: the panel ends inside the view, and black lies beyond.
        const float vignette = clamp01(1.0f - std::pow(std::hypot(u - 0.5f, (v - 0.55f) * 0.9f) * 1.55f, 2.2f)) *
                               smoothstep(0.0f, 0.22f, u) * smoothstep(1.0f, 0.78f, u);
        float heat = (0.10f + 0.30f * smoke * depth + 0.42f * horizon * (0.5f + smoke) + 0.06f * streaks) * vignette;
        const Rgb c = scale(fireRamp(heat * 0.9f), 0.85f);
        p[0] = c.r + 0.015f;
        p[1] = c.g + 0.006f;
        p[2] = c.b + 0.010f;
        p[3] = 1.0f;
    });
    paintSparks(image, 160, 23u, 0.35f, 0.95f, 0.45f);
}

// Side panels: a column of rising smoke lit from below, transparent at its
// sides. The same picture stands left and right of the centre and blends over it.
void paintBackdropSide(Image& image, const Fonts&)
{
    const float w = static_cast<float>(image.width), h = static_cast<float>(image.height);
    forEachPixel(image, [&](int x, int y, float* p) {
        const float u = x / w, v = y / h;
        const float sway = 0.06f * (fbm(v * 3.0f, 0.5f, 3, 3, 0.5f, 31u) - 0.5f);
        const float across = (u - 0.5f + sway) / 0.16f;
        const float column = std::exp(-across * across);
        const float rising = fbm(u * 5.0f, v * 3.0f, 5, 6, 0.6f, 32u);
        const float curls = fbm(u * 10.0f, v * 7.0f, 10, 4, 0.5f, 33u);
        const float lit = smoothstep(0.05f, 0.95f, v);  // brighter near the bottom
        const float edge = smoothstep(0.0f, 0.22f, u) * smoothstep(1.0f, 0.78f, u);
        const float density = column * (0.45f + 1.1f * rising * curls) * edge;
        const Rgb c = mix({0.16f, 0.04f, 0.03f}, fireRamp(0.62f + 0.3f * rising), lit * (0.5f + 0.5f * rising));
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
        p[3] = clamp01(density * (0.45f + 0.55f * lit)) * smoothstep(0.0f, 0.08f, v) * smoothstep(1.0f, 0.9f, v);
    });
}

// Star sprite: a white glow with a hot core and four fine rays; alpha carries
// the shape, the trails tint it.
void paintStar(Image& image, const Fonts&)
{
    const float c = image.width * 0.5f;
    forEachPixel(image, [&](int x, int y, float* p) {
        const float dx = (x + 0.5f - c) / c, dy = (y + 0.5f - c) / c;
        const float r = std::hypot(dx, dy);
        // Fifty of these overlap along a trail, so all but the core stays faint.
        const float core = std::exp(-r * r * 220.0f);
        const float glow = std::exp(-r * r * 18.0f) * 0.10f;
        const float rays = (std::exp(-std::fabs(dx) * 70.0f) + std::exp(-std::fabs(dy) * 70.0f)) * std::exp(-r * 4.5f) * 0.22f;
        const float fade = smoothstep(1.0f, 0.8f, r);
        p[0] = 1.0f;
        p[1] = 1.0f;
        p[2] = 1.0f;
        p[3] = clamp01((core + glow + rays) * fade);
    });
}

const std::vector<TextureEntry>& textureTable()
{
    static const std::vector<TextureEntry> table = {
        {"maps/loading-vantrel.tga", 512, 512, 24, paintLoading},
        // Opening titles.
        {"maps/star.tga", 128, 128, 32, paintStar},
        {"maps/skarvel_presents.tga", 512, 256, 32, paintPresents},
        {"maps/pain.tga", 512, 256, 32, paintTitlePain},
        {"maps/ass.tga", 512, 256, 32, paintTitleAss},
        {"maps/deadline.tga", 512, 256, 32, paintTitleDeadline},
        {"maps/vantrel.tga", 512, 256, 32, paintTitleVantrel},
        {"maps/just_for_fun.tga", 512, 256, 32, paintTitleJustForFun},
        {"maps/incio.tga", 512, 512, 24, paintBackdropCentre},
        {"maps/inicio2.tga", 512, 512, 32, paintBackdropSide},
        // Fire scene: clouds and the models' materials.
        {"maps/nube1.tga", 128, 128, 32, paintCloud1},
        {"maps/nube2.tga", 128, 128, 32, paintCloud2},
        {"maps/nube3.tga", 128, 128, 32, paintCloud3},
        {"maps/nube4.tga", 128, 128, 32, paintCloud4},
        {"maps/roca.tga", 256, 256, 24, paintRock},
        {"maps/suelo.tga", 256, 256, 24, paintGround},
        {"maps/fuego.tga", 128, 256, 32, paintFlame},
        {"maps/cielo.tga", 512, 256, 24, paintSky},
        {"maps/muro.tga", 256, 256, 24, paintWall},
        // Cube tower and its pages.
        {"maps/k.tga", 256, 256, 24, paintCubeK},
        {"maps/d.tga", 256, 256, 24, paintCubeD},
        {"maps/everything.tga", 512, 128, 32, paintPage<0>},
        {"maps/txt_2.tga", 512, 128, 32, paintPage<1>},
        {"maps/txt_3.tga", 512, 128, 32, paintPage<2>},
        {"maps/txt_4.tga", 512, 128, 32, paintPage<3>},
        {"maps/txt_5.tga", 512, 128, 32, paintPage<4>},
        {"maps/txt_6.tga", 512, 128, 32, paintPage<5>},
        {"maps/txt_7.tga", 512, 128, 32, paintPage<6>},
        {"maps/txt_8.tga", 512, 128, 32, paintPage<7>},
        {"maps/txt_9.tga", 512, 128, 32, paintPage<8>},
        {"maps/txt_10.tga", 512, 128, 32, paintPage<9>},
        {"maps/txt_11.tga", 512, 128, 32, paintPage<10>},
        {"maps/txt_12.tga", 512, 128, 32, paintPage<11>},
        {"maps/txt_13.tga", 512, 128, 32, paintPage<12>},
        {"maps/txt_14.tga", 512, 128, 32, paintPage<13>},
        {"maps/txt_15.tga", 512, 128, 32, paintPage<14>},
        {"maps/txt_16.tga", 512, 128, 32, paintPage<15>},
        {"maps/txt_17.tga", 512, 128, 32, paintPage<16>},
        {"maps/txt_20.tga", 512, 128, 32, paintPage<17>},
        {"maps/txt_21.tga", 512, 128, 32, paintPage<18>},
        // Greetings.
        {"maps/jorvi.tga", 512, 512, 24, paintGreetingsBackdrop},
        {"maps/feln.tga", 128, 128, 32, paintLogoN<0>},
        {"maps/nwel.tga", 128, 128, 32, paintLogoN<1>},
        {"maps/zemra.tga", 128, 128, 32, paintLogoN<2>},
        {"maps/ulvat.tga", 128, 128, 32, paintLogoN<3>},
        {"maps/vorla.tga", 128, 128, 32, paintLogoN<4>},
        {"maps/brume.tga", 128, 128, 32, paintLogoN<5>},
        {"maps/oskel.tga", 128, 128, 32, paintLogoN<6>},
        {"maps/tulmo.tga", 128, 128, 32, paintLogoN<7>},
        {"maps/praxa.tga", 128, 128, 32, paintLogoN<8>},
        {"maps/kettri.tga", 128, 128, 32, paintLogoN<9>},
        // Spheres.
        {"models/pentagrama.tga", 512, 512, 32, paintPentagram},
    };
    return table;
}

int writeTextures(const std::string& outDir)
{
    Fonts fonts;
    if (!loadFonts(&fonts)) return 0;
    for (const TextureEntry& entry : textureTable()) {
        Image image(entry.width, entry.height);
        if (entry.bits == 24) fillOpaque(image, {0.0f, 0.0f, 0.0f});
        entry.paint(image, fonts);
        if (entry.bits == 32) clearBorder(image);
        if (!writeTga(outDir + "/" + entry.path, image, entry.bits)) return 0;
    }
    return 1;
}

// The pack's textures: one painter per picture and the table that names each
// file, its size and its depth.
#pragma once

#include <string>
#include <vector>

#include "tools/assets/font.h"
#include "tools/assets/image.h"

// The typefaces the pictures are set in, all from the DejaVu family.
struct Fonts {
    Font serifBold;
    Font serifBoldItalic;
    Font serifItalic;
    Font sansBold;
    Font sansBoldOblique;
    Font sansLight;
    Font condensedBold;
    Font monoBold;
};
int loadFonts(Fonts* fonts);

// One file of the pack: where it goes, its sides (powers of two up to 512),
// 24 bits (opaque) or 32 (coverage as alpha), and what paints it.
struct TextureEntry {
    const char* path;  // below the pack's root
    int width;
    int height;
    int bits;
    void (*paint)(Image& image, const Fonts& fonts);
};
// Every texture the demo reads, in the order they are written.
const std::vector<TextureEntry>& textureTable();

// Glowing type shared by the painters: the text's own colour over a tight and
// a wide halo.
struct GlowStyle {
    Rgb core;          // the letters
    Rgb glow;          // the halo
    int tightRadius;   // pixels
    float tightGain;   // halo opacity per unit of blurred coverage
    int wideRadius;
    float wideGain;
};
void paintGlowingMask(Image& image, const Mask& letters, const GlowStyle& style);
// The largest style of at most maxPixelHeight in which text fits maxWidth.
TextStyle fitText(const Font& font, const std::string& text, float maxPixelHeight, float squeeze, float maxWidth,
                  float tracking = 0.0f);

// Shading bands. The models are drawn unlit, so their rock, wall and ground
// textures hold the same pattern in SHADE_BANDS horizontal bands of rising
// brightness (band 0 at the bottom, t from 0 to 1/SHADE_BANDS); each face of a
// model maps its texture coordinates into the band of its light.
constexpr int SHADE_BANDS = 4;
extern const float SHADE_LEVELS[SHADE_BANDS];
// Texels kept free at a band's top and bottom, as a fraction of the band, so
// that linear filtering never reaches into the next band.
constexpr float SHADE_BAND_MARGIN = 0.06f;

// Painters, by the scene that shows them.
void paintLoading(Image& image, const Fonts& fonts);
void paintPresents(Image& image, const Fonts& fonts);
void paintTitlePain(Image& image, const Fonts& fonts);
void paintTitleAss(Image& image, const Fonts& fonts);
void paintTitleDeadline(Image& image, const Fonts& fonts);
void paintTitleJustForFun(Image& image, const Fonts& fonts);
void paintTitleVantrel(Image& image, const Fonts& fonts);
void paintBackdropCentre(Image& image, const Fonts& fonts);
void paintBackdropSide(Image& image, const Fonts& fonts);
void paintStar(Image& image, const Fonts& fonts);

void paintCloud1(Image& image, const Fonts& fonts);
void paintCloud2(Image& image, const Fonts& fonts);
void paintCloud3(Image& image, const Fonts& fonts);
void paintCloud4(Image& image, const Fonts& fonts);
void paintRock(Image& image, const Fonts& fonts);
void paintGround(Image& image, const Fonts& fonts);
void paintFlame(Image& image, const Fonts& fonts);
// Half width, in texture u, of the flame's outline at height v (0 at the base,
// 1 at the tip); the fire model's strips follow it so little of them is clear.
float flameHalfWidth(float v);
// How far the outline may lean from u = 0.5 at height v.
float flameLean(float v);
void paintSky(Image& image, const Fonts& fonts);
void paintWall(Image& image, const Fonts& fonts);

void paintCubeK(Image& image, const Fonts& fonts);
void paintCubeD(Image& image, const Fonts& fonts);
// The nineteen text pages, in the order they are shown.
constexpr int TEXT_PAGE_COUNT = 19;
extern const char* const TEXT_PAGE_LINES[TEXT_PAGE_COUNT];
void paintTextPage(Image& image, const Fonts& fonts, int page);

void paintGreetingsBackdrop(Image& image, const Fonts& fonts);
// The ten greeting logos, each the group's name set as a logo of its own.
constexpr int LOGO_COUNT = 10;
void paintLogo(Image& image, const Fonts& fonts, int logo);
void paintPentagram(Image& image, const Fonts& fonts);

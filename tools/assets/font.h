// Antialiased type for the textures: TrueType fonts of the DejaVu family,
// rasterised with stb_truetype into coverage masks.
#pragma once

#include <string>
#include <vector>

#include "tools/assets/image.h"

// Where the DejaVu fonts live (package fonts-dejavu-core).
constexpr const char* FONT_DIR = "/usr/share/fonts/truetype/dejavu/";

struct Font {
    std::vector<unsigned char> data;  // the whole .ttf file
    std::vector<unsigned char> info;  // stbtt_fontinfo, kept opaque here
};

// Loads FONT_DIR + fileName; returns 1 on success, 0 when missing or unreadable.
int loadFont(const std::string& fileName, Font* font);

// How a line of text is set.
struct TextStyle {
    float pixelHeight = 64.0f;  // ascent to descent, in pixels
    float squeeze = 1.0f;       // horizontal scale of the glyphs (< 1 narrower)
    float tracking = 0.0f;      // extra pixels between letters
};

// Width in pixels of text set in style.
float textWidth(const Font& font, const std::string& text, const TextStyle& style);
// Distance from the baseline to the top of capitals, in pixels.
float capHeight(const Font& font, const TextStyle& style);
// Draws text with its baseline starting at (x, baseline) into mask (max of coverage).
void drawText(Mask& mask, const Font& font, const std::string& text, const TextStyle& style, float x, float baseline);
// Draws text centred on cx, its capitals centred vertically on cy.
void drawTextCentred(Mask& mask, const Font& font, const std::string& text, const TextStyle& style, float cx, float cy);

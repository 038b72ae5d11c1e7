// Text rasterising for the generator's textures.
#include "tools/assets/font.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#define STB_TRUETYPE_IMPLEMENTATION
#include <stb/stb_truetype.h>

namespace {

const stbtt_fontinfo* fontInfo(const Font& font) { return reinterpret_cast<const stbtt_fontinfo*>(font.info.data()); }

float pixelScale(const Font& font, const TextStyle& style)
{
    return stbtt_ScaleForPixelHeight(fontInfo(font), style.pixelHeight);
}

}  // namespace

int loadFont(const std::string& fileName, Font* font)
{
    const std::string path = std::string(FONT_DIR) + fileName;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        std::fprintf(stderr, "vantrel-assets: font %s not found (package fonts-dejavu-core)\n", path.c_str());
        return 0;
    }
    std::vector<unsigned char> data;
    unsigned char chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) data.insert(data.end(), chunk, chunk + got);
    std::fclose(file);
    font->data = std::move(data);
    font->info.assign(sizeof(stbtt_fontinfo), 0);
    stbtt_fontinfo* info = reinterpret_cast<stbtt_fontinfo*>(font->info.data());
    if (font->data.empty() || !stbtt_InitFont(info, font->data.data(), stbtt_GetFontOffsetForIndex(font->data.data(), 0))) {
        std::fprintf(stderr, "vantrel-assets: %s is not a TrueType font\n", path.c_str());
        return 0;
    }
    return 1;
}

float textWidth(const Font& font, const std::string& text, const TextStyle& style)
{
    const stbtt_fontinfo* info = fontInfo(font);
    const float sy = pixelScale(font, style);
    const float sx = sy * style.squeeze;
    float width = 0.0f;
    for (size_t i = 0; i < text.size(); ++i) {
        const int c = static_cast<unsigned char>(text[i]);
        int advance = 0, bearing = 0;
        stbtt_GetCodepointHMetrics(info, c, &advance, &bearing);
        width += advance * sx;
        if (i + 1 < text.size()) {
            width += stbtt_GetCodepointKernAdvance(info, c, static_cast<unsigned char>(text[i + 1])) * sx;
            width += style.tracking;
        }
    }
    return width;
}

float capHeight(const Font& font, const TextStyle& style)
{
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    stbtt_GetCodepointBox(fontInfo(font), 'H', &x0, &y0, &x1, &y1);
    return static_cast<float>(y1) * pixelScale(font, style);
}

void drawText(Mask& mask, const Font& font, const std::string& text, const TextStyle& style, float x, float baseline)
{
    const stbtt_fontinfo* info = fontInfo(font);
    const float sy = pixelScale(font, style);
    const float sx = sy * style.squeeze;
    float pen = x;
    std::vector<unsigned char> glyph;
    for (size_t i = 0; i < text.size(); ++i) {
        const int c = static_cast<unsigned char>(text[i]);
        const float shiftX = pen - std::floor(pen);
        const float shiftY = baseline - std::floor(baseline);
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        stbtt_GetCodepointBitmapBoxSubpixel(info, c, sx, sy, shiftX, shiftY, &x0, &y0, &x1, &y1);
        const int w = x1 - x0, h = y1 - y0;
        if (w > 0 && h > 0) {
            glyph.assign(static_cast<size_t>(w) * h, 0);
            stbtt_MakeCodepointBitmapSubpixel(info, glyph.data(), w, h, w, sx, sy, shiftX, shiftY, c);
            const int ox = static_cast<int>(std::floor(pen)) + x0;
            const int oy = static_cast<int>(std::floor(baseline)) + y0;
            for (int gy = 0; gy < h; ++gy)
                for (int gx = 0; gx < w; ++gx) {
                    const int mx = ox + gx, my = oy + gy;
                    if (mx < 0 || my < 0 || mx >= mask.width || my >= mask.height) continue;
                    const float v = glyph[static_cast<size_t>(gy) * w + gx] / 255.0f;
                    mask.at(mx, my) = std::max(mask.at(mx, my), v);
                }
        }
        int advance = 0, bearing = 0;
        stbtt_GetCodepointHMetrics(info, c, &advance, &bearing);
        pen += advance * sx + style.tracking;
        if (i + 1 < text.size()) pen += stbtt_GetCodepointKernAdvance(info, c, static_cast<unsigned char>(text[i + 1])) * sx;
    }
}

void drawTextCentred(Mask& mask, const Font& font, const std::string& text, const TextStyle& style, float cx, float cy)
{
    drawText(mask, font, text, style, cx - textWidth(font, text, style) * 0.5f, cy + capHeight(font, style) * 0.5f);
}

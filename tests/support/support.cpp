#include "tests/support/support.h"

#include <GL/gl.h>
#include <unistd.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "assets/tga.h"
#include "shell/demo.h"
#include "shell/keys.h"
#include "shell/window.h"

namespace fs = std::filesystem;

HeadlessConfig quietConfig()
{
    HeadlessConfig config;
    config.quiet = 1;
    return config;
}

void configureQuietly() { headlessConfigure(quietConfig()); }

int openHeadlessWindow(const HeadlessConfig& config)
{
    headlessConfigure(config);
    return openMainWindow("Vantrel by Skarvel", 800, 600, 16, 1);
}

double Frame::mean(int x0, int y0, int x1, int y1) const
{
    double sum = 0;
    long count = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const unsigned char* p = at(x, y);
            sum += p[0] + p[1] + p[2];
            count += 3;
        }
    return count ? sum / count : 0.0;
}

bool Frame::uniform() const
{
    for (size_t i = 3; i < rgb.size(); i += 3)
        if (std::memcmp(&rgb[i], &rgb[0], 3) != 0) return false;
    return true;
}

Frame readFrame()
{
    Frame frame;
    frame.rgb.resize(static_cast<size_t>(frame.width) * frame.height * 3);
    headlessReadFrame(frame.rgb.data());
    return frame;
}

bool writePng(const std::string& path, const Frame& frame)
{
    return stbi_write_png(path.c_str(), frame.width, frame.height, 3, frame.rgb.data(), frame.width * 3) != 0;
}

void keepFrame(const Frame& frame, const std::string& name)
{
    const fs::path path = fs::path(VANTREL_BINARY_DIR) / "test-frames" / name;
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    writePng(path.string(), frame);
}

GLint glInteger(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

uint32_t referenceRandomState(int n)
{
    uint32_t state = 1;
    for (int i = 0; i < n; ++i) state = state * 214013u + 2531011u;
    return state;
}

int referenceRandomValue(int n) { return static_cast<int>((referenceRandomState(n) >> 16) & 0x7FFF); }

GLint textureLevel(unsigned name, GLenum parameter)
{
    glBindTexture(GL_TEXTURE_2D, name);
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, parameter, &value);
    return value;
}

GLint textureWidth(unsigned name) { return glIsTexture(name) ? textureLevel(name, GL_TEXTURE_WIDTH) : 0; }

void expectBlackClearColour()
{
    GLfloat clear[4] = {1, 1, 1, 1};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    for (float c : clear) EXPECT_EQ(c, 0.0f);
}

void pixelExactView()
{
    glViewport(0, 0, 800, 600);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 800, 0, 600, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}

bool sawMessageBox(const std::string& caption, const std::string& text)
{
    for (int i = 0; i < headlessMessageBoxCount(); ++i) {
        const HeadlessMessageBox& box = headlessMessageBoxAt(i);
        if (box.caption == caption && box.text == text) return true;
    }
    return false;
}

void glPixel(int x, int y, unsigned char rgb[3])
{
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
}

void GLTest::SetUp()
{
    config.quiet = 1;
    ASSERT_EQ(openHeadlessWindow(config), 1) << "no GL context (is DISPLAY set to a running X server?)";
}

void GLTest::TearDown()
{
    closeMainWindow();
}


void SceneTest::SetUp()
{
    GLTest::SetUp();
    cd = std::make_unique<ScopedChdir>(dir.path());
    playState = PLAY_RUNNING;
    sceneDone = 0;
}

void SceneTest::TearDown()
{
    cd.reset();
    GLTest::TearDown();
}

void expectPausedDrawsNothing(int (*draw)(float), std::initializer_list<float> times)
{
    playState = PLAY_PAUSED;
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    for (float t : times) EXPECT_EQ(draw(t), 1) << "t = " << t;
    const Frame paused = readFrame();
    EXPECT_TRUE(paused.uniform());
    EXPECT_NEAR(paused.at(400, 300)[2], 153, 1);  // the marker colour, untouched
}

void expectShots(const std::vector<ShotCase>& cases, int (*shotAt)(float), void (*drawAt)(float), const int& shown,
                 int noShot)
{
    for (const ShotCase& c : cases) {
        EXPECT_EQ(shotAt(c.t), c.shot) << "t = " << c.t;
        sceneDone = 0;
        drawAt(c.t);
        EXPECT_EQ(shown, c.shot) << "t = " << c.t;
        EXPECT_EQ(sceneDone, c.shot == noShot ? 1 : 0) << "t = " << c.t;
    }
}

std::string packDir()
{
    return std::string(VANTREL_BINARY_DIR) + "/data";
}

::testing::AssertionResult packIsThere()
{
    std::error_code error;
    for (const char* part : {"/maps", "/models", "/Halvo.mp3"})
        if (!fs::exists(packDir() + part, error))
            return ::testing::AssertionFailure() << "no asset pack in " << packDir() << " (" << part + 1 << " is missing)";
    return ::testing::AssertionSuccess();
}

bool copyPack(const std::string& dir)
{
    std::error_code error;
    fs::copy(packDir(), dir, fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
    if (error) return false;
    fs::remove(dir + "/.pack-stamp", error);  // the build's mark that the pack is made, not a file of it
    return true;
}

std::string corpusDir()
{
    const std::string dir = VANTREL_CORPUS_DIR;
    std::error_code error;
    return fs::is_directory(dir, error) ? dir : std::string();
}


void solidTexture(unsigned name, unsigned char r, unsigned char g, unsigned char b)
{
    const unsigned char texels[4 * 3] = {r, g, b, r, g, b, r, g, b, r, g, b};
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
}

std::vector<unsigned char> solidTga(int side, unsigned char r, unsigned char g, unsigned char b, int bits)
{
    const size_t pixelBytes = static_cast<size_t>(bits / 8);
    std::vector<unsigned char> tga(TGA_HEADER_SIZE, 0);
    tga[2] = 2;  // uncompressed true colour
    tga[12] = tga[14] = static_cast<unsigned char>(side & 0xff);
    tga[13] = tga[15] = static_cast<unsigned char>(side >> 8);
    tga[16] = static_cast<unsigned char>(bits);
    const unsigned char pixel[4] = {b, g, r, 255};
    tga.reserve(TGA_HEADER_SIZE + static_cast<size_t>(side) * side * pixelBytes);
    for (int i = 0; i < side * side; ++i) tga.insert(tga.end(), pixel, pixel + pixelBytes);
    return tga;
}

std::vector<unsigned char> tgaFile(int side, unsigned char level) { return solidTga(side, level, level, level); }

// Shared pieces of the tests: a headless window with a real GL context, frame
// read-back, temporary files and the peer corpus.
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless.h"
#include "tests/support/files.h"

// A headless configuration that keeps the layer's log of boxes and modes off
// stderr, as every test wants; and the layer configured with it alone.
HeadlessConfig quietConfig();
void configureQuietly();

// Opens the demo's window on the headless layer with the given configuration.
// Returns what openMainWindow returned.
int openHeadlessWindow(const HeadlessConfig& config = HeadlessConfig{});

// An 800 x 600 RGB frame, top row first.
struct Frame {
    std::vector<unsigned char> rgb;
    int width = 800;
    int height = 600;
    // Channel values of the pixel at (x, y), y counted from the top.
    const unsigned char* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    // Mean of all channels over a rectangle, 0..255.
    double mean(int x0, int y0, int x1, int y1) const;
    // Whether every pixel is the same colour.
    bool uniform() const;
};
Frame readFrame();
// Writes a frame to a PNG file (for looking at what a test drew).
bool writePng(const std::string& path, const Frame& frame);
// Keeps a frame for looking at: test-frames/NAME in the build tree (NAME may
// hold folders, which are made).
void keepFrame(const Frame& frame, const std::string& name);

// Reads back the current colour buffer pixel at GL coordinates (x from the left, y from the bottom).
void glPixel(int x, int y, unsigned char rgb[3]);
// One integer of GL state (glGetIntegerv).
GLint glInteger(GLenum name);
// A level-0 parameter of a texture name's image (glGetTexLevelParameteriv); the name is left bound.
GLint textureLevel(unsigned name, GLenum parameter);
// The width of a texture name's image, 0 when the name holds none.
GLint textureWidth(unsigned name);
// The clear colour must be (0, 0, 0, 0), as the scenes set it.
void expectBlackClearColour();
// A view in which a vertex (x, y, 0) lands on pixel (x, y) from the bottom left
// of the 800 x 600 target: identity model-view, an orthographic projection,
// and depth test, face culling, blending and texturing off.
void pixelExactView();

// Whether a message box with this caption and text was shown since the headless layer was configured.
bool sawMessageBox(const std::string& caption, const std::string& text);

// Test fixture with the demo's window open on the headless layer.
class GLTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    HeadlessConfig config;
};

// Frames drawn while it lives change the scenes' state but no pixel: for tests
// that check what frames leave behind, not what they show.
class ScopedRasterDiscard {
public:
    ScopedRasterDiscard() { headlessSetRasterDiscard(1); }
    ~ScopedRasterDiscard() { headlessSetRasterDiscard(0); }
    ScopedRasterDiscard(const ScopedRasterDiscard&) = delete;
    ScopedRasterDiscard& operator=(const ScopedRasterDiscard&) = delete;
};


// Defines a 2 x 2 texture of one colour, nearest filtering, under a texture name.
void solidTexture(unsigned name, unsigned char r, unsigned char g, unsigned char b);
// An uncompressed TGA file of one colour and the given side (up to 65535):
// 24 bits, or 32 with opaque alpha.
std::vector<unsigned char> solidTga(int side, unsigned char r, unsigned char g, unsigned char b, int bits = 24);
// An uncompressed 24-bit TGA file of one grey level and the given side.
std::vector<unsigned char> tgaFile(int side, unsigned char level);

// An independent reference of the demo's random generator: its state after n
// steps from state 1, and the n-th value it draws from there (15 bits).
uint32_t referenceRandomState(int n);
int referenceRandomValue(int n);

// The asset pack the build generated (build/data), for tests that only read it.
// The build always makes it; a test that needs it fails, not skips, without it.
std::string packDir();
::testing::AssertionResult packIsThere();
// Copies the pack into a directory, for tests that change its files.
bool copyPack(const std::string& dir);

// The peer corpus directory, or empty when it is not there.
std::string corpusDir();

// A GL test for a scene: its working directory is a scratch folder of its own
// (dir), where the scene's files can be written, the music is playing and no
// scene is done.
class SceneTest : public GLTest {
protected:
    void SetUp() override;
    void TearDown() override;
    TempDir dir;
    std::unique_ptr<ScopedChdir> cd;
};

// With the music paused, draws a scene at each of the times over a frame
// cleared to a marker colour: every draw must go on (return 1) and leave the
// frame exactly as it was, not even cleared.
void expectPausedDrawsNothing(int (*draw)(float), std::initializer_list<float> times);

// A moment and the camera shot a scene must show then.
struct ShotCase {
    float t;   // demo seconds
    int shot;  // or the scene's value for no shot
};
// For every case: the scene's own lookup gives the shot, one frame drawn at
// that time shows it (shown), and only a frame with no shot ends the scene.
void expectShots(const std::vector<ShotCase>& cases, int (*shotAt)(float), void (*drawAt)(float), const int& shown,
                 int noShot);

// Skips the current test, saying why, when the corpus is absent.
#define REQUIRE_CORPUS()                                                         \
    do {                                                                         \
        if (corpusDir().empty()) GTEST_SKIP() << "../shared/corpus is absent";   \
    } while (0)

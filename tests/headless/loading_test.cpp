// The loading phase: the loading image drawn once edge to edge, the white quad
// without it, and the state it leaves for the first scene.
#include <GL/gl.h>

#include <string>
#include <vector>

#include "scenes/scenes.h"
#include "shell/loading.h"
#include "tests/support/support.h"

namespace {

constexpr int SIDE = 256;  // large enough that no screen pixel filters across the wrapped edge

// A 24-bit TGA in four quadrants. The file's first rows are the lower half:
// red at the left, green at the right; above them blue at the left, white at the right.
std::vector<unsigned char> quadrantTga()
{
    std::vector<unsigned char> f(18, 0);
    f[2] = 2;
    f[12] = f[14] = 0;
    f[13] = f[15] = 1;  // 256
    f[16] = 24;
    for (int row = 0; row < SIDE; ++row)
        for (int col = 0; col < SIDE; ++col) {
            const bool upper = row >= SIDE / 2, right = col >= SIDE / 2;
            const unsigned char r = upper == right ? 255 : 0;
            const unsigned char g = right ? 255 : 0;
            const unsigned char b = upper ? 255 : 0;
            f.push_back(b);
            f.push_back(g);
            f.push_back(r);
        }
    return f;
}

struct Rgb {
    int r, g, b;
};

Rgb pixel(const Frame& frame, int x, int y)
{
    const unsigned char* p = frame.at(x, y);
    return {p[0], p[1], p[2]};
}

class Loading : public GLTest {
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        cd = new ScopedChdir(dir.path());
    }
    void TearDown() override
    {
        delete cd;
        GLTest::TearDown();
    }
    void expectStateLeft()
    {
        GLfloat clear[4] = {-1, -1, -1, -1};
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        EXPECT_EQ(clear[0], 0.0f);
        EXPECT_EQ(clear[1], 0.0f);
        EXPECT_EQ(clear[2], 0.0f);
        EXPECT_EQ(clear[3], 1.0f);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    }
    TempDir dir;
    ScopedChdir* cd = nullptr;
};

}  // namespace

TEST_F(Loading, TheImageFillsTheFirstSwappedFrameEdgeToEdgeUprightAndUnmirrored)
{
    dir.write("maps/loading-vantrel.tga", quadrantTga());
    const int64_t swapsBefore = headlessSwapCount();
    EXPECT_EQ(runLoadingPhase(), 1);
    EXPECT_EQ(headlessSwapCount(), swapsBefore + 1);  // drawn and shown exactly once
    const Frame frame = readFrame();
    writePng(dir.file("loading.png"), frame);
    // Frame rows are counted from the top: the file's first rows sit at the bottom.
    const struct {
        int x, y;
        Rgb want;
        const char* where;
    } corners[] = {
        {0, 599, {255, 0, 0}, "bottom left"},   {799, 599, {0, 255, 0}, "bottom right"},
        {0, 0, {0, 0, 255}, "top left"},        {799, 0, {255, 255, 255}, "top right"},
        {200, 450, {255, 0, 0}, "lower left"},  {600, 150, {255, 255, 255}, "upper right"},
    };
    for (const auto& c : corners) {
        const Rgb got = pixel(frame, c.x, c.y);
        EXPECT_EQ(got.r, c.want.r) << c.where;
        EXPECT_EQ(got.g, c.want.g) << c.where;
        EXPECT_EQ(got.b, c.want.b) << c.where;
    }
    // The image stays in texture name 0 for later.
    EXPECT_EQ(textureLevel(TEX_LOADING, GL_TEXTURE_WIDTH), SIDE);  // name 0 is the default texture
    expectStateLeft();
}

TEST_F(Loading, WithoutTheImageAWhiteQuadFillsTheScreenAndLoadingGoesOn)
{
    const struct {
        const char* name;
        std::vector<unsigned char> bytes;
    } cases[] = {
        {"", {}},  // no file at all
        {"maps/loading-vantrel.tga", std::vector<unsigned char>(10, 0)},  // a file too short to read
    };
    for (const auto& c : cases) {
        if (c.name[0] != '\0') dir.write(c.name, c.bytes);
        const int64_t swapsBefore = headlessSwapCount();
        EXPECT_EQ(runLoadingPhase(), 1) << c.name;
        EXPECT_EQ(headlessSwapCount(), swapsBefore + 1) << c.name;
        const Frame frame = readFrame();
        // The quad overfills the view a hair at each side: white touches every edge.
        EXPECT_TRUE(frame.uniform()) << c.name;
        const Rgb got = pixel(frame, 0, 0);
        EXPECT_EQ(got.r + got.g + got.b, 3 * 255) << c.name;
        expectStateLeft();
    }
}

TEST_F(Loading, TheQuadOverfillsTheViewOnlyByAHair)
{
    // Drawn into a view a tenth wider and taller (the projection widened by a
    // tenth), the white quad shows its edges on the black clear colour, just inside.
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glScalef(1.0f / 1.1f, 1.0f / 1.1f, 1.0f);
    glMatrixMode(GL_MODELVIEW);
    runLoadingPhase();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    const Frame frame = readFrame();
    writePng(dir.file("loading-shrunk.png"), frame);
    EXPECT_EQ(pixel(frame, 5, 300).r, 0);    // black beyond the left edge
    EXPECT_EQ(pixel(frame, 400, 5).r, 0);    // and above the top
    EXPECT_EQ(pixel(frame, 400, 300).r, 255);
    // The quad's edge lands at 1 / 1.1 of the half width plus a little: about 36 pixels in.
    int firstWhite = -1;
    for (int x = 0; x < 400 && firstWhite < 0; ++x)
        if (pixel(frame, x, 300).r == 255) firstWhite = x;
    EXPECT_NEAR(firstWhite, 400 - 400 * 2.0 / (1.1 * 3.6 * 0.41421356 * 4.0 / 3.0), 2.0);
}

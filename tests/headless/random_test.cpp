// The demo's own pseudo-random generator and who draws from it during loading.
#include <cstdint>

#include "scenes/fire.h"
#include "scenes/scenes.h"
#include "shell/loading.h"
#include "shell/random.h"
#include "tests/support/support.h"

TEST(Random, FirstValuesFromStateOne)
{
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    ASSERT_EQ(demoRandState, 1u);
    for (int value : expected) EXPECT_EQ(demoRand(), value);
}

TEST(Random, StateStepsModuloTwoToTheThirtyTwo)
{
    struct Case {
        uint32_t before;
        uint32_t after;
        int value;
    };
    const Case cases[] = {
        {1u, 2745024u, 41},                  // 214013 + 2531011
        {0u, 2531011u, 38},                  // the increment alone
        {0xFFFFFFFFu, 2316998u, 35},         // -214013 + 2531011 after wrapping
        {0x80000000u, 0x80269EC3u, 0x0026},  // bit 31 of the state never reaches the value
    };
    for (const Case& c : cases) {
        demoRandState = c.before;
        EXPECT_EQ(demoRand(), c.value) << "from state " << c.before;
        EXPECT_EQ(demoRandState, c.after) << "from state " << c.before;
    }
}

TEST(Random, FireLoaderTakesTheFirst1500Draws)
{
    TempDir dir;  // no models: the loader still lays out every cloud
    ScopedChdir cd(dir.path());
    ASSERT_EQ(fireSceneLoad(), 1);
    EXPECT_EQ(demoRandState, referenceRandomState(1500));
    // Particle 0 takes draws 1, 2, 3 (41, 18467, 6334) as x, y and fade.
    EXPECT_FLOAT_EQ(cloudParticles[0].x, (41 % 500 - 250) / 30000.0f);
    EXPECT_FLOAT_EQ(cloudParticles[0].y, (18467 % 500 - 250) / 30000.0f);
    EXPECT_FLOAT_EQ(cloudParticles[0].fade, (6334 % 50 - 25) / 600000.0f);
    // The last particle takes draws 1498, 1499 and 1500.
    EXPECT_FLOAT_EQ(cloudParticles[499].x, (referenceRandomValue(1498) % 500 - 250) / 30000.0f);
    EXPECT_FLOAT_EQ(cloudParticles[499].y, (referenceRandomValue(1499) % 500 - 250) / 30000.0f);
    EXPECT_FLOAT_EQ(cloudParticles[499].fade, (referenceRandomValue(1500) % 50 - 25) / 600000.0f);
    for (const CloudParticle& p : cloudParticles) {
        EXPECT_EQ(p.life, 1.0f);
        EXPECT_GE(p.x, -250 / 30000.0f);
        EXPECT_LE(p.x, 249 / 30000.0f);
        EXPECT_GE(p.fade, -25 / 600000.0f);
        EXPECT_LE(p.fade, 24 / 600000.0f);
    }
}

class RandomLoading : public GLTest {};

// The loading phase calls the fire loader first, so the clouds get draws 1 to
// 1500 whatever the other loaders do; the greetings' loader draws next, and no
// other loader draws at all.
TEST_F(RandomLoading, LoadersDrawConsecutiveBlocksInLoadingOrder)
{
    TempDir dir;
    ScopedChdir cd(dir.path());
    ASSERT_EQ(runLoadingPhase(), 1);
    const uint32_t afterLoading = demoRandState;
    EXPECT_FLOAT_EQ(cloudParticles[0].x, (41 % 500 - 250) / 30000.0f);
    EXPECT_FLOAT_EQ(cloudParticles[499].fade, (referenceRandomValue(1500) % 50 - 25) / 600000.0f);

    // The greetings' loader alone, from where the fire loader left the state,
    // ends where the whole loading phase ended.
    demoRandState = referenceRandomState(1500);
    ASSERT_EQ(greetingsLoad(), 1);
    EXPECT_EQ(afterLoading, demoRandState);
    // Two blocks of 1500: draws 1501 to 3000 went to the greetings.
    EXPECT_EQ(afterLoading, referenceRandomState(3000));
}

#include "shell/random.h"

uint32_t demoRandState = 1;

int demoRand()
{
    demoRandState = demoRandState * 214013u + 2531011u;
    return static_cast<int>((demoRandState >> 16) & 0x7FFFu);
}

// Stand-in until the loader is built: every file counts as unopenable.
#include "assets/tga.h"

int loadTgaTexture(const char*, unsigned) { return TGA_CANNOT_OPEN; }
int loadTgaTextureFromMemory(const unsigned char*, size_t, unsigned) { return TGA_BAD_TYPE; }

// Stand-in until the reader is built: every file counts as missing.
#include "assets/ase.h"

#include <cstdio>

int loadAseScene(const char* path, AseScene*)
{
    std::printf("# %s not found!\n", path);
    return 0;
}
int loadAseSceneFromMemory(const char*, size_t, AseScene*) { return 0; }
void releaseAseScene(AseScene*) {}

// What the two ASE fuzz targets share: one load of a file held in memory, the
// checks of what the reader promises about the scene it filled, and freeing
// every table the load allocated. Material bitmaps are looked up from the
// working directory: run in the generated pack's directory, relative paths
// such as maps/roca.tga load real textures (through the GL stand-ins).
#pragma once

#include <cstddef>

// Loads the scene from data[0, size), checks it and frees it; aborts with a
// message on stderr when a promise is broken.
void aseFuzzLoad(const char* data, size_t size);

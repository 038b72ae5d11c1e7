// Opening asset files: only regular files are read, so that a FIFO, a device
// or a directory named as a scene, a texture or a soundtrack can neither block
// the loading phase nor feed a buffer that grows without end.
#pragma once

#include <cstddef>
#include <cstdio>

// Opens path for binary reading when it names a regular file; null otherwise
// (missing, unreadable, a FIFO, a device, a directory). *size gets its length
// in bytes when size is not null.
std::FILE* openAssetFile(const char* path, size_t* size);

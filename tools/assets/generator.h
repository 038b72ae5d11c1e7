// The asset pack generator: every texture, scene and the soundtrack the demo
// reads, made by our own code, the same bytes on every run.
#pragma once

#include <cstddef>
#include <string>

// Each writes its files below outDir (creating maps/ and models/) and returns 1 on success.
int writeTextures(const std::string& outDir);   // maps/*.tga, models/pentagrama.tga
int writeModels(const std::string& outDir);     // models/*.ase
int writeSoundtrack(const std::string& outDir); // Halvo.mp3

// Writes bytes to path, replacing what was there; 1 on success. A file that
// cannot be opened or written in full is reported on stderr.
int writeFileBytes(const std::string& path, const void* bytes, size_t size);

// Writing the generator's files.
#include <cstdio>

#include "tools/assets/generator.h"

int writeFileBytes(const std::string& path, const void* bytes, size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "vantrel-assets: cannot write %s\n", path.c_str());
        return 0;
    }
    const size_t written = size > 0 ? std::fwrite(bytes, 1, size, file) : 0;
    const int closed = std::fclose(file) == 0;
    if (written != size || !closed) {
        std::fprintf(stderr, "vantrel-assets: %s was not written in full\n", path.c_str());
        return 0;
    }
    return 1;
}

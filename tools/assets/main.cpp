// vantrel-assets OUTDIR: writes the complete asset pack into OUTDIR.
#include <cstdio>
#include <filesystem>

#include "tools/assets/generator.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vantrel-assets OUTDIR\n");
        return 2;
    }
    const std::string out = argv[1];
    std::error_code error;
    std::filesystem::create_directories(out + "/maps", error);
    std::filesystem::create_directories(out + "/models", error);
    if (error) {
        std::fprintf(stderr, "vantrel-assets: cannot create %s: %s\n", out.c_str(), error.message().c_str());
        return 1;
    }
    if (!writeTextures(out) || !writeModels(out) || !writeSoundtrack(out)) {
        std::fprintf(stderr, "vantrel-assets: failed to write the pack into %s\n", out.c_str());
        return 1;
    }
    return 0;
}

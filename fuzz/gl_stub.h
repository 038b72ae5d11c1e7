// Stand-ins for the GL calls of the texture upload, for the fuzz targets that
// run the readers without a GL context. The upload reads every byte GL itself
// would read from the pixel buffer (rows padded to the unpack alignment), so an
// upload from a buffer that is too short is an out-of-bounds read.
#pragma once

#include <cstdint>

struct StubUpload {
    unsigned texture;     // the texture bound when the image was given
    int width, height;    // pixels
    unsigned format;      // GL_RGB or GL_RGBA
    uint64_t checksum;    // FNV-1a of the bytes read
};

// Uploads since the last stubReset, and the last one.
extern int stubUploadCount;
extern StubUpload stubLastUpload;

// Forgets the uploads and returns the GL state the stand-ins keep to its defaults.
void stubReset();

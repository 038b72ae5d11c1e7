// GL 1.1 over WebGL 2 for the web build; see web_gl.h. The demo's GL calls
// resolve to the functions below; WebGL itself is reached through
// Emscripten's emscripten_gl* entry points, so nothing here calls itself.
#include "platform/web/web_gl.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <vector>

// WebGL 2 (OpenGL ES 3.0) entry points, under the names Emscripten gives them.
extern "C" {
void emscripten_glActiveTexture(GLenum texture);
void emscripten_glAttachShader(GLuint program, GLuint shader);
void emscripten_glBindAttribLocation(GLuint program, GLuint index, const GLchar* name);
void emscripten_glBindBuffer(GLenum target, GLuint buffer);
void emscripten_glBindTexture(GLenum target, GLuint texture);
void emscripten_glBlendFunc(GLenum sfactor, GLenum dfactor);
void emscripten_glBufferData(GLenum target, GLsizeiptr size, const void* data, GLenum usage);
void emscripten_glClear(GLbitfield mask);
void emscripten_glClearColor(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha);
void emscripten_glColorMask(GLboolean red, GLboolean green, GLboolean blue, GLboolean alpha);
void emscripten_glCompileShader(GLuint shader);
void emscripten_glCopyTexImage2D(GLenum target, GLint level, GLenum internalformat, GLint x, GLint y, GLsizei width,
                                 GLsizei height, GLint border);
GLuint emscripten_glCreateProgram();
GLuint emscripten_glCreateShader(GLenum type);
void emscripten_glDeleteBuffers(GLsizei n, const GLuint* buffers);
void emscripten_glDeleteProgram(GLuint program);
void emscripten_glDeleteShader(GLuint shader);
void emscripten_glDeleteTextures(GLsizei n, const GLuint* textures);
void emscripten_glDepthFunc(GLenum func);
void emscripten_glDepthMask(GLboolean flag);
void emscripten_glDisable(GLenum cap);
void emscripten_glDrawArrays(GLenum mode, GLint first, GLsizei count);
void emscripten_glEnable(GLenum cap);
void emscripten_glEnableVertexAttribArray(GLuint index);
void emscripten_glFinish();
void emscripten_glFlush();
void emscripten_glGenBuffers(GLsizei n, GLuint* buffers);
void emscripten_glGenTextures(GLsizei n, GLuint* textures);
void emscripten_glGetProgramiv(GLuint program, GLenum pname, GLint* params);
void emscripten_glGetShaderInfoLog(GLuint shader, GLsizei bufSize, GLsizei* length, GLchar* infoLog);
void emscripten_glGetShaderiv(GLuint shader, GLenum pname, GLint* params);
GLint emscripten_glGetUniformLocation(GLuint program, const GLchar* name);
void emscripten_glLinkProgram(GLuint program);
void emscripten_glPixelStorei(GLenum pname, GLint param);
void emscripten_glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
                             void* pixels);
void emscripten_glScissor(GLint x, GLint y, GLsizei width, GLsizei height);
void emscripten_glShaderSource(GLuint shader, GLsizei count, const GLchar* const* string, const GLint* length);
void emscripten_glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height,
                             GLint border, GLenum format, GLenum type, const void* pixels);
void emscripten_glTexParameteri(GLenum target, GLenum pname, GLint param);
void emscripten_glUniform1i(GLint location, GLint v0);
void emscripten_glUseProgram(GLuint program);
void emscripten_glVertexAttribPointer(GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride,
                                      const void* pointer);
void emscripten_glViewport(GLint x, GLint y, GLsizei width, GLsizei height);
}

namespace {

constexpr int MODELVIEW_DEPTH = 32;   // matrix stack depths, as GL 1.1 guarantees at least
constexpr int PROJECTION_DEPTH = 4;
constexpr int TEXTURE_DEPTH = 4;
constexpr int LIGHT_COUNT = 8;        // GL_LIGHT0 .. GL_LIGHT7
constexpr GLuint ATTRIB_POSITION = 0;  // shader attribute slots
constexpr GLuint ATTRIB_COLOUR = 1;
constexpr GLuint ATTRIB_TEXCOORD = 2;

// A matrix, column-major as GL stores it.
struct Matrix {
    float m[16];
};
constexpr Matrix IDENTITY = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

// One vertex as the shader takes it: clip coordinates, final colour, texture coordinate.
struct BatchVertex {
    float clip[4];
    float colour[4];
    float texcoord[2];
};

struct Light {
    float ambient[4];
    float diffuse[4];
    float specular[4];
    float position[4];     // eye coordinates, transformed when set
    float attenuation[3];  // constant, linear, quadratic
    int enabled;
};

struct Material {
    float ambient[4];
    float diffuse[4];
    float specular[4];
    float emission[4];
    float shininess;
};

// What the layer knows of one texture object.
struct Texture {
    GLuint webgl;    // the WebGL texture behind the GL name
    int hasImage;    // level 0 has been given
    GLint minFilter; // a filter that needs mipmaps makes the texture incomplete (no mipmaps are made)
};

// The fixed-function state.
Matrix modelview[MODELVIEW_DEPTH];
Matrix projection[PROJECTION_DEPTH];
Matrix textureMatrix[TEXTURE_DEPTH];
int modelviewTop = 0;                  // index of the current matrix in each stack
int projectionTop = 0;
int textureTop = 0;
GLenum matrixMode = GL_MODELVIEW;
unsigned modelviewVersion = 1;         // changes whenever the modelview matrix does
unsigned normalMatrixVersion = 0;      // modelviewVersion the normal matrix was made from
float normalMatrix[9];                 // inverse transpose of the modelview's upper 3 x 3, column-major

float currentColour[4] = {1, 1, 1, 1};
float currentNormal[3] = {0, 0, 1};
float currentTexcoord[2] = {0, 0};

int textureEnabled = 0;                // GL_TEXTURE_2D
int lightingEnabled = 0;
int normalizeEnabled = 0;
int blendEnabled = 0;
int depthTestEnabled = 0;
Light lights[LIGHT_COUNT];
float lightModelAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
Material frontMaterial;                // also lights back faces: two-sided lighting is never turned on
Material backMaterial;

std::unordered_map<GLuint, Texture> textures;  // by GL name; name 0 is the default texture
GLuint boundTexture = 0;               // GL name bound to GL_TEXTURE_2D
GLuint nextTextureName = 1;            // glGenTextures hands out names from here

// Immediate mode.
int insideBegin = 0;
GLenum primitive = GL_TRIANGLES;
std::vector<BatchVertex> primitiveVertices;  // the vertices since glBegin

// The batch: triangles waiting to be drawn under the state they were made in.
std::vector<BatchVertex> batch;
int batchTextured = 0;                 // the batch samples the bound texture

int rasterDiscard = 0;                 // nothing reaches the frame
GLuint program = 0;
GLuint vertexBuffer = 0;

const char* const VERTEX_SHADER =
    "attribute vec4 position;\n"
    "attribute vec4 colour;\n"
    "attribute vec2 texcoord;\n"
    "varying vec4 vColour;\n"
    "varying vec2 vTexcoord;\n"
    "void main() {\n"
    "  vColour = colour;\n"
    "  vTexcoord = texcoord;\n"
    "  gl_Position = position;\n"
    "}\n";
// GL_MODULATE: the fragment's colour times the texel; without a texture, the colour.
const char* const FRAGMENT_SHADER =
    "precision highp float;\n"
    "uniform sampler2D image;\n"
    "uniform int textured;\n"
    "varying vec4 vColour;\n"
    "varying vec2 vTexcoord;\n"
    "void main() {\n"
    "  gl_FragColor = textured != 0 ? vColour * texture2D(image, vTexcoord) : vColour;\n"
    "}\n";
GLint texturedUniform = -1;

// Says once per kind that the demo asked for something the layer leaves out.
void unsupported(const char* what)
{
    static std::vector<const char*> said;
    for (const char* s : said)
        if (std::strcmp(s, what) == 0) return;
    said.push_back(what);
    std::fprintf(stderr, "vantrel: the web GL layer does not do %s; it is left out\n", what);
}

// The stack glMatrixMode chose: its matrices, the index of its top, its depth.
struct MatrixStack {
    Matrix* matrices;
    int* top;
    int depth;
};

MatrixStack currentStack()
{
    if (matrixMode == GL_PROJECTION) return {projection, &projectionTop, PROJECTION_DEPTH};
    if (matrixMode == GL_TEXTURE) return {textureMatrix, &textureTop, TEXTURE_DEPTH};
    return {modelview, &modelviewTop, MODELVIEW_DEPTH};
}

Matrix& currentMatrix()
{
    const MatrixStack stack = currentStack();
    return stack.matrices[*stack.top];
}

void matrixChanged()
{
    if (matrixMode == GL_MODELVIEW) ++modelviewVersion;
}

// a = a x b (b applied first, as glMultMatrix does).
void multiply(Matrix& a, const Matrix& b)
{
    Matrix r = {};
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a.m[k * 4 + row] * b.m[col * 4 + k];
            r.m[col * 4 + row] = sum;
        }
    a = r;
}

void transform(const Matrix& a, const float in[4], float out[4])
{
    for (int row = 0; row < 4; ++row)
        out[row] = a.m[row] * in[0] + a.m[4 + row] * in[1] + a.m[8 + row] * in[2] + a.m[12 + row] * in[3];
}

// The normal matrix of the current modelview: the inverse transpose of its upper 3 x 3.
void updateNormalMatrix()
{
    if (normalMatrixVersion == modelviewVersion) return;
    normalMatrixVersion = modelviewVersion;
    const float* m = modelview[modelviewTop].m;
    // Upper 3 x 3, a[row][col].
    const float a00 = m[0], a01 = m[4], a02 = m[8];
    const float a10 = m[1], a11 = m[5], a12 = m[9];
    const float a20 = m[2], a21 = m[6], a22 = m[10];
    const float c00 = a11 * a22 - a12 * a21, c01 = a12 * a20 - a10 * a22, c02 = a10 * a21 - a11 * a20;
    const float c10 = a02 * a21 - a01 * a22, c11 = a00 * a22 - a02 * a20, c12 = a01 * a20 - a00 * a21;
    const float c20 = a01 * a12 - a02 * a11, c21 = a02 * a10 - a00 * a12, c22 = a00 * a11 - a01 * a10;
    const float det = a00 * c00 + a01 * c01 + a02 * c02;
    const float inv = det != 0.0f ? 1.0f / det : 0.0f;
    // inverse = cofactor^T / det, so its transpose is cofactor / det: n[row][col] = c[row][col] / det.
    const float rows[3][3] = {{c00, c01, c02}, {c10, c11, c12}, {c20, c21, c22}};
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) normalMatrix[col * 3 + row] = rows[row][col] * inv;
}

float clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// The lit colour of a vertex at eye position eye, by the fixed-function lighting
// equation with a viewer at infinity, one-sided, without colour material.
void lightVertex(const float eye[4], float out[4])
{
    updateNormalMatrix();
    float n[3];
    for (int i = 0; i < 3; ++i)
        n[i] = normalMatrix[i] * currentNormal[0] + normalMatrix[3 + i] * currentNormal[1] +
               normalMatrix[6 + i] * currentNormal[2];
    if (normalizeEnabled) {
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (length > 0.0f)
            for (float& c : n) c /= length;
    }
    const Material& mat = frontMaterial;
    float colour[3];
    for (int i = 0; i < 3; ++i) colour[i] = mat.emission[i] + mat.ambient[i] * lightModelAmbient[i];
    const float ex = eye[3] != 0.0f ? eye[0] / eye[3] : eye[0];
    const float ey = eye[3] != 0.0f ? eye[1] / eye[3] : eye[1];
    const float ez = eye[3] != 0.0f ? eye[2] / eye[3] : eye[2];
    for (const Light& light : lights) {
        if (!light.enabled) continue;
        float l[3];
        float attenuation = 1.0f;
        if (light.position[3] != 0.0f) {
            l[0] = light.position[0] / light.position[3] - ex;
            l[1] = light.position[1] / light.position[3] - ey;
            l[2] = light.position[2] / light.position[3] - ez;
            const float d = std::sqrt(l[0] * l[0] + l[1] * l[1] + l[2] * l[2]);
            if (d > 0.0f)
                for (float& c : l) c /= d;
            const float k = light.attenuation[0] + light.attenuation[1] * d + light.attenuation[2] * d * d;
            attenuation = k > 0.0f ? 1.0f / k : 1.0f;
        } else {
            for (int i = 0; i < 3; ++i) l[i] = light.position[i];
            const float d = std::sqrt(l[0] * l[0] + l[1] * l[1] + l[2] * l[2]);
            if (d > 0.0f)
                for (float& c : l) c /= d;
        }
        const float nl = n[0] * l[0] + n[1] * l[1] + n[2] * l[2];
        const float diffuse = nl > 0.0f ? nl : 0.0f;
        float specular = 0.0f;
        if (diffuse > 0.0f) {
            float h[3] = {l[0], l[1], l[2] + 1.0f};  // half vector toward a viewer at infinity on +z
            const float hl = std::sqrt(h[0] * h[0] + h[1] * h[1] + h[2] * h[2]);
            if (hl > 0.0f)
                for (float& c : h) c /= hl;
            const float nh = n[0] * h[0] + n[1] * h[1] + n[2] * h[2];
            specular = std::pow(nh > 0.0f ? nh : 0.0f, mat.shininess);
        }
        for (int i = 0; i < 3; ++i)
            colour[i] += attenuation * (mat.ambient[i] * light.ambient[i] + diffuse * mat.diffuse[i] * light.diffuse[i] +
                                        specular * mat.specular[i] * light.specular[i]);
    }
    for (int i = 0; i < 3; ++i) out[i] = clamp01(colour[i]);
    out[3] = clamp01(mat.diffuse[3]);
}

Texture* findTexture(GLuint name)
{
    const auto found = textures.find(name);
    return found == textures.end() ? nullptr : &found->second;
}

// The texture under a GL name, created on first use as GL 1.1 allows.
Texture& textureNamed(GLuint name)
{
    Texture* known = findTexture(name);
    if (known != nullptr) return *known;
    Texture created = {0, 0, GL_NEAREST_MIPMAP_LINEAR};
    emscripten_glGenTextures(1, &created.webgl);
    if (name >= nextTextureName) nextTextureName = name + 1;
    return textures[name] = created;
}

// Texturing applies when it is on and the bound texture is complete; otherwise
// it is as if it were off.
int texturingApplies()
{
    if (!textureEnabled) return 0;
    const Texture* t = findTexture(boundTexture);
    if (t == nullptr || !t->hasImage) return 0;
    return t->minFilter == GL_NEAREST || t->minFilter == GL_LINEAR;
}

void flushBatch()
{
    if (batch.empty()) return;
    if (!rasterDiscard && program != 0) {
        emscripten_glUseProgram(program);
        emscripten_glUniform1i(texturedUniform, batchTextured);
        emscripten_glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
        emscripten_glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(batch.size() * sizeof(BatchVertex)),
                                batch.data(), GL_STREAM_DRAW);
        emscripten_glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(batch.size()));
    }
    batch.clear();
}

void appendTriangle(const BatchVertex& a, const BatchVertex& b, const BatchVertex& c)
{
    const int textured = texturingApplies();
    if (!batch.empty() && textured != batchTextured) flushBatch();
    batchTextured = textured;
    batch.push_back(a);
    batch.push_back(b);
    batch.push_back(c);
}

// Turns the vertices of one glBegin/glEnd into triangles.
void assemblePrimitive()
{
    const std::vector<BatchVertex>& v = primitiveVertices;
    const size_t count = v.size();
    switch (primitive) {
    case GL_TRIANGLES:
        for (size_t i = 0; i + 2 < count; i += 3) appendTriangle(v[i], v[i + 1], v[i + 2]);
        break;
    case GL_QUADS:
        for (size_t i = 0; i + 3 < count; i += 4) {
            appendTriangle(v[i], v[i + 1], v[i + 3]);
            appendTriangle(v[i + 1], v[i + 2], v[i + 3]);
        }
        break;
    case GL_TRIANGLE_STRIP:
        for (size_t i = 0; i + 2 < count; ++i) {
            if (i % 2 == 0) appendTriangle(v[i], v[i + 1], v[i + 2]);
            else appendTriangle(v[i + 1], v[i], v[i + 2]);
        }
        break;
    case GL_QUAD_STRIP:
        for (size_t i = 0; i + 3 < count; i += 2) {
            appendTriangle(v[i], v[i + 1], v[i + 3]);
            appendTriangle(v[i], v[i + 3], v[i + 2]);
        }
        break;
    case GL_TRIANGLE_FAN:
    case GL_POLYGON:
        for (size_t i = 1; i + 1 < count; ++i) appendTriangle(v[0], v[i], v[i + 1]);
        break;
    default:
        unsupported("points and lines");
        break;
    }
}

void emitVertex(float x, float y, float z, float w)
{
    if (!insideBegin) return;
    const float object[4] = {x, y, z, w};
    float eye[4];
    transform(modelview[modelviewTop], object, eye);
    BatchVertex vertex = {};
    transform(projection[projectionTop], eye, vertex.clip);
    if (lightingEnabled) {
        lightVertex(eye, vertex.colour);
    } else {
        for (int i = 0; i < 4; ++i) vertex.colour[i] = clamp01(currentColour[i]);
    }
    const float st[4] = {currentTexcoord[0], currentTexcoord[1], 0.0f, 1.0f};
    float tex[4];
    transform(textureMatrix[textureTop], st, tex);
    vertex.texcoord[0] = tex[3] != 0.0f ? tex[0] / tex[3] : tex[0];
    vertex.texcoord[1] = tex[3] != 0.0f ? tex[1] / tex[3] : tex[1];
    primitiveVertices.push_back(vertex);
}

GLuint compile(GLenum type, const char* source)
{
    const GLuint shader = emscripten_glCreateShader(type);
    emscripten_glShaderSource(shader, 1, &source, nullptr);
    emscripten_glCompileShader(shader);
    GLint ok = 0;
    emscripten_glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[512] = {};
        emscripten_glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "vantrel: the web GL layer's shader does not compile: %s\n", log);
        emscripten_glDeleteShader(shader);
        return 0;
    }
    return shader;
}

void resetState()
{
    for (Matrix& m : modelview) m = IDENTITY;
    for (Matrix& m : projection) m = IDENTITY;
    for (Matrix& m : textureMatrix) m = IDENTITY;
    modelviewTop = projectionTop = textureTop = 0;
    matrixMode = GL_MODELVIEW;
    ++modelviewVersion;
    for (int i = 0; i < LIGHT_COUNT; ++i) {
        const float on = i == 0 ? 1.0f : 0.0f;  // only light 0 is white by default
        lights[i] = Light{{0, 0, 0, 1}, {on, on, on, 1}, {on, on, on, 1}, {0, 0, 1, 0}, {1, 0, 0}, 0};
    }
    frontMaterial = Material{{0.2f, 0.2f, 0.2f, 1}, {0.8f, 0.8f, 0.8f, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, 0.0f};
    backMaterial = frontMaterial;
    textureEnabled = lightingEnabled = normalizeEnabled = blendEnabled = depthTestEnabled = 0;
    batch.clear();
    primitiveVertices.clear();
    insideBegin = 0;
}

void setMaterial(Material& m, GLenum pname, const GLfloat* params)
{
    switch (pname) {
    case GL_AMBIENT: std::memcpy(m.ambient, params, sizeof m.ambient); break;
    case GL_DIFFUSE: std::memcpy(m.diffuse, params, sizeof m.diffuse); break;
    case GL_SPECULAR: std::memcpy(m.specular, params, sizeof m.specular); break;
    case GL_EMISSION: std::memcpy(m.emission, params, sizeof m.emission); break;
    case GL_SHININESS: m.shininess = params[0]; break;
    case GL_AMBIENT_AND_DIFFUSE:
        std::memcpy(m.ambient, params, sizeof m.ambient);
        std::memcpy(m.diffuse, params, sizeof m.diffuse);
        break;
    default: unsupported("that material parameter"); break;
    }
}

// Enables and disables that the layer keeps itself; returns 0 for the others.
int setCapability(GLenum cap, int on)
{
    if (cap >= GL_LIGHT0 && cap < GL_LIGHT0 + LIGHT_COUNT) {
        lights[cap - GL_LIGHT0].enabled = on;
        return 1;
    }
    switch (cap) {
    case GL_TEXTURE_2D: textureEnabled = on; return 1;
    case GL_LIGHTING: lightingEnabled = on; return 1;
    case GL_NORMALIZE: normalizeEnabled = on; return 1;
    case GL_TEXTURE_GEN_S:
    case GL_TEXTURE_GEN_T:
    case GL_TEXTURE_GEN_R:
    case GL_TEXTURE_GEN_Q:
        if (on) unsupported("texture coordinate generation");
        return 1;
    case GL_FOG:
    case GL_ALPHA_TEST:
    case GL_COLOR_MATERIAL:
    case GL_LINE_SMOOTH:
    case GL_POLYGON_SMOOTH:
        if (on) unsupported("fog, alpha test, colour material or smoothing");
        return 1;
    default: return 0;
    }
}

}  // namespace

int webGLStart()
{
    resetState();
    const GLuint vs = compile(GL_VERTEX_SHADER, VERTEX_SHADER);
    const GLuint fs = compile(GL_FRAGMENT_SHADER, FRAGMENT_SHADER);
    if (vs == 0 || fs == 0) return 0;
    program = emscripten_glCreateProgram();
    emscripten_glAttachShader(program, vs);
    emscripten_glAttachShader(program, fs);
    emscripten_glBindAttribLocation(program, ATTRIB_POSITION, "position");
    emscripten_glBindAttribLocation(program, ATTRIB_COLOUR, "colour");
    emscripten_glBindAttribLocation(program, ATTRIB_TEXCOORD, "texcoord");
    emscripten_glLinkProgram(program);
    emscripten_glDeleteShader(vs);
    emscripten_glDeleteShader(fs);
    GLint linked = 0;
    emscripten_glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        std::fprintf(stderr, "vantrel: the web GL layer's shader does not link\n");
        emscripten_glDeleteProgram(program);
        program = 0;
        return 0;
    }
    emscripten_glUseProgram(program);
    emscripten_glUniform1i(emscripten_glGetUniformLocation(program, "image"), 0);
    texturedUniform = emscripten_glGetUniformLocation(program, "textured");
    emscripten_glGenBuffers(1, &vertexBuffer);
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    const GLsizei stride = sizeof(BatchVertex);
    emscripten_glEnableVertexAttribArray(ATTRIB_POSITION);
    emscripten_glVertexAttribPointer(ATTRIB_POSITION, 4, GL_FLOAT, GL_FALSE, stride,
                                     reinterpret_cast<const void*>(offsetof(BatchVertex, clip)));
    emscripten_glEnableVertexAttribArray(ATTRIB_COLOUR);
    emscripten_glVertexAttribPointer(ATTRIB_COLOUR, 4, GL_FLOAT, GL_FALSE, stride,
                                     reinterpret_cast<const void*>(offsetof(BatchVertex, colour)));
    emscripten_glEnableVertexAttribArray(ATTRIB_TEXCOORD);
    emscripten_glVertexAttribPointer(ATTRIB_TEXCOORD, 2, GL_FLOAT, GL_FALSE, stride,
                                     reinterpret_cast<const void*>(offsetof(BatchVertex, texcoord)));
    emscripten_glActiveTexture(GL_TEXTURE0);
    emscripten_glDisable(GL_DITHER);  // desktop GL on a 24-bit frame does not dither either
    emscripten_glBindTexture(GL_TEXTURE_2D, textureNamed(0).webgl);
    boundTexture = 0;
    return 1;
}

void webGLStop()
{
    for (auto& entry : textures) emscripten_glDeleteTextures(1, &entry.second.webgl);
    textures.clear();
    if (vertexBuffer != 0) emscripten_glDeleteBuffers(1, &vertexBuffer);
    if (program != 0) emscripten_glDeleteProgram(program);
    vertexBuffer = 0;
    program = 0;
    nextTextureName = 1;
    resetState();
}

void webGLFlush() { flushBatch(); }

void webGLSetRasterDiscard(int discard)
{
    flushBatch();
    rasterDiscard = discard;
}

int webGLRasterDiscarded() { return rasterDiscard; }

// ---------------------------------------------------------------------------
// Matrices.

void glMatrixMode(GLenum mode) { matrixMode = mode; }

void glLoadIdentity()
{
    currentMatrix() = IDENTITY;
    matrixChanged();
}

void glLoadMatrixf(const GLfloat* m)
{
    std::memcpy(currentMatrix().m, m, sizeof(Matrix::m));
    matrixChanged();
}

void glMultMatrixf(const GLfloat* m)
{
    Matrix b = {};
    std::memcpy(b.m, m, sizeof b.m);
    multiply(currentMatrix(), b);
    matrixChanged();
}

void glMultMatrixd(const GLdouble* m)
{
    Matrix b = {};
    for (int i = 0; i < 16; ++i) b.m[i] = static_cast<float>(m[i]);
    multiply(currentMatrix(), b);
    matrixChanged();
}

void glPushMatrix()
{
    const MatrixStack stack = currentStack();
    if (*stack.top + 1 >= stack.depth) return;  // GL_STACK_OVERFLOW: the call is ignored
    stack.matrices[*stack.top + 1] = stack.matrices[*stack.top];
    ++*stack.top;
}

void glPopMatrix()
{
    const MatrixStack stack = currentStack();
    if (*stack.top == 0) return;  // GL_STACK_UNDERFLOW: ignored
    --*stack.top;
    matrixChanged();
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z)
{
    Matrix t = IDENTITY;
    t.m[12] = x;
    t.m[13] = y;
    t.m[14] = z;
    multiply(currentMatrix(), t);
    matrixChanged();
}

void glScalef(GLfloat x, GLfloat y, GLfloat z)
{
    Matrix s = IDENTITY;
    s.m[0] = x;
    s.m[5] = y;
    s.m[10] = z;
    multiply(currentMatrix(), s);
    matrixChanged();
}

// The rotation of angle degrees about (x, y, z), as glRotate defines it.
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z)
{
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0f) return;
    x /= length;
    y /= length;
    z /= length;
    const float radians = angle * static_cast<float>(M_PI) / 180.0f;
    const float c = std::cos(radians), s = std::sin(radians), t = 1.0f - c;
    Matrix r = IDENTITY;
    r.m[0] = x * x * t + c;
    r.m[1] = y * x * t + z * s;
    r.m[2] = x * z * t - y * s;
    r.m[4] = x * y * t - z * s;
    r.m[5] = y * y * t + c;
    r.m[6] = y * z * t + x * s;
    r.m[8] = x * z * t + y * s;
    r.m[9] = y * z * t - x * s;
    r.m[10] = z * z * t + c;
    multiply(currentMatrix(), r);
    matrixChanged();
}

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble nearVal, GLdouble farVal)
{
    Matrix o = IDENTITY;
    o.m[0] = static_cast<float>(2.0 / (right - left));
    o.m[5] = static_cast<float>(2.0 / (top - bottom));
    o.m[10] = static_cast<float>(-2.0 / (farVal - nearVal));
    o.m[12] = static_cast<float>(-(right + left) / (right - left));
    o.m[13] = static_cast<float>(-(top + bottom) / (top - bottom));
    o.m[14] = static_cast<float>(-(farVal + nearVal) / (farVal - nearVal));
    multiply(currentMatrix(), o);
    matrixChanged();
}

void glFrustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble nearVal, GLdouble farVal)
{
    Matrix f = {};
    f.m[0] = static_cast<float>(2.0 * nearVal / (right - left));
    f.m[5] = static_cast<float>(2.0 * nearVal / (top - bottom));
    f.m[8] = static_cast<float>((right + left) / (right - left));
    f.m[9] = static_cast<float>((top + bottom) / (top - bottom));
    f.m[10] = static_cast<float>(-(farVal + nearVal) / (farVal - nearVal));
    f.m[11] = -1.0f;
    f.m[14] = static_cast<float>(-2.0 * farVal * nearVal / (farVal - nearVal));
    multiply(currentMatrix(), f);
    matrixChanged();
}

// ---------------------------------------------------------------------------
// Immediate mode.

void glBegin(GLenum mode)
{
    insideBegin = 1;
    primitive = mode;
    primitiveVertices.clear();
}

void glEnd()
{
    if (!insideBegin) return;
    insideBegin = 0;
    assemblePrimitive();
    primitiveVertices.clear();
}

void glVertex2f(GLfloat x, GLfloat y) { emitVertex(x, y, 0.0f, 1.0f); }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { emitVertex(x, y, z, 1.0f); }
void glVertex3fv(const GLfloat* v) { emitVertex(v[0], v[1], v[2], 1.0f); }

void glColor3f(GLfloat red, GLfloat green, GLfloat blue)
{
    currentColour[0] = red;
    currentColour[1] = green;
    currentColour[2] = blue;
    currentColour[3] = 1.0f;
}

void glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha)
{
    currentColour[0] = red;
    currentColour[1] = green;
    currentColour[2] = blue;
    currentColour[3] = alpha;
}

void glNormal3f(GLfloat x, GLfloat y, GLfloat z)
{
    currentNormal[0] = x;
    currentNormal[1] = y;
    currentNormal[2] = z;
}

void glTexCoord2f(GLfloat s, GLfloat t)
{
    currentTexcoord[0] = s;
    currentTexcoord[1] = t;
}

// ---------------------------------------------------------------------------
// Lighting.

void glLightfv(GLenum which, GLenum pname, const GLfloat* params)
{
    if (which < GL_LIGHT0 || which >= GL_LIGHT0 + LIGHT_COUNT) return;
    Light& light = lights[which - GL_LIGHT0];
    switch (pname) {
    case GL_AMBIENT: std::memcpy(light.ambient, params, sizeof light.ambient); break;
    case GL_DIFFUSE: std::memcpy(light.diffuse, params, sizeof light.diffuse); break;
    case GL_SPECULAR: std::memcpy(light.specular, params, sizeof light.specular); break;
    case GL_POSITION: transform(modelview[modelviewTop], params, light.position); break;  // kept in eye coordinates
    case GL_CONSTANT_ATTENUATION: light.attenuation[0] = params[0]; break;
    case GL_LINEAR_ATTENUATION: light.attenuation[1] = params[0]; break;
    case GL_QUADRATIC_ATTENUATION: light.attenuation[2] = params[0]; break;
    default: unsupported("spot lights"); break;
    }
}

void glLightModelfv(GLenum pname, const GLfloat* params)
{
    if (pname == GL_LIGHT_MODEL_AMBIENT) std::memcpy(lightModelAmbient, params, sizeof lightModelAmbient);
    else unsupported("a local viewer or two-sided lighting");
}

void glMaterialfv(GLenum face, GLenum pname, const GLfloat* params)
{
    if (face == GL_FRONT || face == GL_FRONT_AND_BACK) setMaterial(frontMaterial, pname, params);
    if (face == GL_BACK || face == GL_FRONT_AND_BACK) setMaterial(backMaterial, pname, params);
}

void glMateriali(GLenum face, GLenum pname, GLint param)
{
    const GLfloat value[4] = {static_cast<GLfloat>(param), 0, 0, 0};
    glMaterialfv(face, pname, value);
}

void glShadeModel(GLenum mode)
{
    if (mode != GL_SMOOTH) unsupported("flat shading");
}

// ---------------------------------------------------------------------------
// Per-fragment state, passed to WebGL after what was batched under the old state.

void glEnable(GLenum cap)
{
    if (setCapability(cap, 1)) return;
    flushBatch();
    if (cap == GL_BLEND) blendEnabled = 1;
    if (cap == GL_DEPTH_TEST) depthTestEnabled = 1;
    emscripten_glEnable(cap);
}

void glDisable(GLenum cap)
{
    if (setCapability(cap, 0)) return;
    flushBatch();
    if (cap == GL_BLEND) blendEnabled = 0;
    if (cap == GL_DEPTH_TEST) depthTestEnabled = 0;
    emscripten_glDisable(cap);
}

GLboolean glIsEnabled(GLenum cap)
{
    if (cap >= GL_LIGHT0 && cap < GL_LIGHT0 + LIGHT_COUNT) return lights[cap - GL_LIGHT0].enabled ? GL_TRUE : GL_FALSE;
    switch (cap) {
    case GL_TEXTURE_2D: return textureEnabled ? GL_TRUE : GL_FALSE;
    case GL_LIGHTING: return lightingEnabled ? GL_TRUE : GL_FALSE;
    case GL_BLEND: return blendEnabled ? GL_TRUE : GL_FALSE;
    case GL_DEPTH_TEST: return depthTestEnabled ? GL_TRUE : GL_FALSE;
    default: return GL_FALSE;
    }
}

void glBlendFunc(GLenum sfactor, GLenum dfactor)
{
    flushBatch();
    emscripten_glBlendFunc(sfactor, dfactor);
}

void glDepthFunc(GLenum func)
{
    flushBatch();
    emscripten_glDepthFunc(func);
}

void glDepthMask(GLboolean flag)
{
    flushBatch();
    emscripten_glDepthMask(flag);
}

void glColorMask(GLboolean red, GLboolean green, GLboolean blue, GLboolean alpha)
{
    flushBatch();
    emscripten_glColorMask(red, green, blue, alpha);
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    flushBatch();
    emscripten_glViewport(x, y, width, height);
}

void glScissor(GLint x, GLint y, GLsizei width, GLsizei height)
{
    flushBatch();
    emscripten_glScissor(x, y, width, height);
}

void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha)
{
    emscripten_glClearColor(red, green, blue, alpha);
}

void glClear(GLbitfield mask)
{
    flushBatch();
    if (!rasterDiscard) emscripten_glClear(mask);  // rasterisation off discards clears too
}

void glPolygonMode(GLenum, GLenum mode)
{
    if (mode != GL_FILL) unsupported("polygon modes other than GL_FILL");
}

void glHint(GLenum, GLenum) {}  // perspective-correct interpolation is what WebGL always does

void glFlush()
{
    flushBatch();
    emscripten_glFlush();
}

void glFinish()
{
    flushBatch();
    emscripten_glFinish();
}

GLenum glGetError() { return GL_NO_ERROR; }

void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, GLvoid* pixels)
{
    flushBatch();
    emscripten_glReadPixels(x, y, width, height, format, type, pixels);
}

// ---------------------------------------------------------------------------
// Textures.

void glGenTextures(GLsizei n, GLuint* names)
{
    for (GLsizei i = 0; i < n; ++i) {
        while (findTexture(nextTextureName) != nullptr) ++nextTextureName;
        names[i] = nextTextureName;
        textureNamed(nextTextureName);
    }
}

void glDeleteTextures(GLsizei n, const GLuint* names)
{
    flushBatch();
    for (GLsizei i = 0; i < n; ++i) {
        if (names[i] == 0) continue;  // the default texture stays
        Texture* t = findTexture(names[i]);
        if (t == nullptr) continue;
        emscripten_glDeleteTextures(1, &t->webgl);
        textures.erase(names[i]);
        if (boundTexture == names[i]) {
            boundTexture = 0;
            emscripten_glBindTexture(GL_TEXTURE_2D, textureNamed(0).webgl);
        }
    }
}

void glBindTexture(GLenum target, GLuint name)
{
    if (target != GL_TEXTURE_2D) return;
    if (name == boundTexture && findTexture(name) != nullptr) return;
    flushBatch();
    boundTexture = name;
    emscripten_glBindTexture(GL_TEXTURE_2D, textureNamed(name).webgl);
}

void glTexParameteri(GLenum target, GLenum pname, GLint param)
{
    if (target != GL_TEXTURE_2D) return;
    flushBatch();
    if (pname == GL_TEXTURE_MIN_FILTER) textureNamed(boundTexture).minFilter = param;
    if ((pname == GL_TEXTURE_WRAP_S || pname == GL_TEXTURE_WRAP_T) && param == GL_CLAMP) param = GL_CLAMP_TO_EDGE;
    emscripten_glTexParameteri(target, pname, param);
}

void glTexEnvi(GLenum, GLenum pname, GLint param)
{
    if (pname == GL_TEXTURE_ENV_MODE && param != GL_MODULATE) unsupported("texture environments other than GL_MODULATE");
}

void glPixelStorei(GLenum pname, GLint param) { emscripten_glPixelStorei(pname, param); }

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const GLvoid* pixels)
{
    if (target != GL_TEXTURE_2D) return;
    flushBatch();
    // GL 1.1's component counts, and WebGL's rule that the unsized internal format is the format.
    GLint internal = internalFormat;
    if (internal == 1) internal = GL_LUMINANCE;
    if (internal == 2) internal = GL_LUMINANCE_ALPHA;
    if (internal == 3 || internal == GL_RGB8) internal = GL_RGB;
    if (internal == 4 || internal == GL_RGBA8) internal = GL_RGBA;
    if (static_cast<GLenum>(internal) != format) {
        unsupported("a texture whose internal format differs from its pixel format");
        internal = static_cast<GLint>(format);
    }
    emscripten_glTexImage2D(target, level, internal, width, height, border, format, type, pixels);
    if (level == 0) textureNamed(boundTexture).hasImage = 1;
}

void glCopyTexImage2D(GLenum target, GLint level, GLenum internalFormat, GLint x, GLint y, GLsizei width,
                      GLsizei height, GLint border)
{
    if (target != GL_TEXTURE_2D) return;
    flushBatch();  // what was drawn so far is what is copied
    GLenum internal = internalFormat;
    if (internal == 3) internal = GL_RGB;
    if (internal == 1) internal = GL_LUMINANCE;
    emscripten_glCopyTexImage2D(target, level, internal, x, y, width, height, border);
    if (level == 0) textureNamed(boundTexture).hasImage = 1;
}

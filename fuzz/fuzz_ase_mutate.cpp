// Structure-aware fuzz target of the ASE reader. The scenes of the asset
// generator (the fire landscape, the fire and the flythrough court) are built
// in memory at start-up, cut down to a few triangles per node so a run stays
// fast, and given in a second form with an animation block in every node.
// The fuzz input is read as a choice of one of these scenes and a list of
// edits of its text: numbers replaced by extreme values, lines and blocks
// deleted, duplicated or moved, tokens swapped, keywords inserted or
// replaced, quoted text replaced, bytes inserted, the file cut short. The
// result is loaded and checked like a whole file.
//
// Setting VANTREL_FUZZ_ASE_DUMP to a path writes the edited text of each run
// there, which turns a crash input into an ASE file for a regression test.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "assets/ase_scan.h"
#include "fuzz/fuzz_ase_common.h"
#include "tools/assets/ase_write.h"
#include "tools/assets/models.h"

namespace {

constexpr size_t FACES_PER_NODE = 4;       // triangles kept of every node in the small scenes
constexpr size_t FACES_PER_LARGE_NODE = 24;  // in the one larger scene
constexpr size_t EDIT_BYTES = 4;           // bytes of input per edit: kind, 16-bit position, argument
constexpr size_t MAX_EDITS = 32;           // edits applied at most; the rest of the input is ignored
// Longest input that means anything, the base byte and MAX_EDITS edits
// (scripts/fuzz.sh passes it as -max_len).
constexpr size_t MAX_INPUT_BYTES = 129;
static_assert(MAX_INPUT_BYTES == 1 + EDIT_BYTES * MAX_EDITS, "an input is a base byte and its edits");
// An edit that would make the text longer than this is left out: copies of
// blocks that run to the end of a cut file would otherwise double it every
// time. The reader is linear in the file whatever it holds, so a scene this
// long still loads in a fraction of a second under the sanitizers.
constexpr size_t MAX_TEXT_BYTES = 1024 * 1024;

// Values that sit on or beyond the limits of what the numbers of the format
// are read into (32-bit ints, floats), or are no number at all.
const char* const EXTREME_VALUES[] = {
    "2147483647", "-2147483648", "2147483648", "-2147483649", "4294967295", "4294967296",
    "9223372036854775807", "-9223372036854775808", "99999999999999999999", "-1", "0", "1", "2",
    "0x7fffffff", "0xffffffff", "-0x80000000", "017777777777", "08", "1e300", "-1e300", "1e-300",
    "nan", "-nan", "inf", "-inf", "infinity", "3.4028235e38", "1.1754944e-38", "1e39", "0x1p128",
    "1048576", "1048577", "1048575", "160", "-160", "", "-", "+", ".", "1e", "0x", "1.5", "-0.0",
};
constexpr size_t EXTREME_COUNT = sizeof EXTREME_VALUES / sizeof EXTREME_VALUES[0];

// Quoted texts: empty, unterminated, longer than any field, real and missing
// bitmaps, a directory, a large texture.
const std::string QUOTED_VALUES[] = {
    "\"\"", "\"", "\"a", "\"" + std::string(300, 'x') + "\"", "\"maps/roca.tga\"", "\"maps/missing.tga\"",
    "\"maps\"", "\"models/pentagrama.tga\"", "\"maps/ass.tga\"", "\"two words\"", "\"\"\"",
};
constexpr size_t QUOTED_COUNT = sizeof QUOTED_VALUES / sizeof QUOTED_VALUES[0];

enum EditKind {
    EDIT_REPLACE_NUMBER,
    EDIT_SMALL_NUMBER,
    EDIT_DELETE_LINE,
    EDIT_DUPLICATE_LINE,
    EDIT_MOVE_LINE,
    EDIT_DUPLICATE_BLOCK,
    EDIT_DELETE_BLOCK,
    EDIT_COPY_NODE,
    EDIT_TRUNCATE,
    EDIT_SWAP_TOKENS,
    EDIT_INSERT_KEYWORD,
    EDIT_REPLACE_KEYWORD,
    EDIT_REPLACE_QUOTED,
    EDIT_INSERT_BYTE,
    EDIT_KIND_COUNT
};

std::vector<std::string> baseScenes;  // the texts the edits start from

// ---------------------------------------------------------------------------
// The base scenes.

MeshNode trimmed(const MeshNode& node, size_t faces)
{
    MeshNode small;
    small.name = node.name;
    small.material = node.material;
    small.wireColour = node.wireColour;
    for (size_t i = 0; i < node.faces.size() && i < faces; ++i) {
        const auto& f = node.faces[i];
        UV t[3] = {{0, 0}, {0, 0}, {0, 0}};
        if (i < node.texFaces.size())
            for (int c = 0; c < 3; ++c) t[c] = node.texVertices[static_cast<size_t>(node.texFaces[i][c])];
        small.addTriangle(node.vertices[static_cast<size_t>(f[0])], node.vertices[static_cast<size_t>(f[1])],
                          node.vertices[static_cast<size_t>(f[2])], t[0], t[1], t[2]);
    }
    return small;
}

SceneDesc trimmedScene(const SceneDesc& scene, size_t faces)
{
    SceneDesc small = scene;
    for (MeshNode& node : small.nodes) node = trimmed(node, faces);
    return small;
}

// An animation block of both tracks, with every key form, a little different per node.
std::string animationBlock(const std::string& name, int node)
{
    const int step = 160 * (node + 1);
    std::string text = "\t*TM_ANIMATION {\n\t\t*NODE_NAME \"" + name + "\"\n\t\t*CONTROL_POS_TRACK {\n";
    text += "\t\t\t*CONTROL_POS_SAMPLE 0\t0.0000\t0.0000\t0.0000\n";
    text += "\t\t\t*CONTROL_POS_SAMPLE " + std::to_string(step) + "\t10.0000\t-20.0000\t5.0000\n";
    text += "\t\t\t*CONTROL_BEZIER_POS_KEY " + std::to_string(2 * step) +
            "\t4.0000\t5.0000\t6.0000\t0.1000\t0.2000\t0.3000\t0.4000\t0.5000\t0.6000\t9\n";
    text += "\t\t}\n\t\t*CONTROL_ROT_TRACK {\n";
    text += "\t\t\t*CONTROL_ROT_SAMPLE 0\t0.0000\t0.0000\t1.0000\t0.0000\n";
    text += "\t\t\t*CONTROL_TCB_ROT_KEY " + std::to_string(step) +
            "\t0.0000\t1.0000\t0.0000\t1.5708\t0.2500\t0.5000\t0.7500\t0.1250\t0.3750\t3\n";
    text += "\t\t\t*CONTROL_ROT_KEY " + std::to_string(3 * step) + "\t1.0000\t0.0000\t0.0000\t3.1416\n";
    text += "\t\t}\n\t}\n";
    return text;
}

// The scene's text with an animation block at the end of every geometry node, light and camera.
std::string withAnimation(const std::string& text, const SceneDesc& scene)
{
    std::vector<std::string> names;
    for (const MeshNode& n : scene.nodes) names.push_back(n.name);
    for (const LightDesc& l : scene.lights) names.push_back(l.name);
    for (const CameraDesc& c : scene.cameras) names.push_back(c.name);
    std::string out;
    size_t node = 0;
    bool inNode = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(start, end - start);
        if (line.rfind("*GEOMOBJECT", 0) == 0 || line.rfind("*LIGHTOBJECT", 0) == 0 ||
            line.rfind("*CAMERAOBJECT", 0) == 0)
            inNode = true;
        if (inNode && line == "}\n") {
            out += animationBlock(node < names.size() ? names[node] : "Node", static_cast<int>(node));
            ++node;
            inNode = false;
        }
        out += line;
        start = end;
    }
    return out;
}

void buildBaseScenes()
{
    const SceneDesc scenes[] = {buildFireLandscape(), buildFireModel(), buildFlythroughCourt()};
    for (const SceneDesc& scene : scenes) {
        const SceneDesc small = trimmedScene(scene, FACES_PER_NODE);
        const std::string text = aseText(small);
        baseScenes.push_back(text);
        baseScenes.push_back(withAnimation(text, small));
    }
    const SceneDesc large = trimmedScene(scenes[0], FACES_PER_LARGE_NODE);
    baseScenes.push_back(withAnimation(aseText(large), large));
}

// ---------------------------------------------------------------------------
// Views of the text the edits address.

struct Span {
    size_t begin, end;
};

inline bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::vector<Span> tokens(const std::string& text)
{
    std::vector<Span> out;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isBlank(text[i])) ++i;
        if (i == text.size()) break;
        const size_t begin = i;
        while (i < text.size() && !isBlank(text[i])) ++i;
        out.push_back({begin, i});
    }
    return out;
}

template <class Keep>
std::vector<Span> tokensWhere(const std::string& text, Keep keep)
{
    std::vector<Span> out;
    for (const Span& t : tokens(text))
        if (keep(text, t)) out.push_back(t);
    return out;
}

bool isNumber(const std::string& text, const Span& t)
{
    const char c = text[t.begin];
    if (isDigit(c)) return true;
    return (c == '-' || c == '+' || c == '.') && t.end - t.begin > 1 && (isDigit(text[t.begin + 1]) || text[t.begin + 1] == '.');
}

bool isKeyword(const std::string& text, const Span& t) { return text[t.begin] == '*'; }
bool isQuoted(const std::string& text, const Span& t) { return text[t.begin] == '"'; }

// Whole lines, each with its newline.
std::vector<Span> lines(const std::string& text)
{
    std::vector<Span> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        out.push_back({start, end});
        start = end;
    }
    return out;
}

size_t lineStart(const std::string& text, size_t at)
{
    const size_t nl = at == 0 ? std::string::npos : text.rfind('\n', at - 1);
    return nl == std::string::npos ? 0 : nl + 1;
}

size_t lineEnd(const std::string& text, size_t at)
{
    const size_t nl = text.find('\n', at);
    return nl == std::string::npos ? text.size() : nl + 1;
}

// Every braced block as whole lines: from the line of a "{" token to the line of
// its matching "}" (or the end of the text).
std::vector<Span> blocks(const std::string& text)
{
    const std::vector<Span> all = tokens(text);
    std::vector<Span> out;
    std::vector<size_t> open;
    for (const Span& t : all) {
        const bool single = t.end - t.begin == 1;
        if (single && text[t.begin] == '{') {
            open.push_back(t.begin);
        } else if (single && text[t.begin] == '}' && !open.empty()) {
            out.push_back({lineStart(text, open.back()), lineEnd(text, t.begin)});
            open.pop_back();
        }
    }
    for (size_t begin : open) out.push_back({lineStart(text, begin), text.size()});
    return out;
}

// Top-level node blocks (a node keyword at the start of a line up to its block's end).
std::vector<Span> nodeBlocks(const std::string& text)
{
    std::vector<Span> out;
    for (const Span& b : blocks(text)) {
        const std::string head = text.substr(b.begin, 14);
        if (head.rfind("*GEOMOBJECT", 0) == 0 || head.rfind("*LIGHTOBJECT", 0) == 0 || head.rfind("*CAMERAOBJECT", 0) == 0)
            out.push_back(b);
    }
    return out;
}

void replace(std::string* text, const Span& s, const std::string& with) { text->replace(s.begin, s.end - s.begin, with); }

// ---------------------------------------------------------------------------
// The edits.

void applyEdit(std::string* text, unsigned kind, unsigned position, unsigned argument)
{
    if (text->empty()) return;
    const size_t at = static_cast<size_t>(position) * text->size() / 65536;  // an offset into the text
    switch (kind % EDIT_KIND_COUNT) {
    case EDIT_REPLACE_NUMBER:
    case EDIT_SMALL_NUMBER: {
        const std::vector<Span> numbers = tokensWhere(*text, isNumber);
        if (numbers.empty()) return;
        const Span t = numbers[position % numbers.size()];
        const bool colon = (*text)[t.end - 1] == ':';  // a face's index keeps its colon
        std::string value = kind % EDIT_KIND_COUNT == EDIT_REPLACE_NUMBER
                                ? EXTREME_VALUES[argument % EXTREME_COUNT]
                                : std::to_string(static_cast<int>(argument) - 128);
        if (colon) value += ':';
        replace(text, t, value);
        return;
    }
    case EDIT_DELETE_LINE:
    case EDIT_DUPLICATE_LINE:
    case EDIT_MOVE_LINE: {
        const std::vector<Span> all = lines(*text);
        const Span l = all[position % all.size()];
        const std::string line = text->substr(l.begin, l.end - l.begin);
        if (kind % EDIT_KIND_COUNT == EDIT_DUPLICATE_LINE) {
            text->insert(l.end, line);
        } else {
            text->erase(l.begin, l.end - l.begin);
            if (kind % EDIT_KIND_COUNT == EDIT_MOVE_LINE) {
                const size_t to = lineStart(*text, argument * text->size() / 256);
                text->insert(to, line);
            }
        }
        return;
    }
    case EDIT_DUPLICATE_BLOCK:
    case EDIT_DELETE_BLOCK: {
        const std::vector<Span> all = blocks(*text);
        if (all.empty()) return;
        const Span b = all[position % all.size()];
        if (kind % EDIT_KIND_COUNT == EDIT_DELETE_BLOCK) text->erase(b.begin, b.end - b.begin);
        else text->insert(b.end, text->substr(b.begin, b.end - b.begin));
        return;
    }
    case EDIT_COPY_NODE: {
        const std::vector<Span> nodes = nodeBlocks(*text);
        if (nodes.empty()) return;
        const Span from = nodes[position % nodes.size()];
        const Span to = nodes[argument % nodes.size()];
        text->insert(to.begin, text->substr(from.begin, from.end - from.begin));
        return;
    }
    case EDIT_TRUNCATE: text->resize(at); return;
    case EDIT_SWAP_TOKENS: {
        const std::vector<Span> all = tokens(*text);
        if (all.size() < 2) return;
        const size_t i = position % all.size();
        const size_t j = (i + 1 + argument) % all.size();
        const Span a = all[i < j ? i : j];
        const Span b = all[i < j ? j : i];
        if (a.begin == b.begin) return;
        const std::string first = text->substr(a.begin, a.end - a.begin);
        const std::string second = text->substr(b.begin, b.end - b.begin);
        replace(text, b, first);  // the later one first, so the earlier span stays valid
        replace(text, a, second);
        return;
    }
    case EDIT_INSERT_KEYWORD: {
        const AseKeyword k = static_cast<AseKeyword>(1 + argument % (ASE_KW_COUNT - 1));
        const std::string line = std::string("\t") + aseKeywordText(k) + " " +
                                 EXTREME_VALUES[(position * 31u + argument) % EXTREME_COUNT] + "\n";
        text->insert(lineStart(*text, at), line);
        return;
    }
    case EDIT_REPLACE_KEYWORD: {
        const std::vector<Span> keywords = tokensWhere(*text, isKeyword);
        if (keywords.empty()) return;
        const AseKeyword k = static_cast<AseKeyword>(1 + argument % (ASE_KW_COUNT - 1));
        replace(text, keywords[position % keywords.size()], aseKeywordText(k));
        return;
    }
    case EDIT_REPLACE_QUOTED: {
        const std::vector<Span> quoted = tokensWhere(*text, isQuoted);
        if (quoted.empty()) return;
        replace(text, quoted[position % quoted.size()], QUOTED_VALUES[argument % QUOTED_COUNT]);
        return;
    }
    case EDIT_INSERT_BYTE: text->insert(at, 1, static_cast<char>(argument)); return;
    default: return;
    }
}

std::string editedScene(const uint8_t* data, size_t size)
{
    if (size == 0) return baseScenes[0];
    std::string text = baseScenes[data[0] % baseScenes.size()];
    size_t edits = 0;
    for (size_t i = 1; i + EDIT_BYTES <= size && edits < MAX_EDITS; i += EDIT_BYTES, ++edits) {
        std::string edited = text;
        applyEdit(&edited, data[i], static_cast<unsigned>(data[i + 1] | (data[i + 2] << 8)), data[i + 3]);
        if (edited.size() <= MAX_TEXT_BYTES) text.swap(edited);
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    buildBaseScenes();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text = editedScene(data, size);
    if (const char* dump = std::getenv("VANTREL_FUZZ_ASE_DUMP")) {
        if (std::FILE* file = std::fopen(dump, "wb")) {
            std::fwrite(text.data(), 1, text.size(), file);
            std::fclose(file);
        }
    }
    aseFuzzLoad(text.data(), text.size());
    return 0;
}

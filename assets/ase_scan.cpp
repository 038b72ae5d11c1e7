// The in-memory token stream of the ASE reader. Every read reproduces what the
// C library's stream functions do on the same bytes, down to how many
// characters a failed number consumes and when the end-of-file indicator is set.
#include "assets/ase_scan.h"

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct KeywordName {
    AseKeyword keyword;
    const char* text;
};

// Every keyword the readers know, as written in the files.
constexpr KeywordName keywordNames[] = {
    {ASE_KW_GEOMOBJECT, "*GEOMOBJECT"},
    {ASE_KW_LIGHTOBJECT, "*LIGHTOBJECT"},
    {ASE_KW_CAMERAOBJECT, "*CAMERAOBJECT"},
    {ASE_KW_SHAPEOBJECT, "*SHAPEOBJECT"},
    {ASE_KW_MATERIAL, "*MATERIAL"},
    {ASE_KW_MATERIAL_COUNT, "*MATERIAL_COUNT"},
    {ASE_KW_SCENE_FIRSTFRAME, "*SCENE_FIRSTFRAME"},
    {ASE_KW_SCENE_LASTFRAME, "*SCENE_LASTFRAME"},
    {ASE_KW_SCENE_FRAMESPEED, "*SCENE_FRAMESPEED"},
    {ASE_KW_SCENE_TICKSPERFRAME, "*SCENE_TICKSPERFRAME"},
    {ASE_KW_MESH_NUMVERTEX, "*MESH_NUMVERTEX"},
    {ASE_KW_MESH_NUMFACES, "*MESH_NUMFACES"},
    {ASE_KW_MESH_NUMTVERTEX, "*MESH_NUMTVERTEX"},
    {ASE_KW_MESH_NUMTVFACES, "*MESH_NUMTVFACES"},
    {ASE_KW_MESH_NORMALS, "*MESH_NORMALS"},
    {ASE_KW_MATERIAL_REF, "*MATERIAL_REF"},
    {ASE_KW_NODE_NAME, "*NODE_NAME"},
    {ASE_KW_MESH_VERTEX, "*MESH_VERTEX"},
    {ASE_KW_MESH_TVERT, "*MESH_TVERT"},
    {ASE_KW_MESH_VERTEXNORMAL, "*MESH_VERTEXNORMAL"},
    {ASE_KW_MESH_FACENORMAL, "*MESH_FACENORMAL"},
    {ASE_KW_MESH_FACE, "*MESH_FACE"},
    {ASE_KW_MESH_TFACE, "*MESH_TFACE"},
    {ASE_KW_TM_POS, "*TM_POS"},
    {ASE_KW_WIREFRAME_COLOR, "*WIREFRAME_COLOR"},
    {ASE_KW_TM_ANIMATION, "*TM_ANIMATION"},
    {ASE_KW_MATERIAL_NAME, "*MATERIAL_NAME"},
    {ASE_KW_MATERIAL_CLASS, "*MATERIAL_CLASS"},
    {ASE_KW_MATERIAL_AMBIENT, "*MATERIAL_AMBIENT"},
    {ASE_KW_MATERIAL_DIFFUSE, "*MATERIAL_DIFFUSE"},
    {ASE_KW_MATERIAL_SPECULAR, "*MATERIAL_SPECULAR"},
    {ASE_KW_MATERIAL_SHINE, "*MATERIAL_SHINE"},
    {ASE_KW_MATERIAL_SHINESTRENGTH, "*MATERIAL_SHINESTRENGTH"},
    {ASE_KW_MATERIAL_TRANSPARENCY, "*MATERIAL_TRANSPARENCY"},
    {ASE_KW_MATERIAL_WIRESIZE, "*MATERIAL_WIRESIZE"},
    {ASE_KW_MATERIAL_SELFILLUM, "*MATERIAL_SELFILLUM"},
    {ASE_KW_BITMAP, "*BITMAP"},
    {ASE_KW_UVW_U_TILING, "*UVW_U_TILING"},
    {ASE_KW_UVW_V_TILING, "*UVW_V_TILING"},
    {ASE_KW_UVW_U_OFFSET, "*UVW_U_OFFSET"},
    {ASE_KW_UVW_V_OFFSET, "*UVW_V_OFFSET"},
    {ASE_KW_LIGHT_COLOR, "*LIGHT_COLOR"},
    {ASE_KW_LIGHT_INTENS, "*LIGHT_INTENS"},
    {ASE_KW_LIGHT_FALLOFF, "*LIGHT_FALLOFF"},
    {ASE_KW_TM_ROTAXIS, "*TM_ROTAXIS"},
    {ASE_KW_CAMERA_NEAR, "*CAMERA_NEAR"},
    {ASE_KW_CAMERA_FAR, "*CAMERA_FAR"},
    {ASE_KW_CAMERA_FOV, "*CAMERA_FOV"},
    {ASE_KW_CAMERA_TDIST, "*CAMERA_TDIST"},
    {ASE_KW_CONTROL_BEZIER_POS_KEY, "*CONTROL_BEZIER_POS_KEY"},
    {ASE_KW_CONTROL_POS_SAMPLE, "*CONTROL_POS_SAMPLE"},
    {ASE_KW_CONTROL_ROT_KEY, "*CONTROL_ROT_KEY"},
    {ASE_KW_CONTROL_ROT_SAMPLE, "*CONTROL_ROT_SAMPLE"},
    {ASE_KW_CONTROL_TCB_ROT_KEY, "*CONTROL_TCB_ROT_KEY"},
};

constexpr size_t KEYWORD_SLOTS = 256;  // open-addressed lookup table, a power of two
constexpr size_t KEYWORD_MAX_LENGTH = 32;

// Characters isspace() accepts in the C locale: blank, \t, \n, \v, \f, \r.
inline bool isSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool isDigit(int c) { return c >= '0' && c <= '9'; }
inline bool isHexDigit(int c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
inline int lower(int c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

size_t hashText(const char* text, size_t length)
{
    size_t h = 2166136261u;
    for (size_t i = 0; i < length; ++i) h = (h ^ static_cast<unsigned char>(text[i])) * 16777619u;
    return h;
}

struct KeywordTable {
    const KeywordName* slots[KEYWORD_SLOTS] = {};
    KeywordTable()
    {
        for (const KeywordName& k : keywordNames) {
            size_t i = hashText(k.text, std::strlen(k.text)) & (KEYWORD_SLOTS - 1);
            while (slots[i] != nullptr) i = (i + 1) & (KEYWORD_SLOTS - 1);
            slots[i] = &k;
        }
    }
};

const KeywordTable& keywordTable()
{
    static const KeywordTable table;
    return table;
}

// The slot of nodeEnds for a keyword that opens a node or a material.
int nodeSlot(AseKeyword which)
{
    switch (which) {
    case ASE_KW_GEOMOBJECT: return 0;
    case ASE_KW_LIGHTOBJECT: return 1;
    case ASE_KW_CAMERAOBJECT: return 2;
    case ASE_KW_MATERIAL: return 3;
    default: return -1;
    }
}

// The effective text of the bytes [start, end): up to the first NUL.
AseToken effectiveToken(const char* start, size_t length)
{
    const void* nul = std::memchr(start, 0, length);
    if (nul != nullptr) length = static_cast<size_t>(static_cast<const char*>(nul) - start);
    return AseToken{start, length};
}

// Powers of ten that a float holds exactly.
constexpr float exactPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
constexpr uint32_t FLOAT_EXACT_INTEGER = 1u << 24;  // integers up to this are exact in a float

// Converts a plain decimal [sign]digits[.digits] directly when the digits make
// an integer a float holds exactly and the fraction has at most ten digits:
// one correctly rounded division then gives what strtof gives. 0 otherwise.
int fastDecimal(const char* text, size_t length, float* out)
{
    size_t i = 0;
    bool negative = false;
    if (i < length && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    uint32_t mantissa = 0;
    int fractionDigits = 0;
    bool dot = false;
    bool digits = false;
    for (; i < length; ++i) {
        const char c = text[i];
        if (c == '.' && !dot) {
            dot = true;
            continue;
        }
        if (!isDigit(c)) return 0;
        digits = true;
        mantissa = mantissa * 10 + static_cast<uint32_t>(c - '0');
        if (mantissa > FLOAT_EXACT_INTEGER) return 0;
        if (dot && ++fractionDigits > 10) return 0;
    }
    if (!digits) return 0;
    const float value = static_cast<float>(mantissa) / exactPowersOfTen[fractionDigits];
    *out = negative ? -value : value;
    return 1;
}

}  // namespace

AseKeyword aseKeyword(const AseToken& token)
{
    if (token.length < 2 || token.length > KEYWORD_MAX_LENGTH || token.text[0] != '*') return ASE_KW_NONE;
    const KeywordTable& table = keywordTable();
    size_t i = hashText(token.text, token.length) & (KEYWORD_SLOTS - 1);
    while (table.slots[i] != nullptr) {
        const char* text = table.slots[i]->text;
        if (std::strncmp(text, token.text, token.length) == 0 && text[token.length] == '\0')
            return table.slots[i]->keyword;
        i = (i + 1) & (KEYWORD_SLOTS - 1);
    }
    return ASE_KW_NONE;
}

const char* aseKeywordText(AseKeyword keyword)
{
    for (const KeywordName& k : keywordNames)
        if (k.keyword == keyword) return k.text;
    return "";
}

void AseMemoryStream::open(const char* bytes, size_t size)
{
    // An empty file has no bytes to point at; the scans still need a valid address.
    data = bytes != nullptr ? bytes : "";
    length = bytes != nullptr ? size : 0;
    cursor = 0;
    eofSeen = 0;
    for (auto& ends : nodeEnds) ends.clear();
    markEnds.clear();
    markKinds.clear();
    posBefore.assign(1, 0);
    rotBefore.assign(1, 0);

    // One scan over the whole tokens, as a plain token loop from the start sees them.
    size_t i = 0;
    while (i < size) {
        while (i < size && isSpace(static_cast<unsigned char>(data[i]))) ++i;
        if (i == size) break;
        const size_t start = i;
        while (i < size && !isSpace(static_cast<unsigned char>(data[i]))) ++i;
        if (data[start] != '*') continue;
        const AseKeyword k = aseKeyword(effectiveToken(data + start, i - start));
        const int slot = nodeSlot(k);
        if (slot >= 0) nodeEnds[slot].push_back(i);
        if (aseOpensNode(k) || aseIsPosKey(k) || aseIsRotKey(k)) {
            markEnds.push_back(i);
            markKinds.push_back(static_cast<uint8_t>(k));
            posBefore.push_back(posBefore.back() + (aseIsPosKey(k) ? 1 : 0));
            rotBefore.push_back(rotBefore.back() + (aseIsRotKey(k) ? 1 : 0));
        }
    }
    const size_t marks = markEnds.size();
    nextOpener.assign(marks + 1, static_cast<int32_t>(marks));
    for (size_t m = marks; m-- > 0;)
        nextOpener[m] = aseOpensNode(static_cast<AseKeyword>(markKinds[m])) ? static_cast<int32_t>(m) : nextOpener[m + 1];
}

void AseMemoryStream::rewind()
{
    cursor = 0;
    eofSeen = 0;
}

void AseMemoryStream::seek(size_t position)
{
    cursor = position < length ? position : length;
    eofSeen = 0;
}

// Skips whitespace; reaching the end sets the end-of-file indicator.
void AseMemoryStream::skipSpace()
{
    while (cursor < length && isSpace(static_cast<unsigned char>(data[cursor]))) ++cursor;
    if (cursor == length) eofSeen = 1;
}

int AseMemoryStream::token(AseToken* out)
{
    skipSpace();
    if (cursor == length) return 0;
    const size_t start = cursor;
    while (cursor < length && !isSpace(static_cast<unsigned char>(data[cursor]))) ++cursor;
    if (cursor == length) eofSeen = 1;
    *out = effectiveToken(data + start, cursor - start);
    return 1;
}

int AseMemoryStream::quoted(char* field, size_t capacity)
{
    skipSpace();
    if (cursor == length) return 0;
    if (data[cursor] != '"') return 0;
    ++cursor;
    AseToken word{};
    if (!token(&word)) return 0;
    // The word's last character (normally the closing quote) is dropped; a word
    // that starts with a NUL leaves nothing to drop and gives empty text.
    size_t keep = word.length > 0 ? word.length - 1 : 0;
    if (keep > capacity - 1) keep = capacity - 1;
    std::memcpy(field, word.text, keep);
    field[keep] = '\0';
    return 1;
}

void AseMemoryStream::skipLine()
{
    const size_t limit = static_cast<size_t>(ASE_LINE_LIMIT - 1);
    const size_t available = length - cursor;
    const size_t span = available < limit ? available : limit;
    const void* newline = std::memchr(data + cursor, '\n', span);
    if (newline != nullptr) {
        cursor = static_cast<size_t>(static_cast<const char*>(newline) - data) + 1;
        return;
    }
    cursor += span;
    // Fewer than the limit were left and none was a newline: the read ran into the end.
    if (span < limit) eofSeen = 1;
}

// %d (base 10) and %i (base 0: 0x hexadecimal, 0 octal, else decimal). The value
// is what strtol makes of the characters taken (saturated to 64 bits) stored
// into an int, as the C library does.
int AseMemoryStream::scanInt(int base, int* out)
{
    skipSpace();
    if (cursor == length) return 0;
    bool negative = false;
    bool any = false;  // a digit (or the leading 0) was taken
    int c = static_cast<unsigned char>(data[cursor]);
    auto next = [&]() {
        ++cursor;
        if (cursor == length) {
            eofSeen = 1;
            return -1;
        }
        return static_cast<int>(static_cast<unsigned char>(data[cursor]));
    };
    if (c == '-' || c == '+') {
        negative = c == '-';
        c = next();
    }
    if (c == '0') {
        any = true;
        c = next();
        if (lower(c) == 'x' && (base == 0 || base == 16)) {
            base = 16;
            c = next();
        } else if (base == 0) {
            base = 8;
        }
    }
    if (base == 0) base = 10;
    const uint64_t limit = negative ? (uint64_t{1} << 63) : (uint64_t{1} << 63) - 1;
    uint64_t magnitude = 0;
    bool saturated = false;
    while (c >= 0) {
        int digit = -1;
        if (isDigit(c)) digit = c - '0';
        else if (base == 16 && isHexDigit(c)) digit = lower(c) - 'a' + 10;
        if (digit < 0 || digit >= base) break;
        any = true;
        if (!saturated) {
            if (magnitude > (limit - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base)) {
                saturated = true;
                magnitude = limit;
            } else {
                magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
            }
        }
        c = next();
    }
    if (!any) return 0;
    const uint64_t bits = negative ? (~magnitude + 1) : magnitude;
    *out = static_cast<int>(static_cast<int32_t>(static_cast<uint32_t>(bits)));
    return 1;
}

// %f: takes the characters the C library's scanner takes (sign, digits, one
// point, exponent, hexadecimal form, inf, infinity, nan), then converts them
// with strtof; nothing is stored when strtof finds no number in them.
int AseMemoryStream::scanFloat(float* out)
{
    skipSpace();
    if (cursor == length) return 0;
    const size_t start = cursor;
    int c = static_cast<unsigned char>(data[cursor]);
    auto next = [&]() {
        ++cursor;
        if (cursor == length) {
            eofSeen = 1;
            return -1;
        }
        return static_cast<int>(static_cast<unsigned char>(data[cursor]));
    };
    // Takes one more character that must be the given letter (any case); the
    // character is consumed even when it does not match. Nothing is read past it.
    auto expect = [&](int letter) {
        if (cursor == length) {
            eofSeen = 1;
            return false;
        }
        return lower(static_cast<unsigned char>(data[cursor++])) == letter;
    };
    size_t signLength = 0;
    if (c == '-' || c == '+') {
        signLength = 1;
        c = next();
        if (c < 0) return 0;
    }
    bool special = false;
    if (lower(c) == 'n') {
        ++cursor;
        if (!expect('a') || !expect('n')) return 0;
        special = true;
    } else if (lower(c) == 'i') {
        ++cursor;
        if (!expect('n') || !expect('f')) return 0;
        if (cursor < length && lower(static_cast<unsigned char>(data[cursor])) == 'i') {
            ++cursor;
            if (!expect('n') || !expect('i') || !expect('t') || !expect('y')) return 0;
        } else if (cursor == length) {
            eofSeen = 1;
        }
        special = true;
    }
    if (!special) {
        bool hex = false;
        bool gotDigit = false, gotDot = false, gotE = false;
        int expChar = 'e';
        int last = 0;  // the last character taken, as the scanner keeps it
        if (c == '0') {
            last = c;
            c = next();
            if (lower(c) == 'x') {
                hex = true;
                expChar = 'p';
                last = 'x';
                c = next();
            } else {
                gotDigit = true;
            }
        }
        while (c >= 0) {
            if (isDigit(c)) {
                gotDigit = true;
            } else if (!gotE && hex && isHexDigit(c)) {
                gotDigit = true;
            } else if (gotE && last == expChar && (c == '-' || c == '+')) {
            } else if (gotDigit && !gotE && lower(c) == expChar) {
                c = expChar;
                gotE = gotDot = true;
            } else if (c == '.' && !gotDot) {
                gotDot = true;
            } else {
                break;
            }
            last = c;
            c = next();
        }
        const size_t taken = cursor - start;
        if (taken == signLength || (hex && taken == 2 + signLength)) return 0;
    }
    const size_t taken = cursor - start;
    if (!special && fastDecimal(data + start, taken, out)) return 1;
    char small[128];
    std::string large;
    char* text = small;
    if (taken < sizeof small) {
        std::memcpy(small, data + start, taken);
        small[taken] = '\0';
    } else {
        large.assign(data + start, taken);
        text = &large[0];
    }
    char* end = nullptr;
    const float value = std::strtof(text, &end);
    if (end == text) return 0;
    *out = value;
    return 1;
}

int AseMemoryStream::scan(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int stored = 0;
    bool pendingSpace = false;
    for (const char* f = format; *f != '\0'; ++f) {
        const unsigned char fc = static_cast<unsigned char>(*f);
        if (isSpace(fc)) {
            pendingSpace = true;
            continue;
        }
        if (fc == '%' && (f[1] == 'd' || f[1] == 'i' || f[1] == 'f')) {
            ++f;
            pendingSpace = false;  // conversions skip leading whitespace themselves
            int ok = 0;
            if (*f == 'f') ok = scanFloat(va_arg(args, float*));
            else ok = scanInt(*f == 'd' ? 10 : 0, va_arg(args, int*));
            if (!ok) break;
            ++stored;
            continue;
        }
        if (pendingSpace) {
            skipSpace();
            pendingSpace = false;
        }
        if (cursor == length) {
            eofSeen = 1;
            break;
        }
        if (static_cast<unsigned char>(data[cursor]) != fc) break;
        ++cursor;
    }
    if (pendingSpace) skipSpace();
    va_end(args);
    return stored;
}

int AseMemoryStream::seekNth(AseKeyword which, int n)
{
    const int slot = nodeSlot(which);
    if (slot < 0 || n < 0 || static_cast<size_t>(n) >= nodeEnds[slot].size()) {
        cursor = length;
        eofSeen = 1;
        return 0;
    }
    cursor = nodeEnds[slot][static_cast<size_t>(n)];
    eofSeen = cursor == length ? 1 : 0;
    return 1;
}

void AseMemoryStream::countKeys(int* posKeys, int* rotKeys)
{
    *posKeys = 0;
    *rotKeys = 0;
    AseToken first{};
    if (eofSeen || !token(&first)) return;
    // From a token's end on, the tokens are the file's whole tokens, so the
    // index answers: the marks that end after the cursor, up to the next opener.
    const size_t from = static_cast<size_t>(std::upper_bound(markEnds.begin(), markEnds.end(), cursor) - markEnds.begin());
    const size_t opener = static_cast<size_t>(nextOpener[from]);
    *posKeys = posBefore[opener] - posBefore[from];
    *rotKeys = rotBefore[opener] - rotBefore[from];
    if (opener < markEnds.size()) {
        cursor = markEnds[opener];
        eofSeen = cursor == length ? 1 : 0;
    } else {
        cursor = length;
        eofSeen = 1;
    }
}

// The in-memory token stream of the ASE reader. Every read reproduces what the
// C library's stream functions do on the same bytes, down to how many
// characters a failed number consumes and when the end-of-file indicator is set.
#include "assets/ase_scan.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>

#include <locale.h>
#include <stdlib.h>
#include <string.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

constexpr size_t KEYWORD_MAX_LENGTH = 32;  // longer tokens are no keyword

inline bool isDigit(int c) { return c >= '0' && c <= '9'; }
inline bool isHexDigit(int c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
inline int lower(int c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

// The keywords grouped by length, so that a token is compared with the few of
// its own length only.
constexpr int KEYWORDS_PER_LENGTH = 12;  // most keywords of one length
struct KeywordTable {
    const KeywordName* byLength[KEYWORD_MAX_LENGTH + 1][KEYWORDS_PER_LENGTH] = {};
    int count[KEYWORD_MAX_LENGTH + 1] = {};
    constexpr KeywordTable()
    {
        for (const KeywordName& k : keywordNames) {
            size_t n = 0;
            while (k.text[n] != '\0') ++n;
            byLength[n][count[n]++] = &k;
        }
    }
};
constexpr KeywordTable keywordTable;

// The slot of nodeMarks for a keyword that opens a node or a material.
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

// Whether a keyword belongs to a reader's keyword set.
bool inSet(AseKeyword k, AseKeywordSet set)
{
    if (set == ASE_SET_NODE_HEADER) {
        switch (k) {
        case ASE_KW_MESH_NUMVERTEX:
        case ASE_KW_MESH_NUMFACES:
        case ASE_KW_MESH_NUMTVERTEX:
        case ASE_KW_MESH_NUMTVFACES:
        case ASE_KW_MESH_NORMALS:
        case ASE_KW_MATERIAL_REF:
        case ASE_KW_NODE_NAME: return true;
        default: return aseOpensNode(k);
        }
    }
    switch (k) {
    case ASE_KW_MATERIAL:
    case ASE_KW_MATERIAL_NAME:
    case ASE_KW_MATERIAL_CLASS:
    case ASE_KW_MATERIAL_AMBIENT:
    case ASE_KW_MATERIAL_DIFFUSE:
    case ASE_KW_MATERIAL_SPECULAR:
    case ASE_KW_MATERIAL_SHINE:
    case ASE_KW_MATERIAL_SHINESTRENGTH:
    case ASE_KW_MATERIAL_TRANSPARENCY:
    case ASE_KW_MATERIAL_WIRESIZE:
    case ASE_KW_MATERIAL_SELFILLUM:
    case ASE_KW_BITMAP:
    case ASE_KW_UVW_U_TILING:
    case ASE_KW_UVW_V_TILING:
    case ASE_KW_UVW_U_OFFSET:
    case ASE_KW_UVW_V_OFFSET: return true;
    default: return false;
    }
}

// Whether the index keeps a mark for the keyword.
bool indexed(AseKeyword k)
{
    return aseOpensNode(k) || k == ASE_KW_MATERIAL || aseIsPosKey(k) || aseIsRotKey(k) || aseIsHeaderKeyword(k) ||
           inSet(k, ASE_SET_NODE_HEADER) || inSet(k, ASE_SET_MATERIAL);
}

// The C locale, for the rare numbers that the locale-free conversion leaves to
// the C library (out of range): a comma locale of the process never applies.
locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

// Converts the characters the scanner took for a float as strtof would in the C
// locale (the longest prefix that is a number). 0 when no number starts there.
int convertFloat(const char* text, size_t taken, float* out)
{
    const char* p = text;
    const char* end = text + taken;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    if (p == end) return 0;
    float value = 0.0f;
    std::from_chars_result r{};
    if (end - p >= 2 && p[0] == '0' && lower(p[1]) == 'x') {
        r = std::from_chars(p + 2, end, value, std::chars_format::hex);
        // "0x" without hexadecimal digits is the number 0 followed by an x.
        if (r.ec == std::errc::invalid_argument) {
            *out = negative ? -0.0f : 0.0f;
            return 1;
        }
    } else {
        r = std::from_chars(p, end, value, std::chars_format::general);
        if (r.ec == std::errc::invalid_argument) return 0;
    }
    if (r.ec == std::errc::result_out_of_range) {
        // Overflow and underflow: the C library's rounding to infinity, a
        // denormal or zero, under the C locale.
        char small[128];
        std::string large;
        char* copy = small;
        if (taken < sizeof small) {
            std::memcpy(small, text, taken);
            small[taken] = '\0';
        } else {
            large.assign(text, taken);
            copy = &large[0];
        }
        *out = strtof_l(copy, nullptr, cLocale());
        return 1;
    }
    *out = negative ? -value : value;
    return 1;
}

// Whether n bytes at a and b are equal, eight at a time: keywords are short,
// and a library call costs more than the comparison.
inline bool sameBytes(const char* a, const char* b, size_t n)
{
    for (; n >= sizeof(uint64_t); n -= sizeof(uint64_t), a += sizeof(uint64_t), b += sizeof(uint64_t)) {
        uint64_t x = 0, y = 0;
        std::memcpy(&x, a, sizeof x);
        std::memcpy(&y, b, sizeof y);
        if (x != y) return false;
    }
    for (; n > 0; --n)
        if (*a++ != *b++) return false;
    return true;
}

}  // namespace

AseKeyword aseKeyword(const AseToken& token)
{
    const size_t n = token.length;
    if (n < 2 || n > KEYWORD_MAX_LENGTH || token.text[0] != '*') return ASE_KW_NONE;
    const KeywordName* const* candidates = keywordTable.byLength[n];
    for (int i = 0; i < keywordTable.count[n]; ++i) {
        const char* text = candidates[i]->text;
        if (text[1] == token.text[1] && sameBytes(text + 2, token.text + 2, n - 2)) return candidates[i]->keyword;
    }
    return ASE_KW_NONE;
}

const char* aseKeywordText(AseKeyword keyword)
{
    for (const KeywordName& k : keywordNames)
        if (k.keyword == keyword) return k.text;
    return "";
}

namespace {

// The index of one whole token starting with '*' at start: its mark when it is
// a keyword the index keeps.
void indexStarToken(AseMemoryStream* s, size_t start)
{
    size_t effectiveEnd = start;
    const size_t end = aseTokenEnd(s->data, s->length, start, &effectiveEnd);
    const AseKeyword k = aseKeyword(AseToken{s->data + start, effectiveEnd - start});
    if (k != ASE_KW_NONE && indexed(k)) s->marks.push_back(AseMark{start, end, k});
}

// Notes a line [lineStart, newline) that a line skip might not get through.
inline void noteLine(AseMemoryStream* s, size_t lineStart, size_t newline)
{
    if (newline - lineStart > ASE_SHORT_LINE_BYTES) {
        s->longLines.push_back(lineStart);
        s->longLines.push_back(newline);
    }
}

// Whether the token at start is a mesh element keyword. Their lines are most of
// a file and none of them is indexed: "*MESH_" followed by anything but N (the
// counts and *MESH_NORMALS are).
inline bool meshElementAt(const char* data, size_t length, size_t start)
{
    static const char MESH_PREFIX[] = "*MESH_";
    constexpr size_t MESH_PREFIX_LENGTH = sizeof MESH_PREFIX - 1;
    return length - start > MESH_PREFIX_LENGTH && std::memcmp(data + start, MESH_PREFIX, MESH_PREFIX_LENGTH) == 0 &&
           data[start + MESH_PREFIX_LENGTH] != 'N';
}

// Handles one byte of the scan for token starts and line ends. data and length
// are the stream's, passed by value: read through the stream they would be
// loaded again after every mark stored.
inline void scanByte(AseMemoryStream* s, const char* data, size_t length, size_t i, size_t* lineStart)
{
    const char c = data[i];
    if (c == '\n') {
        noteLine(s, *lineStart, i);
        *lineStart = i + 1;
    } else if (c == '*' && (i == 0 || ASE_BYTE_CLASSES.space[static_cast<unsigned char>(data[i - 1])]) &&
               !meshElementAt(data, length, i)) {
        indexStarToken(s, i);
    }
}

}  // namespace

void AseMemoryStream::open(const char* bytes, size_t size)
{
    // An empty file has no bytes to point at; the scans still need a valid address.
    data = bytes != nullptr ? bytes : "";
    length = bytes != nullptr ? size : 0;
    cursor = 0;
    eofSeen = 0;
    marks.clear();
    longLines.clear();

    // One pass over the bytes: every token that starts with '*' after whitespace
    // (a whole token, as a plain token loop from the start sees it), and every
    // line too long for a line skip to get through.
    const char* const text = data;  // the members, held where the marks stored cannot change them
    const size_t end = length;
    size_t lineStart = 0;
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i star = _mm_set1_epi8('*');
    const __m128i newline = _mm_set1_epi8('\n');
    constexpr size_t BLOCK = sizeof(__m128i);
    for (; i + BLOCK <= end; i += BLOCK) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        unsigned bits = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, star), _mm_cmpeq_epi8(v, newline))));
        while (bits != 0) {
            scanByte(this, text, end, i + static_cast<size_t>(__builtin_ctz(bits)), &lineStart);
            bits &= bits - 1;
        }
    }
#endif
    for (; i < end; ++i) scanByte(this, text, end, i, &lineStart);
    noteLine(this, lineStart, length);

    const size_t count = marks.size();
    for (auto& list : nodeMarks) list.clear();
    posBefore.assign(count + 1, 0);
    rotBefore.assign(count + 1, 0);
    for (size_t m = 0; m < count; ++m) {
        const AseKeyword k = marks[m].kind;
        const int slot = nodeSlot(k);
        if (slot >= 0) nodeMarks[slot].push_back(static_cast<uint32_t>(m));
        posBefore[m + 1] = posBefore[m] + (aseIsPosKey(k) ? 1 : 0);
        rotBefore[m + 1] = rotBefore[m] + (aseIsRotKey(k) ? 1 : 0);
    }
    const uint32_t none = static_cast<uint32_t>(count);
    nextOpener.assign(count + 1, none);
    for (auto& next : nextInSet) next.assign(count + 1, none);
    for (size_t m = count; m-- > 0;) {
        const AseKeyword k = marks[m].kind;
        nextOpener[m] = aseOpensNode(k) ? static_cast<uint32_t>(m) : nextOpener[m + 1];
        for (int set = 0; set < ASE_SET_COUNT; ++set)
            nextInSet[set][m] = inSet(k, static_cast<AseKeywordSet>(set)) ? static_cast<uint32_t>(m) : nextInSet[set][m + 1];
    }
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

int AseMemoryStream::stepToNextByte()
{
    ++cursor;
    if (cursor == length) {
        eofSeen = 1;
        return -1;
    }
    return static_cast<int>(static_cast<unsigned char>(data[cursor]));
}

// What scanInt leaves: the cursor at the number's first character, after
// whitespace. The value is what strtol makes of the characters taken
// (saturated to 64 bits) stored into an int, as the C library does.
int AseMemoryStream::scanIntSlow(int base, int* out)
{
    bool negative = false;
    bool any = false;  // a digit (or the leading 0) was taken
    int c = static_cast<unsigned char>(data[cursor]);
    auto next = [this]() { return stepToNextByte(); };
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

// What scanFloat leaves, from the number's first character: takes the
// characters the C library's scanner takes (sign, digits, one point, exponent,
// hexadecimal form, inf, infinity, nan), then converts them without the
// locale; nothing is stored when they hold no number.
int AseMemoryStream::scanFloatSlow(float* out)
{
    const size_t start = cursor;
    int c = static_cast<unsigned char>(data[cursor]);
    auto next = [this]() { return stepToNextByte(); };
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
    bool infinite = false;
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
        infinite = true;
    }
    if (special) {
        const bool negative = signLength == 1 && data[start] == '-';
        const float value = infinite ? std::numeric_limits<float>::infinity() : std::numeric_limits<float>::quiet_NaN();
        *out = negative ? -value : value;
        return 1;
    }
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
    return convertFloat(data + start, taken, out);
}

int AseMemoryStream::scanForm(const AseScanForm& form, void* const* targets)
{
    int stored = 0;
    int target = 0;
    for (int k = 0; k < form.count; ++k) {
        const AseScanForm::Step& step = form.steps[k];
        if (step.kind == AseScanForm::LITERAL) {
            if (matchLiteral(step.spaceFirst != 0, form.literals + step.start, step.length)) continue;
            return stored;
        }
        void* out = targets[target++];
        const int ok = step.kind == AseScanForm::FLOAT
                           ? scanFloat(static_cast<float*>(out))
                           : scanInt(step.kind == AseScanForm::INT_DECIMAL ? 10 : 0, static_cast<int*>(out));
        if (!ok) return stored;
        ++stored;
    }
    if (form.spaceLast) skipSpace();
    return stored;
}

int AseMemoryStream::scan(const char* format, ...)
{
    const AseScanForm form(format);
    void* targets[ASE_SCAN_FORM_STEPS] = {};
    va_list args;
    va_start(args, format);
    for (int k = 0; k < form.conversions; ++k) targets[k] = va_arg(args, void*);
    va_end(args);
    return scanForm(form, targets);
}

int AseMemoryStream::seekNth(AseKeyword which, int n)
{
    const int slot = nodeSlot(which);
    if (slot < 0 || n < 0 || static_cast<size_t>(n) >= nodeMarks[slot].size()) {
        cursor = length;
        eofSeen = 1;
        return 0;
    }
    cursor = marks[nodeMarks[slot][static_cast<size_t>(n)]].end;
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
    const auto after = std::upper_bound(marks.begin(), marks.end(), cursor,
                                        [](size_t offset, const AseMark& m) { return offset < m.end; });
    const size_t from = static_cast<size_t>(after - marks.begin());
    const size_t opener = nextOpener[from];
    *posKeys = posBefore[opener] - posBefore[from];
    *rotKeys = rotBefore[opener] - rotBefore[from];
    if (opener < marks.size()) {
        cursor = marks[opener].end;
        eofSeen = cursor == length ? 1 : 0;
    } else {
        cursor = length;
        eofSeen = 1;
    }
}

size_t AseMemoryStream::firstMarkFrom(size_t offset) const
{
    const auto at = std::lower_bound(marks.begin(), marks.end(), offset,
                                     [](const AseMark& m, size_t o) { return m.start < o; });
    return static_cast<size_t>(at - marks.begin());
}

size_t AseMemoryStream::fenceAfterCursor(AseKeyword stopAt) const
{
    const size_t from = firstMarkFrom(cursor);
    size_t next = marks.size();
    if (stopAt == ASE_KW_MATERIAL) {
        const std::vector<uint32_t>& list = nodeMarks[nodeSlot(ASE_KW_MATERIAL)];
        const auto at = std::lower_bound(list.begin(), list.end(), static_cast<uint32_t>(from));
        if (at != list.end()) next = *at;
    } else {
        next = nextOpener[from];
    }
    return next < marks.size() ? marks[next].end : length;
}

void AseMemoryStream::skipToSet(AseKeywordSet set)
{
    if (eofSeen || (cursor != 0 && data[cursor - 1] != '\n')) return;
    const size_t q = nextInSet[set][firstMarkFrom(cursor)];
    size_t target = length;
    if (q < marks.size()) {
        const size_t at = marks[q].start;
        const void* newline = memrchr(data + cursor, '\n', at - cursor);
        target = newline != nullptr ? static_cast<size_t>(static_cast<const char*>(newline) - data) + 1 : cursor;
    }
    if (target <= cursor) return;
    // A long line in between could let a line skip stop short of its newline
    // and read the rest of the line as tokens: then every line is read.
    const auto longLine = std::lower_bound(longLines.begin(), longLines.end(), cursor);
    if (longLine != longLines.end()) {
        // An even position is a line's start, an odd one its end.
        const size_t position = static_cast<size_t>(longLine - longLines.begin());
        const size_t lineStart = position % 2 == 0 ? *longLine : *(longLine - 1);
        if (lineStart < target) return;
    }
    cursor = target;
    if (cursor == length) eofSeen = 1;
}

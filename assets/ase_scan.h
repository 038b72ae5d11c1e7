// The ASE reader's view of its input: whitespace-separated tokens, formatted
// reads of values and line skips, with the exact results of the C library's
// fscanf("%s"), fscanf(format) and fgets(255) on a file opened in text mode,
// but over a file already held in memory.
//
// The stream keeps a cursor and an end-of-file indicator that behave like a
// FILE's: a read that runs into the end sets the indicator, fgetpos/fsetpos
// become tell/seek (seek clears the indicator), rewind clears it too.
//
// The file's tokens are indexed once when the stream is made, so that finding
// the n-th node keyword (what rewinding and counting from the start would find)
// and counting the animation keys up to the next node take no rescanning. The
// index also tells where a node's or a material's block ends even when its
// successor's keyword is hidden behind another token on its line (a reader
// that skips that line would otherwise read on into the next block), and lets
// the readers that only skip lines between their keywords go straight to the
// line of the next one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

// Every keyword some reader knows. ASE_KW_NONE is any other token.
enum AseKeyword {
    ASE_KW_NONE,
    ASE_KW_GEOMOBJECT,
    ASE_KW_LIGHTOBJECT,
    ASE_KW_CAMERAOBJECT,
    ASE_KW_SHAPEOBJECT,
    ASE_KW_MATERIAL,
    ASE_KW_MATERIAL_COUNT,
    ASE_KW_SCENE_FIRSTFRAME,
    ASE_KW_SCENE_LASTFRAME,
    ASE_KW_SCENE_FRAMESPEED,
    ASE_KW_SCENE_TICKSPERFRAME,
    ASE_KW_MESH_NUMVERTEX,
    ASE_KW_MESH_NUMFACES,
    ASE_KW_MESH_NUMTVERTEX,
    ASE_KW_MESH_NUMTVFACES,
    ASE_KW_MESH_NORMALS,
    ASE_KW_MATERIAL_REF,
    ASE_KW_NODE_NAME,
    ASE_KW_MESH_VERTEX,
    ASE_KW_MESH_TVERT,
    ASE_KW_MESH_VERTEXNORMAL,
    ASE_KW_MESH_FACENORMAL,
    ASE_KW_MESH_FACE,
    ASE_KW_MESH_TFACE,
    ASE_KW_TM_POS,
    ASE_KW_WIREFRAME_COLOR,
    ASE_KW_TM_ANIMATION,
    ASE_KW_MATERIAL_NAME,
    ASE_KW_MATERIAL_CLASS,
    ASE_KW_MATERIAL_AMBIENT,
    ASE_KW_MATERIAL_DIFFUSE,
    ASE_KW_MATERIAL_SPECULAR,
    ASE_KW_MATERIAL_SHINE,
    ASE_KW_MATERIAL_SHINESTRENGTH,
    ASE_KW_MATERIAL_TRANSPARENCY,
    ASE_KW_MATERIAL_WIRESIZE,
    ASE_KW_MATERIAL_SELFILLUM,
    ASE_KW_BITMAP,
    ASE_KW_UVW_U_TILING,
    ASE_KW_UVW_V_TILING,
    ASE_KW_UVW_U_OFFSET,
    ASE_KW_UVW_V_OFFSET,
    ASE_KW_LIGHT_COLOR,
    ASE_KW_LIGHT_INTENS,
    ASE_KW_LIGHT_FALLOFF,
    ASE_KW_TM_ROTAXIS,
    ASE_KW_CAMERA_NEAR,
    ASE_KW_CAMERA_FAR,
    ASE_KW_CAMERA_FOV,
    ASE_KW_CAMERA_TDIST,
    ASE_KW_CONTROL_BEZIER_POS_KEY,
    ASE_KW_CONTROL_POS_SAMPLE,
    ASE_KW_CONTROL_ROT_KEY,
    ASE_KW_CONTROL_ROT_SAMPLE,
    ASE_KW_CONTROL_TCB_ROT_KEY,
    ASE_KW_COUNT
};

// A token as a C string comparison sees it: its bytes up to the first NUL.
struct AseToken {
    const char* text;
    size_t length;
};

// The keyword a token is, by exact, case-sensitive equality; ASE_KW_NONE if none.
AseKeyword aseKeyword(const AseToken& token);
// The keyword's text ("*GEOMOBJECT"), or "" for ASE_KW_NONE.
const char* aseKeywordText(AseKeyword keyword);

// Whether a keyword opens a node (and so ends the node before it).
inline bool aseOpensNode(AseKeyword k)
{
    return k == ASE_KW_GEOMOBJECT || k == ASE_KW_LIGHTOBJECT || k == ASE_KW_CAMERAOBJECT || k == ASE_KW_SHAPEOBJECT;
}
inline bool aseIsPosKey(AseKeyword k) { return k == ASE_KW_CONTROL_BEZIER_POS_KEY || k == ASE_KW_CONTROL_POS_SAMPLE; }
inline bool aseIsRotKey(AseKeyword k)
{
    return k == ASE_KW_CONTROL_ROT_KEY || k == ASE_KW_CONTROL_ROT_SAMPLE || k == ASE_KW_CONTROL_TCB_ROT_KEY;
}
// Whether a keyword is one the header pass reads a value for.
inline bool aseIsHeaderKeyword(AseKeyword k)
{
    return k == ASE_KW_MATERIAL_COUNT || k == ASE_KW_SCENE_FIRSTFRAME || k == ASE_KW_SCENE_LASTFRAME ||
           k == ASE_KW_SCENE_FRAMESPEED || k == ASE_KW_SCENE_TICKSPERFRAME;
}

// The token buffer of a plain token read holds 255 characters and its NUL.
constexpr size_t ASE_TOKEN_SIZE = 256;
// A skipped line is read with fgets and this limit: at most 254 characters.
constexpr int ASE_LINE_LIMIT = 255;

// Sets of keywords a reader acts on; between two of them it only skips lines.
enum AseKeywordSet {
    ASE_SET_NODE_HEADER,  // the node-header walk: node openers and the mesh counts, normals, material and name
    ASE_SET_MATERIAL,     // the material reader: *MATERIAL and the material keywords
    ASE_SET_COUNT
};

// A skipped line is "short" when its newline lies within this many bytes of the
// line's start: a line skip after its first token then always reaches the newline.
constexpr size_t ASE_SHORT_LINE_BYTES = ASE_LINE_LIMIT - 2;

// Characters isspace() accepts in the C locale: blank, \t, \n, \v, \f, \r.
constexpr bool aseIsSpace(char c) { return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t'; }
constexpr bool aseIsDigit(char c) { return static_cast<unsigned char>(c - '0') <= 9; }

// Byte classes of the token reader, one look-up a byte: built when the
// program is compiled, so that readers running from other files' static
// initialisers find them filled.
struct AseByteClasses {
    unsigned char space[256] = {};      // 1 for whitespace
    unsigned char tokenByte[256] = {};  // 1 inside a token as a C string comparison sees it: neither whitespace nor NUL
    constexpr AseByteClasses()
    {
        for (int c = 0; c < 256; ++c) {
            space[c] = aseIsSpace(static_cast<char>(c)) ? 1 : 0;
            tokenByte[c] = space[c] == 0 && c != 0 ? 1 : 0;
        }
    }
};
inline constexpr AseByteClasses ASE_BYTE_CLASSES;

// Where the token that starts at start in data[0, length) ends: returns the
// offset of the first whitespace after it (or length); *effectiveEnd is where
// a C string comparison sees it end, at the first NUL or whitespace.
inline size_t aseTokenEnd(const char* data, size_t length, size_t start, size_t* effectiveEnd)
{
    size_t i = start;
    while (i < length && ASE_BYTE_CLASSES.tokenByte[static_cast<unsigned char>(data[i])]) ++i;
    *effectiveEnd = i;
    while (i < length && !ASE_BYTE_CLASSES.space[static_cast<unsigned char>(data[i])]) ++i;
    return i;
}
// A letter's lower case by its ASCII bit; only compared with lower-case letters.
constexpr char aseFoldCase(char c) { return static_cast<char>(c | 0x20); }

// Bounds of the number reads' exact paths (longer or larger numbers take the
// C library's general rules).
constexpr uint64_t ASE_FLOAT_EXACT_INTEGER = uint64_t{1} << 24;  // integers up to this are exact in a float
constexpr int ASE_MAX_EXACT_FRACTION_DIGITS = 10;                // 10^10 is still exact in a float
constexpr int ASE_MAX_PLAIN_DIGITS = 18;                         // digits that cannot overflow 64 bits
// Powers of ten that a float holds exactly, up to the longest exact fraction.
constexpr float ASE_EXACT_POWERS_OF_TEN[ASE_MAX_EXACT_FRACTION_DIGITS + 1] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                                                              1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

// A scan format ("%f %f %f") taken apart once, when the program is compiled:
// its conversions (%d, %i, %f) and runs of literal characters, each run marked
// with whether whitespace in the format before it skips whitespace in the
// file. Reading by steps spares the reader the format's characters on every
// line it reads.
constexpr int ASE_SCAN_FORM_STEPS = 32;      // conversions and literal runs of the longest form
constexpr int ASE_SCAN_FORM_LITERALS = 96;   // literal characters of the longest form
struct AseScanForm {
    enum Kind : uint8_t { INT_DECIMAL, INT_ANY_BASE, FLOAT, LITERAL };
    struct Step {
        Kind kind;
        uint8_t spaceFirst;  // LITERAL: 1 to skip whitespace before matching the run
        uint8_t start;       // LITERAL: offset of the run in literals
        uint8_t length;      // LITERAL: characters of the run
    };
    const char* text;                       // the format itself
    Step steps[ASE_SCAN_FORM_STEPS];
    char literals[ASE_SCAN_FORM_LITERALS];  // the runs' characters, one after the other
    int count;                              // steps in use
    int conversions;                        // steps that store a value
    uint8_t spaceLast;                      // the format ends in whitespace: skip it in the file
    constexpr explicit AseScanForm(const char* format)
        : text(format), steps{}, literals{}, count(0), conversions(0), spaceLast(0)
    {
        bool pending = false;
        bool inRun = false;  // the last step is a literal run that the next literal extends
        int used = 0;
        for (const char* f = format; *f != '\0' && count < ASE_SCAN_FORM_STEPS && used < ASE_SCAN_FORM_LITERALS; ++f) {
            const char c = *f;
            if (c == ' ' || (c >= '\t' && c <= '\r')) {
                pending = true;
                inRun = false;
                continue;
            }
            if (c == '%' && (f[1] == 'd' || f[1] == 'i' || f[1] == 'f')) {
                ++f;
                // A conversion skips leading whitespace itself.
                steps[count++] = Step{*f == 'd' ? INT_DECIMAL : *f == 'i' ? INT_ANY_BASE : FLOAT, 0, 0, 0};
                ++conversions;
                pending = false;
                inRun = false;
                continue;
            }
            if (!inRun) steps[count++] = Step{LITERAL, static_cast<uint8_t>(pending ? 1 : 0), static_cast<uint8_t>(used), 0};
            literals[used++] = c;
            ++steps[count - 1].length;
            pending = false;
            inRun = true;
        }
        spaceLast = pending ? 1 : 0;
    }
};

// A whole token of the file that some pass looks for, found by the index.
struct AseMark {
    size_t start;      // offset of its first byte
    size_t end;        // offset just past it
    AseKeyword kind;   // the keyword it is
};

// The in-memory stream. data must stay alive as long as the stream.
struct AseMemoryStream {
    const char* data = nullptr;  // file bytes
    size_t length = 0;           // bytes in data
    size_t cursor = 0;           // offset of the next byte to read
    int eofSeen = 0;             // end-of-file indicator, 0/1

    // Every whole token that opens a node or a material, is an animation key or
    // a keyword of the header pass or of a keyword set, in file order: what a
    // plain token loop from the start of the file sees.
    std::vector<AseMark> marks;
    // Mark numbers of the *GEOMOBJECT, *LIGHTOBJECT, *CAMERAOBJECT and *MATERIAL
    // tokens, in file order.
    std::vector<uint32_t> nodeMarks[4];
    std::vector<int32_t> posBefore;   // position keys among the marks before each (one more entry than marks)
    std::vector<int32_t> rotBefore;   // rotation keys among the marks before each
    std::vector<uint32_t> nextOpener;  // first mark at or after each mark that opens a node (or the mark count)
    std::vector<uint32_t> nextInSet[ASE_SET_COUNT];  // first mark at or after each one in the set
    // Lines longer than ASE_SHORT_LINE_BYTES, as [start, end) pairs in file order
    // (the end is the newline or the end of the file).
    std::vector<size_t> longLines;

    // Indexes the tokens of data[0, size).
    void open(const char* bytes, size_t size);

    // rewind()
    void rewind();
    // feof()
    int eof() const { return eofSeen; }
    // Byte count of the file.
    size_t size() const { return length; }
    // fgetpos / fsetpos (fsetpos clears the end-of-file indicator).
    size_t tell() const { return cursor; }
    // The cursor as a byte offset (what tell() is already for this stream).
    size_t offset() const { return cursor; }
    void seek(size_t position);

    // fscanf("%s"): 1 and the token when one was read, 0 at end of file.
    int token(AseToken* out)
    {
        skipSpace();
        if (cursor == length) return 0;
        const size_t start = cursor;
        // A NUL ends the token as a C string comparison sees it; the bytes up
        // to the next whitespace still belong to it.
        size_t effectiveEnd = start;
        cursor = aseTokenEnd(data, length, start, &effectiveEnd);
        if (cursor == length) eofSeen = 1;
        *out = AseToken{data + start, effectiveEnd - start};
        return 1;
    }
    // fscanf with a format of blanks, literal characters and %d, %i, %f
    // conversions (int* for %d and %i, float* for %f). Returns how many
    // values were stored; reading stops at the first mismatch.
    int scan(const char* format, ...);
    // The same with a form taken apart beforehand; targets[k] is the int* or
    // float* of the k-th conversion.
    int scanForm(const AseScanForm& form, void* const* targets);
    // scanForm with a form known when the program is compiled: its steps
    // become straight-line code, with the number reads' plain cases inline.
    // Returns how many values were stored, as scanForm does.
    template <const AseScanForm& F, int K = 0, int T = 0>
    [[gnu::always_inline]] int scanSteps(void* const* targets)
    {
        if constexpr (K == F.count) {
            if constexpr (F.spaceLast != 0) skipSpace();
            return T;
        } else if constexpr (F.steps[K].kind == AseScanForm::LITERAL) {
            constexpr AseScanForm::Step step = F.steps[K];
            if (!matchLiteral(step.spaceFirst != 0, F.literals + step.start, step.length)) return T;
            return scanSteps<F, K + 1, T>(targets);
        } else {
            constexpr AseScanForm::Kind kind = F.steps[K].kind;
            const int ok = kind == AseScanForm::FLOAT
                               ? scanFloat(static_cast<float*>(targets[T]))
                               : scanInt(kind == AseScanForm::INT_DECIMAL ? 10 : 0, static_cast<int*>(targets[T]));
            if (!ok) return T;
            return scanSteps<F, K + 1, T + 1>(targets);
        }
    }
    // Quoted text: fscanf(" \"%s") into a word, the word's last character
    // removed, cut to capacity - 1 characters. Returns 1 when a word was read
    // (field set), 0 when the quote or the word was missing (field untouched).
    int quoted(char* field, size_t capacity);
    // fgets with ASE_LINE_LIMIT into a buffer that is thrown away.
    void skipLine();

    // Rewinds and reads tokens up to the (n+1)-th one equal to *GEOMOBJECT,
    // *LIGHTOBJECT, *CAMERAOBJECT or *MATERIAL (which: ASE_KW_GEOMOBJECT ..
    // ASE_KW_MATERIAL). Returns 1 when found; 0 when the file ended first.
    int seekNth(AseKeyword which, int n);
    // Reads one token, then counts the position and rotation key tokens up to
    // the end of the file or the next token that opens a node, leaving the
    // cursor after that token (or at the end of the file).
    void countKeys(int* posKeys, int* rotKeys);

    // Where the block that the cursor is in ends: the offset just past the next
    // whole token that opens a node (stopAt ASE_KW_GEOMOBJECT) or of the next
    // *MATERIAL (stopAt ASE_KW_MATERIAL), or the file's length when none follows.
    size_t fenceAfterCursor(AseKeyword stopAt) const;
    // What a loop of "read a token, skip the rest of its line unless the token
    // is in the set" does up to the line of the next token of the set: at the
    // start of a line, moves the cursor to the start of that token's line (or
    // to the end of the file, with the indicator set) when every line before it
    // is short. Elsewhere it does nothing.
    void skipToSet(AseKeywordSet set);

private:
    // Skips whitespace; reaching the end sets the end-of-file indicator.
    void skipSpace()
    {
        // A local cursor: a member one would be stored on every byte, since
        // the bytes read could alias it.
        size_t i = cursor;
        while (i < length && ASE_BYTE_CLASSES.space[static_cast<unsigned char>(data[i])]) ++i;
        cursor = i;
        if (i == length) eofSeen = 1;
    }
    // A literal run of a form, after whitespace when spaceFirst: characters are
    // taken while they match; the first that does not stays unread, and running
    // into the end sets the indicator. Whether the whole run matched.
    bool matchLiteral(bool spaceFirst, const char* literal, size_t n)
    {
        if (spaceFirst) skipSpace();
        size_t matched = 0;
        while (matched < n && cursor + matched < length && data[cursor + matched] == literal[matched]) ++matched;
        cursor += matched;
        if (matched == n) return true;
        if (cursor == length) eofSeen = 1;
        return false;
    }
    // Moves the cursor on by one byte: the byte now under it, or -1 with the
    // end-of-file indicator set when there is none.
    int stepToNextByte();
    // Decimal digits from p on, collected into value (value * 10 + digit
    // each), p left after the last. Returns how many there were.
    static ptrdiff_t collectDigits(const char*& p, const char* end, uint64_t* value)
    {
        const char* const from = p;
        uint64_t v = *value;
        while (p < end && aseIsDigit(*p)) v = v * 10 + static_cast<uint64_t>(*p++ - '0');
        *value = v;
        return p - from;
    }
    // An optional sign at p, taken; whether it was a minus.
    static bool takeSign(const char*& p)
    {
        const bool negative = *p == '-';
        if (negative || *p == '+') ++p;
        return negative;
    }
    // %d (base 10) and %i (base 0). Plain decimal digits, what nearly every
    // file holds, are read here: an optional sign, digits that cannot
    // saturate, and under %i no octal or hexadecimal prefix. The rest is
    // scanIntSlow's, from the same cursor.
    [[gnu::always_inline]] int scanInt(int base, int* out)
    {
        skipSpace();
        if (cursor == length) return 0;
        const char* const end = data + length;
        const char* p = data + cursor;
        const bool negative = takeSign(p);
        const char* const digitsFrom = p;
        uint64_t magnitude = 0;
        const ptrdiff_t digits = collectDigits(p, end, &magnitude);
        // Under %i a leading 0 starts an octal number, or with an x a
        // hexadecimal one; a lone 0 followed by neither is plain.
        const bool prefixed = base == 0 && digits > 0 && *digitsFrom == '0' &&
                              (digits > 1 || (p < end && aseFoldCase(*p) == 'x'));
        if (digits == 0 || digits > ASE_MAX_PLAIN_DIGITS || prefixed) return scanIntSlow(base, out);
        cursor = static_cast<size_t>(p - data);
        if (cursor == length) eofSeen = 1;
        const uint64_t bits = negative ? (~magnitude + 1) : magnitude;
        *out = static_cast<int>(static_cast<int32_t>(static_cast<uint32_t>(bits)));
        return 1;
    }
    int scanIntSlow(int base, int* out);
    // %f. A plain decimal [sign]digits[.digits] that ends where the scanner
    // would stop anyway, whose digits make an integer a float holds exactly
    // and whose fraction has at most ten digits, is read here: one correctly
    // rounded division gives what strtof gives. The digit loops only collect;
    // whether the number qualifies is decided at its end. The rest is
    // scanFloatSlow's, from the same cursor.
    [[gnu::always_inline]] int scanFloat(float* out)
    {
        skipSpace();
        if (cursor == length) return 0;
        const char* const end = data + length;
        const char* p = data + cursor;
        const bool negative = takeSign(p);
        const char* const digitsFrom = p;
        uint64_t mantissa = 0;
        const ptrdiff_t integerDigits = collectDigits(p, end, &mantissa);
        const bool dot = p < end && *p == '.';
        ptrdiff_t fractionDigits = 0;
        if (dot) {
            ++p;
            fractionDigits = collectDigits(p, end, &mantissa);
        }
        const ptrdiff_t digits = integerDigits + fractionDigits;
        // The scanner reads on into an exponent, or after a lone 0 into a
        // hexadecimal number.
        const bool readsOn = p < end && (aseFoldCase(*p) == 'e' || (aseFoldCase(*p) == 'x' && !dot && integerDigits == 1 &&
                                                                    *digitsFrom == '0'));
        if (readsOn || digits == 0 || digits > ASE_MAX_PLAIN_DIGITS || mantissa > ASE_FLOAT_EXACT_INTEGER ||
            fractionDigits > ASE_MAX_EXACT_FRACTION_DIGITS)
            return scanFloatSlow(out);
        cursor = static_cast<size_t>(p - data);
        if (cursor == length) eofSeen = 1;
        const float value = static_cast<float>(mantissa) / ASE_EXACT_POWERS_OF_TEN[fractionDigits];
        *out = negative ? -value : value;
        return 1;
    }
    int scanFloatSlow(float* out);
    size_t firstMarkFrom(size_t offset) const;
};

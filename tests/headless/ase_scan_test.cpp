// The ASE reader's in-memory stream against the C library's stream functions:
// every token read, formatted read, quoted text and line skip must leave the
// same values, the same position and the same end-of-file indicator as
// fscanf/fgets on a FILE; whole scenes read through both (the FILE one
// rewinding and rescanning for every node) must be identical.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "assets/ase.h"
#include "assets/ase_read.h"
#include "assets/ase_scan.h"
#include "tests/support/ase_mesh.h"
#include "tests/support/support.h"

namespace {

// The same stream interface on a real FILE: fscanf, fgets, fgetpos/fsetpos,
// rewind, and rescanning from the start to find a node.
struct StdioStream {
    FILE* file = nullptr;
    size_t bytes = 0;
    std::string last;  // text of the last token read

    void rewind() { std::rewind(file); }
    int eof() const { return std::feof(file) ? 1 : 0; }
    size_t size() const { return bytes; }
    fpos_t tell() const
    {
        fpos_t p;
        std::fgetpos(file, &p);
        return p;
    }
    void seek(const fpos_t& p) { std::fsetpos(file, &p); }
    size_t offset() const { return static_cast<size_t>(std::ftell(file)); }
    int token(AseToken* out)
    {
        char* word = nullptr;
        if (std::fscanf(file, "%ms", &word) != 1) return 0;
        last.assign(word);  // up to the first NUL, as strcmp sees it
        std::free(word);
        *out = AseToken{last.data(), last.size()};
        return 1;
    }
    int scan(const char* format, ...)
    {
        va_list args;
        va_start(args, format);
        const int r = std::vfscanf(file, format, args);
        va_end(args);
        return r < 0 ? 0 : r;
    }
    int quoted(char* field, size_t capacity)
    {
        char* word = nullptr;
        if (std::fscanf(file, " \"%ms", &word) != 1) return 0;
        size_t n = std::strlen(word);
        n = n > 0 ? n - 1 : 0;
        if (n > capacity - 1) n = capacity - 1;
        std::memcpy(field, word, n);
        field[n] = '\0';
        std::free(word);
        return 1;
    }
    void skipLine()
    {
        char line[ASE_LINE_LIMIT];
        if (std::fgets(line, ASE_LINE_LIMIT, file) == nullptr) return;
    }
    int seekNth(AseKeyword which, int n)
    {
        rewind();
        int seen = 0;
        AseToken t{};
        while (!eof() && token(&t))
            if (aseKeyword(t) == which && seen++ == n) return 1;
        return 0;
    }
    void countKeys(int* pos, int* rot)
    {
        *pos = 0;
        *rot = 0;
        AseToken t{};
        token(&t);
        while (!eof() && token(&t)) {
            const AseKeyword k = aseKeyword(t);
            if (aseOpensNode(k)) break;
            if (aseIsPosKey(k)) ++*pos;
            if (aseIsRotKey(k)) ++*rot;
        }
    }
};

// A FILE over a copy of bytes (fmemopen wants at least one byte; an empty
// input is a temporary file).
struct MemFile {
    std::string copy;
    FILE* file = nullptr;
    explicit MemFile(const std::string& bytes) : copy(bytes)
    {
        if (copy.empty()) file = std::tmpfile();
        else file = fmemopen(&copy[0], copy.size(), "r");
    }
    ~MemFile()
    {
        if (file) std::fclose(file);
    }
};

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The same bytes behind the memory stream and a FILE.
struct BothStreams {
    MemFile file;
    AseMemoryStream mem;
    StdioStream ref;
    explicit BothStreams(const std::string& bytes) : file(bytes)
    {
        mem.open(file.copy.data(), file.copy.size());
        ref.file = file.file;
        ref.bytes = bytes.size();
    }
};

// The targets of one formatted read on each stream, for conversions of the
// given kinds ('i' int, 'f' float), preset to a value no read gives.
constexpr int MAX_SCAN_TARGETS = 10;
struct ScanTargets {
    int ia[MAX_SCAN_TARGETS], ib[MAX_SCAN_TARGETS];
    float fa[MAX_SCAN_TARGETS], fb[MAX_SCAN_TARGETS];
    void* pa[MAX_SCAN_TARGETS] = {};
    void* pb[MAX_SCAN_TARGETS] = {};
    size_t count = 0;
    explicit ScanTargets(const std::string& kinds) : count(kinds.size())
    {
        for (int k = 0; k < MAX_SCAN_TARGETS; ++k) {
            ia[k] = ib[k] = -77;
            fa[k] = fb[k] = -77.0f;
        }
        for (size_t k = 0; k < count; ++k) {
            pa[k] = kinds[k] == 'i' ? static_cast<void*>(&ia[k]) : static_cast<void*>(&fa[k]);
            pb[k] = kinds[k] == 'i' ? static_cast<void*>(&ib[k]) : static_cast<void*>(&fb[k]);
        }
    }
};

// Both reads stored the same values, floats bit for bit.
void expectSameValues(const ScanTargets& t)
{
    for (size_t k = 0; k < t.count; ++k) {
        ASSERT_EQ(t.ia[k], t.ib[k]) << "value " << k;
        ASSERT_TRUE(sameBits(t.fa[k], t.fb[k])) << "value " << k << ": " << t.fa[k] << " vs " << t.fb[k];
    }
}

// Formats the readers use, with the kinds of their targets ('i' int, 'f' float).
struct FormatCase {
    const char* format;
    const char* targets;
};
const FormatCase formats[] = {
    {"%d", "i"},
    {"%i", "i"},
    {"%f", "f"},
    {"%d:", "i"},
    {"%f %f %f", "fff"},
    {"%f %f", "ff"},
    {" %f", "f"},
    {" %f\t%f\t%f", "fff"},
    {"\t%f\t%f\t%f", "fff"},
    {"\t%f\t%f\t%f\t%f", "ffff"},
    {"%d %d %d", "iii"},
    {ASE_FACE_FORM, "iiiiiiii"},
    {ASE_TEN_VALUE_FORM, "fffffffffi"},
};

// Random text from characters that matter to the scanner, with pieces of the
// formats' literals so that long matches happen too.
std::string randomText(std::mt19937& rng, size_t maxLength)
{
    static const char* pieces[] = {" ", "\t", "\n", "\r\n", "0", "1", "7", "9", ".", "-", "+", "e", "E", "x", "X",
                                   "p", "a", "f", "i", "n", "t", "y", ":", "\"", "*", "A:", "B:", "C:", "AB:", "BC:",
                                   "CA:", "*MESH_SMOOTHING", "*MESH_MTLID", "0x1f", "1.5", "-0.25", "nan", "inf",
                                   "infinity", "1e5", "99999999999", "\v", "\f", "(NUL)"};
    std::string text;
    std::uniform_int_distribution<size_t> length(0, maxLength);
    std::uniform_int_distribution<size_t> pick(0, sizeof pieces / sizeof pieces[0] - 1);
    const size_t n = length(rng);
    while (text.size() < n) {
        const size_t p = pick(rng);
        if (p == sizeof pieces / sizeof pieces[0] - 1) text.push_back('\0');
        else text += pieces[p];
    }
    return text;
}

// Runs one random operation on both streams and compares everything it left.
void compareOneOperation(std::mt19937& rng, AseMemoryStream& mem, StdioStream& ref, const std::string& input,
                         std::vector<std::pair<size_t, fpos_t>>& marks)
{
    std::uniform_int_distribution<int> op(0, 9);
    const int o = op(rng);
    SCOPED_TRACE("operation " + std::to_string(o));
    if (o <= 2) {
        AseToken a{}, b{};
        const int ra = mem.token(&a);
        const int rb = ref.token(&b);
        ASSERT_EQ(ra, rb);
        if (ra) {
            ASSERT_EQ(std::string(a.text, a.length), std::string(b.text, b.length));
        }
    } else if (o <= 6) {
        std::uniform_int_distribution<size_t> pick(0, sizeof formats / sizeof formats[0] - 1);
        const FormatCase& f = formats[pick(rng)];
        SCOPED_TRACE(std::string("format ") + f.format);
        ScanTargets t(f.targets);
        void* const* pa = t.pa;
        void* const* pb = t.pb;
        const int ra = mem.scan(f.format, pa[0], pa[1], pa[2], pa[3], pa[4], pa[5], pa[6], pa[7], pa[8], pa[9]);
        const int rb = ref.scan(f.format, pb[0], pb[1], pb[2], pb[3], pb[4], pb[5], pb[6], pb[7], pb[8], pb[9]);
        ASSERT_EQ(ra, rb);
        expectSameValues(t);
    } else if (o == 7) {
        char a[ASE_MATERIAL_NAME_SIZE], b[ASE_MATERIAL_NAME_SIZE];
        std::memset(a, 'z', sizeof a);
        std::memset(b, 'z', sizeof b);
        a[sizeof a - 1] = b[sizeof b - 1] = '\0';
        ASSERT_EQ(mem.quoted(a, sizeof a), ref.quoted(b, sizeof b));
        ASSERT_STREQ(a, b);
    } else if (o == 8) {
        mem.skipLine();
        ref.skipLine();
    } else {
        if (!marks.empty() && (rng() & 1)) {
            const auto& m = marks[rng() % marks.size()];
            mem.seek(m.first);
            ref.seek(m.second);
        } else {
            marks.emplace_back(mem.tell(), ref.tell());
        }
    }
    ASSERT_EQ(mem.eof(), ref.eof()) << "end-of-file indicator";
    ASSERT_EQ(static_cast<long>(mem.tell()), std::ftell(ref.file)) << "position";
    (void)input;
}

}  // namespace

// Number reads at the edges where the C library consumes characters without
// a result, accepts a prefix, or sets the end-of-file indicator.
TEST(AseScan, NumberEdgesMatchTheCLibrary)
{
    const char* inputs[] = {"1.2.3", "1e5.3", ".", " -x", "+.", "-.e1", "0x ", "0xg", "0x.p1", "0x1p", "0x1p+3z",
                            "1e", "1e+", "1e+x", "100ergs", "nan(12)", "nax", "infin", "infinity!", "infix", "-inf",
                            "INF", "0x1.8p1", "1.5E-3", "-0", "08", "0.", "5.e3", "0xe", "0x1e+3", "e5", ".5", "-",
                            "4294967297", "99999999999999999999", "-99999999999999999999", "2147483648", "010",
                            "1.00000001", "3.4028236e38", "1e-50", "123456789.123", "16777217", "0.1234567891",
                            "  \n\t 42", "", "   "};
    for (const char* f : {"%d", "%i", "%f"}) {
        for (const char* input : inputs) {
            SCOPED_TRACE(std::string(f) + " on \"" + input + "\"");
            BothStreams both(input);
            AseMemoryStream& mem = both.mem;
            StdioStream& ref = both.ref;
            int ia = -77, ib = -77;
            float fa = -77.0f, fb = -77.0f;
            const bool isFloat = f[1] == 'f';
            const int ra = isFloat ? mem.scan(f, &fa) : mem.scan(f, &ia);
            const int rb = isFloat ? ref.scan(f, &fb) : ref.scan(f, &ib);
            EXPECT_EQ(ra, rb);
            EXPECT_EQ(ia, ib);
            EXPECT_TRUE(sameBits(fa, fb)) << fa << " vs " << fb;
            EXPECT_EQ(mem.eof(), ref.eof());
            EXPECT_EQ(static_cast<long>(mem.tell()), std::ftell(ref.file));
        }
    }
}

// Random inputs and random sequences of reads: after every read both streams agree.
TEST(AseScan, RandomReadSequencesMatchTheCLibrary)
{
    std::mt19937 rng(20240611u);
    for (int round = 0; round < 3000; ++round) {
        const std::string input = randomText(rng, round % 10 == 0 ? 700 : 60);
        SCOPED_TRACE("round " + std::to_string(round));
        BothStreams both(input);
        ASSERT_NE(both.file.file, nullptr);
        std::vector<std::pair<size_t, fpos_t>> marks;
        for (int step = 0; step < 30; ++step) {
            compareOneOperation(rng, both.mem, both.ref, input, marks);
            if (::testing::Test::HasFatalFailure()) return;
        }
    }
}

namespace {

// One read with a reader's form, compiled to steps on the memory stream and
// given as text to fscanf, on the same bytes: stored count, values,
// position and end-of-file indicator must agree.
template <const AseScanForm& F>
void compareCompiledForm(const std::string& input)
{
    SCOPED_TRACE(std::string("form ") + F.text);
    std::string kinds;
    for (int k = 0; k < F.count; ++k) {
        if (F.steps[k].kind == AseScanForm::LITERAL) continue;
        kinds += F.steps[k].kind == AseScanForm::FLOAT ? 'f' : 'i';
    }
    ASSERT_EQ(static_cast<int>(kinds.size()), F.conversions);
    ScanTargets t(kinds);
    BothStreams both(input);
    ASSERT_NE(both.file.file, nullptr);
    AseMemoryStream& mem = both.mem;
    StdioStream& ref = both.ref;
    void* const* pb = t.pb;
    const int ra = mem.scanSteps<F>(t.pa);
    const int rb = ref.scan(F.text, pb[0], pb[1], pb[2], pb[3], pb[4], pb[5], pb[6], pb[7], pb[8], pb[9]);
    ASSERT_EQ(ra, rb);
    expectSameValues(t);
    if (::testing::Test::HasFatalFailure()) return;
    ASSERT_EQ(mem.eof(), ref.eof()) << "end-of-file indicator";
    ASSERT_EQ(static_cast<long>(mem.tell()), std::ftell(ref.file)) << "position";
}

// Text the way exporters write a form's values, with random damage, so that
// reads get deep into the forms as well as failing early.
std::string formLikeText(std::mt19937& rng, const AseScanForm& form)
{
    static const char* numbers[] = {"0", "1", "-3", "17", "0.0000", "-0.9210", "12.5", "0x1f", "010", "1e3", "-",
                                    ".5", "5.", "16777217", "99999999999999999999", "nan", "0.12345678901", "+7"};
    std::string text;
    for (int k = 0; k < form.count; ++k) {
        const AseScanForm::Step& step = form.steps[k];
        text += rng() % 2 ? "\t" : "    ";
        if (step.kind == AseScanForm::LITERAL) text.append(form.literals + step.start, step.length);
        else text += numbers[rng() % (sizeof numbers / sizeof numbers[0])];
    }
    if (rng() % 2) text += "\n";
    if (!text.empty() && rng() % 3 == 0) {
        const size_t at = rng() % text.size();
        if (rng() % 2) text.resize(at);
        else text[at] = " :x.-9A"[rng() % 7];
    }
    return text;
}

template <const AseScanForm& F>
void compareCompiledFormOnRandomText(std::mt19937& rng)
{
    for (int round = 0; round < 400; ++round) {
        compareCompiledForm<F>(round % 4 == 0 ? randomText(rng, 80) : formLikeText(rng, F));
        if (::testing::Test::HasFatalFailure()) return;
    }
}

}  // namespace

// The readers' forms, compiled to straight-line steps, read what fscanf reads
// with the form's text: on text written as the form expects, cut short or
// damaged, and on random text.
TEST(AseScan, CompiledReaderFormsMatchTheCLibrary)
{
    std::mt19937 rng(5150u);
    compareCompiledFormOnRandomText<ASE_SCAN_DECIMAL>(rng);
    compareCompiledFormOnRandomText<ASE_SCAN_INTEGER>(rng);
    compareCompiledFormOnRandomText<ASE_SCAN_INDEX_COLON>(rng);
    compareCompiledFormOnRandomText<ASE_SCAN_THREE>(rng);
    compareCompiledFormOnRandomText<ASE_SCAN_TWO>(rng);
    compareCompiledFormOnRandomText<ASE_SCAN_THREE_INDICES>(rng);
    compareCompiledFormOnRandomText<ASE_SCAN_ONE_AFTER_SPACE>(rng);
    compareCompiledFormOnRandomText<ASE_SCAN_COLOUR>(rng);
    compareCompiledFormOnRandomText<ASE_SCAN_POSITION_SAMPLE>(rng);
    compareCompiledFormOnRandomText<ASE_SCAN_ROTATION_SAMPLE>(rng);
    compareCompiledFormOnRandomText<ASE_SCAN_FACE>(rng);
    compareCompiledFormOnRandomText<ASE_SCAN_TEN_VALUES>(rng);
}

// A skipped line takes at most 254 characters: the rest of a longer line is
// read as tokens, and a line that ends the file sets the indicator.
TEST(AseScan, LineSkipStopsAfter254Characters)
{
    const std::string longLine = std::string(254, 'a') + "*GEOMOBJECT\nnext";
    AseMemoryStream mem;
    mem.open(longLine.data(), longLine.size());
    mem.skipLine();
    EXPECT_EQ(mem.tell(), 254u);
    AseToken t{};
    ASSERT_TRUE(mem.token(&t));
    EXPECT_EQ(aseKeyword(t), ASE_KW_GEOMOBJECT);

    const std::string shortTail = "abc";
    mem.open(shortTail.data(), shortTail.size());
    mem.skipLine();
    EXPECT_EQ(mem.eof(), 1);
    const std::string exact = std::string(254, 'b');
    mem.open(exact.data(), exact.size());
    mem.skipLine();
    EXPECT_EQ(mem.eof(), 0) << "254 characters read, the end not yet seen";
}

// Keywords compare as C strings: a NUL ends the token, case and suffixes matter.
TEST(AseScan, KeywordsCompareAsCStrings)
{
    struct Case {
        std::string text;
        AseKeyword keyword;
    };
    const Case cases[] = {
        {"*GEOMOBJECT", ASE_KW_GEOMOBJECT},
        {std::string("*GEOMOBJECT\0junk", 16), ASE_KW_GEOMOBJECT},
        {"*geomobject", ASE_KW_NONE},
        {"*MESH_FACE", ASE_KW_MESH_FACE},
        {"*MESH_FACENORMAL", ASE_KW_MESH_FACENORMAL},
        {"*MESH_FACEX", ASE_KW_NONE},
        {"*MATERIAL", ASE_KW_MATERIAL},
        {"*MATERIAL_NAME", ASE_KW_MATERIAL_NAME},
        {"MATERIAL", ASE_KW_NONE},
        {"*", ASE_KW_NONE},
        {std::string("\0*GEOMOBJECT", 12), ASE_KW_NONE},
    };
    for (const Case& c : cases) {
        AseMemoryStream mem;
        mem.open(c.text.data(), c.text.size());
        AseToken t{};
        ASSERT_TRUE(mem.token(&t));
        EXPECT_EQ(aseKeyword(t), c.keyword) << c.text;
    }
    for (int k = ASE_KW_NONE + 1; k < ASE_KW_COUNT; ++k) {
        const char* text = aseKeywordText(static_cast<AseKeyword>(k));
        EXPECT_EQ(aseKeyword(AseToken{text, std::strlen(text)}), k) << text;
    }
}

namespace {

// Reads bytes through both streams and compares the scenes.
void compareWholeScene(const std::string& bytes, const std::string& what)
{
    SCOPED_TRACE(what);
    AseScene fast{};
    ASSERT_EQ(loadAseSceneFromMemory(bytes.data(), bytes.size(), &fast), 1);
    MemFile file(bytes);
    ASSERT_NE(file.file, nullptr);
    StdioStream ref;
    ref.file = file.file;
    ref.bytes = bytes.size();
    AseScene slow{};
    readAseScene(ref, &slow);
    expectSameScene(fast, slow);
    freeAseScene(&fast);
    freeAseScene(&slow);
}

std::string readText(const std::string& path)
{
    const std::vector<unsigned char> raw = readBinaryFile(path);
    return std::string(raw.begin(), raw.end());
}

}  // namespace

// Every corpus file, read in memory and by rewinding passes over a FILE, gives the same scene.
TEST(AseScan, CorpusScenesMatchTheRewindingReader)
{
    REQUIRE_CORPUS();
    const std::vector<std::string> files = listFiles(corpusDir() + "/ase");
    ASSERT_FALSE(files.empty());
    for (const std::string& path : files) compareWholeScene(readText(path), path);
}

// Damaged copies of corpus files (lines cut, bytes changed, tokens glued
// together) give the same scene through both readers.
TEST(AseScan, DamagedScenesMatchTheRewindingReader)
{
    REQUIRE_CORPUS();
    std::vector<std::string> sources;
    for (const std::string& path : listFiles(corpusDir() + "/ase")) {
        const std::string text = readText(path);
        if (!text.empty() && text.size() < 60000) sources.push_back(text);
    }
    ASSERT_FALSE(sources.empty());
    std::mt19937 rng(77u);
    const char junk[] = " \t\n*:\"0123456789.-x{}";
    for (int round = 0; round < 120; ++round) {
        std::string text = sources[static_cast<size_t>(round) % sources.size()];
        const int edits = 1 + static_cast<int>(rng() % 40);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            const size_t at = rng() % text.size();
            switch (rng() % 4) {
            case 0: text[at] = junk[rng() % (sizeof junk - 1)]; break;
            case 1: text.erase(at, 1 + rng() % 30); break;
            case 2: text.insert(at, text.substr(rng() % text.size(), 1 + rng() % 200)); break;
            default: text.resize(at); break;
            }
        }
        compareWholeScene(text, "damaged copy " + std::to_string(round));
        if (::testing::Test::HasFatalFailure()) return;
    }
}

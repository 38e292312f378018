#include "brindle/objreader/ObjReader.h"

#include <gtest/gtest.h>

#include "support/TempFile.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

namespace {

// An open reader over a file; closes it at the end of the scope.
class Reader {
public:
    explicit Reader(const char* path) : parser_(PARSE_init(path)) {
        status_ = parser_ ? parser_->initFile(parser_, path, 0, nullptr) : -1;
    }
    ~Reader() {
        if (parser_) parser_->close(parser_);
    }
    int status() const { return status_; }
    TobjCommand* next() { return parser_->command(parser_); }
    int line() const { return parser_->lineNumber; }

private:
    TobjParser* parser_;
    int status_;
};

// The codes of every command of a text, in order.
std::vector<int> codesOf(const std::string& text) {
    TempFile file(text);
    Reader r(file.path());
    std::vector<int> codes;
    while (TobjCommand* c = r.next()) codes.push_back(c->code);
    return codes;
}

TEST(ObjReader, CoordinatesAndFaceForms) {
    TempFile file(
        "# comment\n\n   \t\nv 1 2.5 -3e2\nvt 0.25\nvn 0 0 1 \nvp 0.5 0.75\n"
        "f 1 2 3\nf 1/2 2/3 3/4\nf 1//4 2//5 3//6\nf -1/-2/-3 -4/-5/-6 -7/-8/-9 10/11/12\n"
        "fo 4/ 5/ 6/\nf 1/2/ 3/4/ 5/6/\n");
    Reader r(file.path());
    ASSERT_EQ(0, r.status());
    TobjCommand* c = r.next();
    ASSERT_EQ(OBJ_CMD_V, c->code);
    ASSERT_EQ(3, c->as.floats.count);
    EXPECT_EQ(1.0f, c->as.floats.values[0]);
    EXPECT_EQ(2.5f, c->as.floats.values[1]);
    EXPECT_EQ(-300.0f, c->as.floats.values[2]);
    EXPECT_EQ(4, r.line());
    c = r.next();
    ASSERT_EQ(OBJ_CMD_VT, c->code);
    EXPECT_EQ(1, c->as.floats.count);
    c = r.next();
    ASSERT_EQ(OBJ_CMD_VN, c->code);
    EXPECT_EQ(3, c->as.floats.count);
    c = r.next();
    ASSERT_EQ(OBJ_CMD_VP, c->code);
    EXPECT_EQ(0.75f, c->as.floats.values[1]);

    c = r.next();
    ASSERT_EQ(OBJ_CMD_F, c->code);
    EXPECT_EQ(3, c->as.face.count);
    EXPECT_EQ(3, c->as.face.vertices[2]);
    EXPECT_EQ(0, c->as.face.reserved);
    EXPECT_EQ(nullptr, c->as.face.textures);
    EXPECT_EQ(nullptr, c->as.face.normals);
    c = r.next();
    ASSERT_NE(nullptr, c->as.face.textures);
    EXPECT_EQ(nullptr, c->as.face.normals);
    EXPECT_EQ(4, c->as.face.textures[2]);
    c = r.next();
    EXPECT_EQ(nullptr, c->as.face.textures);
    ASSERT_NE(nullptr, c->as.face.normals);
    EXPECT_EQ(6, c->as.face.normals[2]);
    c = r.next();  // negative indices pass through as written
    ASSERT_EQ(4, c->as.face.count);
    EXPECT_EQ(-7, c->as.face.vertices[2]);
    EXPECT_EQ(-8, c->as.face.textures[2]);
    EXPECT_EQ(-9, c->as.face.normals[2]);
    EXPECT_EQ(12, c->as.face.normals[3]);
    c = r.next();  // a single trailing slash is dropped
    ASSERT_EQ(OBJ_CMD_FO, c->code);
    EXPECT_EQ(nullptr, c->as.face.textures);
    EXPECT_EQ(6, c->as.face.vertices[2]);
    c = r.next();
    ASSERT_NE(nullptr, c->as.face.textures);
    EXPECT_EQ(nullptr, c->as.face.normals);
    EXPECT_EQ(6, c->as.face.textures[2]);
    EXPECT_EQ(nullptr, r.next());
    EXPECT_EQ(nullptr, r.next());
}

TEST(ObjReader, MalformedLinesAreErrorsAndReadingGoesOn) {
    // Too few arguments for each checked command, mixed face forms, then one good line.
    const char* bad[] = {"v 1 2",
                         "vt",
                         "vn 1 2",
                         "vp",
                         "f 1 2",
                         "fo 1 2",
                         "usemtl",
                         "mtllib",
                         "s",
                         "cstype",
                         "deg",
                         "step",
                         "bmat",
                         "parm",
                         "curv2",
                         "curv3",
                         "curv 0 1 2",
                         "surf 0 1 2 3 4",
                         "trim 0 1",
                         "scrv 0 1",
                         "hole 0 1",
                         "con 1 2 3 4 5 6 7",
                         "con 1 2 3 4 5 6 7 8 9 10",
                         "stech",
                         "ctech",
                         "f 1/1 2/2 3",
                         "f 1//1 2/2 3//3",
                         "f 1 2 3/3",
                         "f 1/2/3 1/2 1/2/3"};
    std::string text;
    for (const char* line : bad) text += std::string(line) + "\n";
    text += "v 1 2 3\n";
    const std::vector<int> codes = codesOf(text);
    ASSERT_EQ(std::size(bad) + 1, codes.size());
    for (std::size_t i = 0; i < std::size(bad); ++i) EXPECT_EQ(OBJ_ERR_MALFORMED, codes[i]) << bad[i];
    EXPECT_EQ(OBJ_CMD_V, codes.back());
    EXPECT_EQ(OBJ_ERR_MALFORMED, PARSE_last_error());
}

TEST(ObjReader, SkippedLinesYieldNothing) {
    EXPECT_TRUE(codesOf("# only\n\n#\n   \n\t\t\n").empty());
    EXPECT_TRUE(codesOf("").empty());
    // Comments, '$' lines, unknown keywords, and the keywords that are read but not returned.
    EXPECT_TRUE(codesOf("l 1 2\np 1\no obj\nmg 1 2\nnewmtl m\nKa 1 1 1\nKd 1 1 1\nillum 2\n"
                        "v 1 2 3 $\n  # indented comment\nfoo 1 2 3\nV 1 2 3\ninst 1\nnp 2\n"
                        ", v 1 2 3\nlod 3\nres 4 4\n")
                    .empty());
    // Commas that begin a token are separators.
    TempFile file("f 1 ,2 , 3\n");
    Reader r(file.path());
    TobjCommand* c = r.next();
    ASSERT_EQ(OBJ_CMD_F, c->code);
    ASSERT_EQ(3, c->as.face.count);
    EXPECT_EQ(2, c->as.face.vertices[1]);
    EXPECT_EQ(3, c->as.face.vertices[2]);
}

TEST(ObjReader, JoinedLinesAndLineEnds) {
    TempFile file("f 1 2 \\\n 3 4\\\n5\r\nv 1 2 3\r\n# comment ends in a backslash \\\nvt 7\nv 4 5 6");
    Reader r(file.path());
    TobjCommand* c = r.next();
    ASSERT_EQ(OBJ_CMD_F, c->code);
    ASSERT_EQ(5, c->as.face.count);
    EXPECT_EQ(4, c->as.face.vertices[3]);
    EXPECT_EQ(5, c->as.face.vertices[4]);
    EXPECT_EQ(3, r.line());
    c = r.next();
    ASSERT_EQ(OBJ_CMD_V, c->code);
    EXPECT_EQ(3.0f, c->as.floats.values[2]);
    c = r.next();
    ASSERT_EQ(OBJ_CMD_VT, c->code);
    EXPECT_EQ(6, r.line());
    c = r.next();  // the last line lacks its line end
    ASSERT_NE(nullptr, c);
    ASSERT_EQ(OBJ_CMD_V, c->code);
    EXPECT_EQ(6.0f, c->as.floats.values[2]);
    EXPECT_EQ(7, r.line());
    EXPECT_EQ(nullptr, r.next());

    EXPECT_EQ(std::vector<int>({OBJ_CMD_V, OBJ_ERR_MALFORMED}), codesOf("v 1 2 3\nf 1 2 3 \\\n"));
    EXPECT_EQ(std::vector<int>({OBJ_ERR_MALFORMED}), codesOf("f 1 2 3 \\"));
}

TEST(ObjReader, TextGroupsAndSmoothing) {
    const std::string longName(200, 'n');
    TempFile file("usemtl red\nmtllib a.mtl b.mtl\ng left right\ng\ng " + longName + "\ns off\ns 0\ns 4\n");
    Reader r(file.path());
    TobjCommand* c = r.next();
    ASSERT_EQ(OBJ_CMD_USEMTL, c->code);
    EXPECT_STREQ("red", c->as.text.text);
    c = r.next();
    ASSERT_EQ(OBJ_CMD_MTLLIB, c->code);
    EXPECT_STREQ("a.mtl", c->as.text.text);
    c = r.next();
    ASSERT_EQ(OBJ_CMD_G, c->code);
    ASSERT_EQ(2, c->as.groups.count);
    EXPECT_STREQ("left", c->as.groups.names[0]);
    EXPECT_STREQ("right", c->as.groups.names[1]);
    c = r.next();
    EXPECT_EQ(0, c->as.groups.count);
    c = r.next();
    ASSERT_EQ(1, c->as.groups.count);
    EXPECT_EQ(longName.substr(0, OBJ_GROUP_NAME_CHARS), c->as.groups.names[0]);
    for (int expected : {0, 0, 4}) {
        c = r.next();
        ASSERT_EQ(OBJ_CMD_S, c->code);
        EXPECT_EQ(expected, c->as.smoothing.group);
        EXPECT_STREQ(expected ? "" : "off", c->as.smoothing.text);
    }

    std::string many = "g";
    for (int i = 0; i < OBJ_MAX_GROUPS; ++i) many += " g" + std::to_string(i);
    testing::internal::CaptureStdout();
    const std::vector<int> codes = codesOf(many + "\n" + many + " extra\n");
    EXPECT_EQ("Number of shared groups has exceeded maximum for parser.\n", testing::internal::GetCapturedStdout());
    EXPECT_EQ(std::vector<int>({OBJ_CMD_G, OBJ_ERR_MALFORMED}), codes);
}

TEST(ObjReader, FreeFormCommands) {
    TempFile file(
        "cstype bspline\ncstype rat bezier\ndeg 3\ndeg 300 -129\nstep 70000 9\n"
        "bmat u 1 2 3\nbmat v 4\nparm u 0 0.5 1\nparm v\ncurv2 1 2 3\ncurv3 4 5\n"
        "con 1 0.5 0.75 2 3 0.25 1 4\ncurv 0 1 7 8\nsurf 0 1 2 3 1/2 3/4/5\n"
        "trim 0 1 7 2 3 8\nhole 0/4 1/5 7/9\nscrv 0 1\n"
        "stech cparm 2.5\nctech curv 0.5 3\nctech imp 4 5\nctech bogus 1\nend\n");
    Reader r(file.path());
    TobjCommand* c = r.next();
    ASSERT_EQ(OBJ_CMD_CSTYPE, c->code);
    EXPECT_STREQ("bspline", c->as.curveType.type);
    EXPECT_EQ(0, c->as.curveType.rational);
    c = r.next();
    EXPECT_STREQ("bezier", c->as.curveType.type);
    EXPECT_EQ(1, c->as.curveType.rational);
    c = r.next();
    ASSERT_EQ(OBJ_CMD_DEG, c->code);
    EXPECT_EQ(0, c->as.uv.hasV);
    EXPECT_EQ(3, c->as.uv.u);
    c = r.next();  // degrees wrap to signed 8 bits
    EXPECT_EQ(1, c->as.uv.hasV);
    EXPECT_EQ(44, c->as.uv.u);
    EXPECT_EQ(127, c->as.uv.v);
    c = r.next();  // the u step wraps to signed 16 bits, the v step does not
    ASSERT_EQ(OBJ_CMD_STEP, c->code);
    EXPECT_EQ(4464, c->as.uv.u);
    EXPECT_EQ(9, c->as.uv.v);
    c = r.next();
    ASSERT_EQ(OBJ_CMD_BMAT, c->code);
    EXPECT_EQ(1, c->as.basis.direction);
    ASSERT_EQ(3, c->as.basis.count);
    EXPECT_EQ(3.0f, c->as.basis.values[2]);
    c = r.next();
    EXPECT_EQ(2, c->as.basis.direction);
    EXPECT_EQ(1, c->as.basis.count);
    c = r.next();
    ASSERT_EQ(OBJ_CMD_PARM, c->code);
    EXPECT_EQ(1, c->as.parameters.direction);
    ASSERT_EQ(3, c->as.parameters.count);
    EXPECT_EQ(0.5f, c->as.parameters.values[1]);
    c = r.next();
    EXPECT_EQ(2, c->as.parameters.direction);
    EXPECT_EQ(0, c->as.parameters.count);
    c = r.next();
    ASSERT_EQ(OBJ_CMD_CURV2, c->code);
    ASSERT_EQ(3, c->as.curve2.count);
    EXPECT_EQ(3, c->as.curve2.indices[2]);
    c = r.next();
    ASSERT_EQ(OBJ_CMD_CURV3, c->code);
    ASSERT_EQ(2, c->as.curve3.count);
    EXPECT_EQ(5, c->as.curve3.indices[1]);
    c = r.next();  // tokens in the order surface, q0, q1, curve for each side
    ASSERT_EQ(OBJ_CMD_CON, c->code);
    EXPECT_EQ(1, c->as.connect.surface1);
    EXPECT_EQ(3, c->as.connect.surface2);
    EXPECT_EQ(2, c->as.connect.curve1);
    EXPECT_EQ(4, c->as.connect.curve2);
    EXPECT_EQ(0.5f, c->as.connect.q0First);
    EXPECT_EQ(0.75f, c->as.connect.q1First);
    EXPECT_EQ(0.25f, c->as.connect.q0Second);
    EXPECT_EQ(1.0f, c->as.connect.q1Second);
    c = r.next();
    ASSERT_EQ(OBJ_CMD_CURV, c->code);
    EXPECT_EQ(1.0f, c->as.curve.u1);
    ASSERT_EQ(2, c->as.curve.count);
    EXPECT_EQ(8, c->as.curve.indices[1]);
    c = r.next();
    ASSERT_EQ(OBJ_CMD_SURF, c->code);
    EXPECT_EQ(3.0f, c->as.surface.t1);
    ASSERT_EQ(2, c->as.surface.count);
    EXPECT_EQ(1, c->as.surface.indices[0]);
    EXPECT_EQ(3, c->as.surface.indices[1]);
    c = r.next();
    ASSERT_EQ(OBJ_CMD_TRIM, c->code);
    EXPECT_EQ(0, c->as.trim.paired);
    ASSERT_EQ(2, c->as.trim.count);
    EXPECT_EQ(3.0f, c->as.trim.params[3]);
    EXPECT_EQ(8, c->as.trim.curves[1]);
    EXPECT_EQ(nullptr, c->as.trim.params2);
    EXPECT_EQ(nullptr, c->as.trim.curves2);
    c = r.next();
    ASSERT_EQ(OBJ_CMD_HOLE, c->code);
    EXPECT_EQ(1, c->as.trim.paired);
    ASSERT_EQ(1, c->as.trim.count);
    EXPECT_EQ(1.0f, c->as.trim.params[1]);
    ASSERT_NE(nullptr, c->as.trim.params2);
    EXPECT_EQ(4.0f, c->as.trim.params2[0]);
    EXPECT_EQ(5.0f, c->as.trim.params2[1]);
    EXPECT_EQ(7, c->as.trim.curves[0]);
    EXPECT_EQ(9, c->as.trim.curves2[0]);
    EXPECT_EQ(OBJ_ERR_MALFORMED, r.next()->code);
    c = r.next();
    ASSERT_EQ(OBJ_CMD_STECH, c->code);
    EXPECT_STREQ("stech", c->as.technique.keyword);
    EXPECT_EQ(3, c->as.technique.technique);
    EXPECT_EQ(0, c->as.technique.hasSecond);
    EXPECT_EQ(2.5f, c->as.technique.value1);
    c = r.next();
    ASSERT_EQ(OBJ_CMD_CTECH, c->code);
    EXPECT_EQ(4, c->as.technique.technique);
    EXPECT_EQ(1, c->as.technique.hasSecond);
    EXPECT_EQ(3.0f, c->as.technique.value2);
    c = r.next();
    EXPECT_EQ(6, c->as.technique.technique);
    EXPECT_EQ(0.0f, c->as.technique.value1);
    EXPECT_EQ(0.0f, c->as.technique.value2);
    c = r.next();  // an unknown technique keeps the code already in the record
    EXPECT_EQ(6, c->as.technique.technique);
    EXPECT_EQ(1.0f, c->as.technique.value1);
    EXPECT_EQ(OBJ_CMD_END, r.next()->code);
    EXPECT_EQ(nullptr, r.next());
}

TEST(ObjReader, NumbersReadAsTheCRuntimeReadsThem) {
    TempFile file(
        "v +1.5 abc 1e999 -1e999 1e-999 12abc inf 0.1\nf -2147483648 2147483647 7x\n"
        "f 1 2 2147483648\nf 1 -99999999999999999999 3\n");
    Reader r(file.path());
    TobjCommand* c = r.next();
    ASSERT_EQ(8, c->as.floats.count);
    const float* v = c->as.floats.values;
    EXPECT_EQ(1.5f, v[0]);
    EXPECT_EQ(0.0f, v[1]);
    EXPECT_TRUE(std::isinf(v[2]) && v[2] > 0);
    EXPECT_TRUE(std::isinf(v[3]) && v[3] < 0);
    EXPECT_EQ(0.0f, v[4]);
    EXPECT_EQ(12.0f, v[5]);
    EXPECT_TRUE(std::isinf(v[6]));
    EXPECT_EQ(float(0.1), v[7]);
    c = r.next();
    EXPECT_EQ(-2147483647 - 1, c->as.face.vertices[0]);
    EXPECT_EQ(2147483647, c->as.face.vertices[1]);
    EXPECT_EQ(7, c->as.face.vertices[2]);
    // Face indices beyond int are refused, naming the corner and the number as written.
    for (const char* written : {"2147483648", "-99999999999999999999"}) {
        EXPECT_EQ(OBJ_ERR_MALFORMED, r.next()->code);
        const TobjErrorDetail& d = *PARSE_error_detail();
        EXPECT_EQ(OBJ_WHY_INDEX_RANGE, d.why);
        EXPECT_EQ(OBJ_CMD_F, d.keyword);
        EXPECT_EQ(written[0] == '-' ? 2 : 3, d.token);
        EXPECT_STREQ(written, d.text);
    }
}

TEST(ObjReader, ErrorDetailsTextEncodingsAndComments) {
    // What each refusal expected, and the command it was in.
    TempFile file("f 1 2\nv 1 2\nf 1/2 3 4\ncon 1 2 3\nf 1 2 3 # a comment, not corners\nv 1 2 3 #\n");
    Reader r(file.path());
    struct Expected {
        int why, keyword;
        const char* message;
    };
    const Expected expected[] = {
        {OBJ_WHY_FEW_VALUES, OBJ_CMD_F, "f needs at least 3 corners, found 2"},
        {OBJ_WHY_FEW_VALUES, OBJ_CMD_V, "v needs at least 3 values, found 2"},
        {OBJ_WHY_CORNER_FORM, OBJ_CMD_F, "corner 2 is written v, but the first corner v/vt (one form per face)"},
        {OBJ_WHY_VALUE_COUNT, OBJ_CMD_CON, "con needs 8 or 11 values, found 3"},
    };
    for (const Expected& e : expected) {
        ASSERT_EQ(OBJ_ERR_MALFORMED, r.next()->code) << e.message;
        EXPECT_EQ(e.why, PARSE_error_detail()->why);
        EXPECT_EQ(e.keyword, PARSE_error_detail()->keyword);
        EXPECT_STREQ(e.message, PARSE_error_detail()->message);
    }
    TobjCommand* c = r.next();
    ASSERT_EQ(OBJ_CMD_F, c->code);
    EXPECT_EQ(3, c->as.face.count);
    c = r.next();
    ASSERT_EQ(OBJ_CMD_V, c->code);
    EXPECT_EQ(3, c->as.floats.count);
    EXPECT_EQ(nullptr, r.next());

    // A UTF-8 byte-order mark is skipped; UTF-16 and CR-only text are reported once, at the start
    // (line 0), and reading then goes on.
    EXPECT_EQ(std::vector<int>({OBJ_CMD_V}), codesOf("\xEF\xBB\xBFv 1 2 3\n"));
    for (const std::string& text :
         {std::string("\xFF\xFEv\0 \0001\0", 9), std::string("\xFE\xFF\0v", 4), std::string("v 1 2 3\rv 4 5 6\r")}) {
        TempFile f(text);
        Reader encoded(f.path());
        ASSERT_EQ(OBJ_ERR_MALFORMED, encoded.next()->code);
        EXPECT_EQ(text[0] == 'v' ? OBJ_WHY_CR_ONLY : OBJ_WHY_UTF16, PARSE_error_detail()->why);
        EXPECT_EQ(-1, PARSE_error_detail()->keyword);
        EXPECT_EQ(0, encoded.line());
    }
    // Carriage returns that end lines (CR LF, or several before a LF) are no CR-only text.
    EXPECT_EQ(std::vector<int>({OBJ_CMD_V, OBJ_CMD_V}), codesOf("v 1 2 3\r\r\nv 4 5 6\r\n"));
}

TEST(ObjReader, OversizedLinesAndTokenCounts) {
    std::string text = "v";  // fits the line buffer: read whole
    int values = 0;
    for (; text.size() < 149000; ++values) text += " 1.25000000";
    text += "\nv " + std::string(1 << 20, '7') + "\n";  // a 1 MB line: an error, then on
    text += "# " + std::string(300000, 'c') + "\n";     // a long comment is still a comment
    std::string tokens = "f";                           // 25000 tokens with the keyword: the most a line may hold
    for (int i = 1; i < 25000; ++i) tokens += " 1";
    text += tokens + "\n" + tokens + " 1\nv 1 2 3\n";

    TempFile file(text);
    Reader r(file.path());
    TobjCommand* c = r.next();
    ASSERT_EQ(OBJ_CMD_V, c->code);
    ASSERT_EQ(values, c->as.floats.count);
    EXPECT_EQ(1.25f, c->as.floats.values[values - 1]);
    EXPECT_EQ(OBJ_ERR_MALFORMED, r.next()->code);
    EXPECT_EQ(2, r.line());
    c = r.next();
    ASSERT_EQ(OBJ_CMD_F, c->code);
    EXPECT_EQ(24999, c->as.face.count);
    EXPECT_EQ(OBJ_ERR_TOKENS, r.next()->code);
    c = r.next();
    ASSERT_EQ(OBJ_CMD_V, c->code);
    EXPECT_EQ(6, r.line());
    EXPECT_EQ(nullptr, r.next());
}

TEST(ObjReader, HandlesAndFiles) {
    Reader missing("/nonexistent/dir/none.obj");
    EXPECT_EQ(OBJ_ERR_OPEN, missing.status());
    EXPECT_EQ(nullptr, missing.next());

    // Every extension in the table, and an unknown one, gets a reader.
    for (const char* path :
         {"a.cxb", "a.cxc", "a.map", "a.lgt", "a.atm", "a.mtl", "a.rfl", "a.obj", "a.mod", "a.txt", "", "obj"}) {
        TobjParser* p = PARSE_init(path);
        ASSERT_NE(nullptr, p) << path;
        EXPECT_EQ(0, PARSE_last_error());
        EXPECT_EQ(parse_command_atok, p->command);
        EXPECT_EQ(nullptr, p->command(p));
        EXPECT_EQ(1, p->close(p));
    }

    // Two handles read in turn keep their own place in their files; options are copied.
    TempFile a("v 1 1 1\nv 2 2 2\n"), b("vt 5\nvt 6\n");
    TobjParser* pa = PARSE_init(a.path());
    TobjParser* pb = PARSE_open_atok();
    const char* options[] = {"-x", "-y"};
    ASSERT_EQ(0, pa->initFile(pa, a.path(), 2, options));
    ASSERT_EQ(0, pb->initFile(pb, b.path(), 0, nullptr));
    EXPECT_EQ(2, pa->optionCount);
    EXPECT_STREQ("-y", pa->options[1]);
    EXPECT_NE(options[1], pa->options[1]);
    EXPECT_EQ(pa, pa->context);
    EXPECT_EQ(0, pa->closed);
    EXPECT_EQ(1.0f, pa->command(pa)->as.floats.values[0]);
    EXPECT_EQ(5.0f, pb->command(pb)->as.floats.values[0]);
    EXPECT_EQ(2.0f, pa->command(pa)->as.floats.values[0]);
    EXPECT_EQ(1, pa->close(pa));
    EXPECT_EQ(6.0f, pb->command(pb)->as.floats.values[0]);
    // Opening another file on a handle starts it over.
    ASSERT_EQ(0, pb->initFile(pb, a.path(), 0, nullptr));
    EXPECT_EQ(1.0f, pb->command(pb)->as.floats.values[0]);
    EXPECT_EQ(1, pb->lineNumber);
    EXPECT_EQ(1, pb->close(pb));
}

TEST(ObjReader, ScratchArraysGrowPastTheirFirstSize) {
    std::string big = "f";
    for (int i = 1; i <= 1000; ++i)
        big += ' ' + std::to_string(i) + '/' + std::to_string(i + 1) + '/' + std::to_string(-i);
    TempFile file("f 1 2 3\n" + big + "\nf 4 5 6\n");
    Reader r(file.path());
    EXPECT_EQ(3, r.next()->as.face.count);
    TobjCommand* c = r.next();
    ASSERT_EQ(1000, c->as.face.count);
    EXPECT_EQ(1000, c->as.face.vertices[999]);
    EXPECT_EQ(1001, c->as.face.textures[999]);
    EXPECT_EQ(-1000, c->as.face.normals[999]);
    EXPECT_EQ(6, r.next()->as.face.vertices[2]);
}

TEST(ObjReader, BinaryGarbageIsReadToTheEnd) {
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        std::string bytes(200000, '\0');
        for (char& b : bytes) b = static_cast<char>(random() % (round % 2 ? 256 : 24));  // odd rounds favour controls
        TempFile file(bytes);
        Reader r(file.path());
        int commands = 0;
        while (r.next()) ++commands;
        EXPECT_LE(commands, r.line()) << "round " << round;
    }
}

// Counts the lines that begin with a keyword and a blank, independently of the reader.
int countLines(const std::string& path, const std::string& keyword) {
    std::ifstream in(path);
    int count = 0;
    for (std::string line; std::getline(in, line);) count += line.rfind(keyword + " ", 0) == 0;
    return count;
}

TEST(ObjReader, RealMeshesReadToTheEnd) {
    for (const char* name : {"suzanne.obj", "teapot.obj", "cow.obj", "woody.obj", "beetle.obj"}) {
        const std::string path = std::string(BRINDLE_DATA_DIR) + "/" + name;
        Reader r(path.c_str());
        ASSERT_EQ(0, r.status()) << path;
        int vertices = 0, faces = 0, errors = 0;
        while (TobjCommand* c = r.next()) {
            vertices += c->code == OBJ_CMD_V;
            faces += c->code == OBJ_CMD_F;
            errors += c->code < 0;
            if (c->code == OBJ_CMD_F) {
                EXPECT_GE(c->as.face.count, 3);
            }
        }
        EXPECT_EQ(0, errors) << name;
        EXPECT_EQ(countLines(path, "v"), vertices) << name;
        EXPECT_EQ(countLines(path, "f"), faces) << name;
        EXPECT_GT(faces, 0) << name;
    }
}

}  // namespace

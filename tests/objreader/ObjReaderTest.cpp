#include "brindle/objreader/ObjReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

// A temporary OBJ file holding the given text, removed when the test ends.
class TempObj {
public:
    explicit TempObj(const std::string& text, const char* suffix = ".obj") {
        char pattern[] = "/tmp/brindle_objXXXXXX";
        const int fd = mkstemp(pattern);
        path_ = std::string(pattern) + suffix;
        std::rename(pattern, path_.c_str());
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        close(fd);
    }
    ~TempObj() { std::remove(path_.c_str()); }
    const char* path() const { return path_.c_str(); }

private:
    std::string path_;
};

// An open reader over a file; closes it at the end of the scope.
class Reader {
public:
    explicit Reader(const char* path) : parser_(PARSE_init(path)) {
        status_ = parser_ ? parser_->initFile(parser_, path, 0, nullptr) : -1;
    }
    ~Reader() {
        if (parser_)
            parser_->close(parser_);
    }
    int status() const { return status_; }
    TobjCommand* next() { return parser_->command(parser_); }
    TobjParser* parser() { return parser_; }

private:
    TobjParser* parser_;
    int status_;
};

TEST(ObjReader, VerticesAndFaces) {
    TempObj file("# comment\n\n   \t\nv 1 2.5 -3e2\nvt 0.25\nvn 0 0 1 \nf 1 2 3\nf 1/2 2/3 3/4\n"
                 "f 1//4 2//5 3//6\nf -1/-2/-3 -4/-5/-6 -7/-8/-9 10/11/12\n");
    Reader r(file.path());
    ASSERT_EQ(0, r.status());
    TobjCommand* c = r.next();
    ASSERT_NE(nullptr, c);
    ASSERT_EQ(OBJ_CMD_V, c->code);
    ASSERT_EQ(3, c->as.floats.count);
    EXPECT_FLOAT_EQ(1.0f, c->as.floats.values[0]);
    EXPECT_FLOAT_EQ(2.5f, c->as.floats.values[1]);
    EXPECT_FLOAT_EQ(-300.0f, c->as.floats.values[2]);
    EXPECT_EQ(4, r.parser()->lineNumber);
    c = r.next();
    ASSERT_EQ(OBJ_CMD_VT, c->code);
    EXPECT_EQ(1, c->as.floats.count);
    c = r.next();
    ASSERT_EQ(OBJ_CMD_VN, c->code);
    EXPECT_EQ(3, c->as.floats.count);

    c = r.next();
    ASSERT_EQ(OBJ_CMD_F, c->code);
    EXPECT_EQ(3, c->as.face.count);
    EXPECT_EQ(3, c->as.face.vertices[2]);
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
    c = r.next();
    ASSERT_EQ(4, c->as.face.count);
    EXPECT_EQ(-7, c->as.face.vertices[2]);
    EXPECT_EQ(-8, c->as.face.textures[2]);
    EXPECT_EQ(-9, c->as.face.normals[2]);
    EXPECT_EQ(12, c->as.face.normals[3]);
    EXPECT_EQ(nullptr, r.next());
}

}  // namespace

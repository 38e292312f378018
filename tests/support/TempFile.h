// A temporary file holding the given bytes, removed when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

class TempFile {
public:
    explicit TempFile(const std::string& text) {
        char pattern[] = "/tmp/brindle_testXXXXXX";
        const int fd = mkstemp(pattern);
        path_ = pattern;
        EXPECT_EQ(ssize_t(text.size()), write(fd, text.data(), text.size()));
        close(fd);
    }
    ~TempFile() { std::remove(path_.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const char* path() const { return path_.c_str(); }

private:
    std::string path_;
};

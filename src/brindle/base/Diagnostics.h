#pragma once

#include <cstdarg>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "brindle/base/Export.h"

// Text output stream for dumps and checks. By default it writes to the process's standard output
// or error; a host or a test can redirect it to a string or to a callback and later restore it.
class BRINDLE_API TdebugOutput {
public:
    using Sink = std::function<void(std::string_view)>;

    explicit TdebugOutput(int fd);

    void write(std::string_view text);
    // printf-style formatting into the stream.
    void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void vprint(const char* format, va_list args);

    TdebugOutput& operator<<(std::string_view text) {
        write(text);
        return *this;
    }
    TdebugOutput& operator<<(const char* text) {
        write(text);
        return *this;
    }
    TdebugOutput& operator<<(char c) {
        write(std::string_view(&c, 1));
        return *this;
    }
    TdebugOutput& operator<<(int32_t v);
    TdebugOutput& operator<<(uint32_t v);
    TdebugOutput& operator<<(int64_t v);
    TdebugOutput& operator<<(uint64_t v);
    TdebugOutput& operator<<(double v);

    // Sends everything to sink until `restore`; a null sink discards the text.
    void redirect(Sink sink);
    // Appends everything to *target until `restore`.
    void redirectToString(std::string* target);
    void restore();

    static TdebugOutput sCout;
    static TdebugOutput sCerr;

private:
    int fFd;
    bool fRedirected = false;
    Sink fSink;
};

// Errors the host must see. The default handler prints them to standard error; a host installs
// its own callback to show them.
class BRINDLE_API TerrorHandler {
public:
    using Callback = std::function<void(std::string_view)>;

    void reportError(const char* text);
    void error(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void setCallback(Callback cb) { fCallback = std::move(cb); }
    void resetCallback() { fCallback = nullptr; }
    uint32_t errorCount() const { return fCount; }

private:
    Callback fCallback;
    uint32_t fCount = 0;
};

BRINDLE_API TerrorHandler& theErrorHandler();

// Raised to the host when an internal table cannot grow or a call cannot go on.
class BRINDLE_API TfailedException {
public:
    explicit TfailedException(int code) : fCode(code) {}
    int code() const { return fCode; }

private:
    int fCode;
};

#include "brindle/base/Diagnostics.h"

#include <cstdio>
#include <unistd.h>

TdebugOutput TdebugOutput::sCout(1);
TdebugOutput TdebugOutput::sCerr(2);

TdebugOutput::TdebugOutput(int fd) : fFd(fd) {}

void TdebugOutput::write(std::string_view text) {
    if (fRedirected) {
        if (fSink) fSink(text);
        return;
    }
    // Through stdio so that the text interleaves correctly with the host's own printf output.
    std::fwrite(text.data(), 1, text.size(), fFd == 2 ? stderr : stdout);
}

void TdebugOutput::vprint(const char* format, va_list args) {
    char small[512];
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return;
    if (size_t(n) < sizeof small) {
        write(std::string_view(small, size_t(n)));
        return;
    }
    std::string big(size_t(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, args);
    big.resize(size_t(n));
    write(big);
}

void TdebugOutput::print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vprint(format, args);
    va_end(args);
}

TdebugOutput& TdebugOutput::operator<<(int32_t v) {
    print("%d", v);
    return *this;
}
TdebugOutput& TdebugOutput::operator<<(uint32_t v) {
    print("%u", v);
    return *this;
}
TdebugOutput& TdebugOutput::operator<<(int64_t v) {
    print("%lld", static_cast<long long>(v));
    return *this;
}
TdebugOutput& TdebugOutput::operator<<(uint64_t v) {
    print("%llu", static_cast<unsigned long long>(v));
    return *this;
}
TdebugOutput& TdebugOutput::operator<<(double v) {
    print("%g", v);
    return *this;
}

void TdebugOutput::redirect(Sink sink) {
    fRedirected = true;
    fSink = std::move(sink);
}

void TdebugOutput::redirectToString(std::string* target) {
    redirect([target](std::string_view text) { target->append(text); });
}

void TdebugOutput::restore() {
    fRedirected = false;
    fSink = nullptr;
}

void TerrorHandler::reportError(const char* text) {
    ++fCount;
    if (fCallback) {
        fCallback(text);
        return;
    }
    std::fprintf(stderr, "%s\n", text);
}

void TerrorHandler::error(const char* format, ...) {
    char buf[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    reportError(buf);
}

TerrorHandler& theErrorHandler() {
    static TerrorHandler handler;
    return handler;
}

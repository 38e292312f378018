#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Owned text. Comparison with plain text is byte-wise.
class Tstring {
public:
    Tstring() = default;
    Tstring(const char* text) : fText(text ? text : "") {}
    Tstring(std::string text) : fText(std::move(text)) {}
    Tstring(std::string_view text) : fText(text) {}

    const char* c_str() const { return fText.c_str(); }
    const std::string& str() const { return fText; }
    uint32_t length() const { return static_cast<uint32_t>(fText.size()); }
    bool isEmpty() const { return fText.empty(); }

    Tstring& append(std::string_view text) {
        fText.append(text);
        return *this;
    }
    Tstring& operator+=(std::string_view text) { return append(text); }
    // Replaces the text with the decimal digits of v.
    void setUInt32(uint32_t v) { fText = std::to_string(v); }
    int compare(std::string_view text) const { return std::string_view(fText).compare(text); }
    bool operator==(const Tstring& o) const { return fText == o.fText; }
    bool operator==(std::string_view text) const { return fText == text; }
    bool operator==(const char* text) const { return fText == std::string_view(text ? text : ""); }
    operator std::string_view() const { return fText; }

private:
    std::string fText;
};

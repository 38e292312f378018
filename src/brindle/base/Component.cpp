#include "brindle/base/Component.h"

Tcomponent::~Tcomponent() = default;

Tcomponent* Tcomponent::clone() const {
    Tcomponent* copy = newEmpty();
    copy->copyData(*this);
    return copy;
}

void generateRangeString(const char* prefix, uint32_t first, uint32_t last, std::vector<std::string>& strings) {
    std::string text(prefix);
    text += '[';
    text += std::to_string(first);
    if (last != first) {
        text += ':';
        text += std::to_string(last);
    }
    text += ']';
    strings.push_back(std::move(text));
}

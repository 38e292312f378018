#include "brindle/framework/ApiObject.h"

uint32_t TapiObject::apiUnreference() {
    uint32_t left = --fApiRefs;
    if (left == 0) delete this;
    return left;
}

void TapiObject::clearInstance() {
    fUserObject = nullptr;
    fPluginNodeInfo = nullptr;
}

#include "brindle/framework/MidComponent.h"

#include "brindle/framework/HostObjectTable.h"

namespace {
// The base library's list classes carry no registry entry of their own; these entries give the
// list kinds their parents. Neither can be constructed through the registry.
const Tmetaclass sSingleIndexedClass("TsingleIndexedComponent", sizeof(TsingleIndexedComponent), nullptr, 0, nullptr);
const Tmetaclass sLongDoubleIndexedClass("TlongDoubleIndexedComponent", sizeof(TlongDoubleIndexedComponent), nullptr, 0,
                                         nullptr);

// A new list answered as the object its class's cast gives, so that registry users can convert
// the pointer back to the class they asked for.
template <typename Kind>
void* makeList() {
    Kind* list = new Kind;
    return list->cast(&Kind::sMetaclass);
}

// Kind-of lists of the host's object table: the generic component codes, then the list's own.
const bool sListTypesEntered =
    ThostObjectTable::registerType(TmidVertComponent::kApiCode, TmidVertComponent::kTypeString,
                                   {1, 521, 692, 536, TmidVertComponent::kApiCode}) &&
    ThostObjectTable::registerType(TmidEdgeComponent::kApiCode, TmidEdgeComponent::kTypeString,
                                   {1, 521, 692, 536, TmidEdgeComponent::kApiCode}) &&
    ThostObjectTable::registerType(TmidFaceComponent::kApiCode, TmidFaceComponent::kTypeString,
                                   {1, 521, 692, 536, TmidFaceComponent::kApiCode}) &&
    ThostObjectTable::registerType(TmidMapComponent::kApiCode, TmidMapComponent::kTypeString,
                                   {1, 521, 692, 536, TmidMapComponent::kApiCode}) &&
    ThostObjectTable::registerType(722, "kMeshVtxFaceComponent", {1, 521, 722, 693});
}  // namespace

const Tmetaclass TmidComponent::sMetaclass("TmidComponent", sizeof(TmidComponent), nullptr, 0, &sSingleIndexedClass);
const Tmetaclass TmidVertComponent::sMetaclass("TmidVertComponent", sizeof(TmidVertComponent),
                                               &makeList<TmidVertComponent>, 0x434D4456, &TmidComponent::sMetaclass);
const Tmetaclass TmidEdgeComponent::sMetaclass("TmidEdgeComponent", sizeof(TmidEdgeComponent),
                                               &makeList<TmidEdgeComponent>, 0x434D4445, &TmidComponent::sMetaclass);
const Tmetaclass TmidFaceComponent::sMetaclass("TmidFaceComponent", sizeof(TmidFaceComponent),
                                               &makeList<TmidFaceComponent>, 0x434D4446, &TmidComponent::sMetaclass);
const Tmetaclass TmidMapComponent::sMetaclass("TmidMapComponent", sizeof(TmidMapComponent), &makeList<TmidMapComponent>,
                                              0x434D444D, &TmidComponent::sMetaclass);
const Tmetaclass TmeshVtxFaceComponent::sMetaclass("TmeshVtxFaceComponent", sizeof(TmeshVtxFaceComponent),
                                                   &makeList<TmeshVtxFaceComponent>, 0x4D564643,
                                                   &sLongDoubleIndexedClass);

#pragma once

#include <cstdint>
#include <memory>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/String.h"

class TmidBody;
class TpolyGeom;

// One parameter of a primitive: a field with its default, a getter named after it and a setter
// `set` + Name. Setters store the value as given; a shape corrects out-of-range values when it is
// built and writes the corrected value back.
#define BRINDLE_PRIMITIVE_PARAM(Type, name, Name, initial) \
public:                                                    \
    Type name() const { return f_##name; }                 \
    void set##Name(Type value) { f_##name = value; }       \
                                                           \
private:                                                   \
    Type f_##name = initial;

// Base of the primitive builders. A primitive builds a new record of its shape and hands it to the
// body, which deletes the record it held; it does not go through the modifier protocol. The UV set
// name is shared between copies of a factory: it is the name the shape's UV set will get, and an
// empty name means the shape gets no UV set.
class BRINDLE_API TprimitiveFty {
public:
    // The id a primitive's UV-set calls use for "no set".
    static constexpr uint32_t kNoSet = 0xFFFFFFFFu;

    TprimitiveFty();
    TprimitiveFty(const TprimitiveFty&) = default;
    TprimitiveFty& operator=(const TprimitiveFty&) = default;
    virtual ~TprimitiveFty() = default;

    // Builds the shape into a new record and hands it to the body. Exceptions pass unchanged and
    // leave the body's record as it was.
    virtual void build(TmidBody& body) = 0;

    void getUVSetName(Tstring& name) const { name = *fUVSetName; }
    void setUVSetName(const Tstring& name) { fUVSetName = std::make_shared<const Tstring>(name); }

    // Adds a UV set named after the factory to the record and makes it current; with withIds the
    // set also gets one unmapped id per face corner. setId receives the new set's index; with an
    // empty name nothing is made, setId is kNoSet and the answer false.
    bool createUVSet(TpolyGeom& geom, uint32_t& setId, bool withIds) const;

    // Append the UV ids of the corners of the face just created to set s's id list, in the given
    // order; nothing happens for s = kNoSet.
    static void MapTrigFacet(TpolyGeom& geom, int32_t a, int32_t b, int32_t c, uint32_t s);
    static void MapQuadFacet(TpolyGeom& geom, int32_t a, int32_t b, int32_t c, int32_t d, uint32_t s);
    static void MapPentaFacet(TpolyGeom& geom, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, uint32_t s);
    static void MapHexaFacet(TpolyGeom& geom, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f,
                             uint32_t s);

private:
    static void mapFacet(TpolyGeom& geom, const int32_t* ids, uint32_t n, uint32_t s);

    std::shared_ptr<const Tstring> fUVSetName;
};

#pragma once

#include <cstdint>

#include "brindle/base/Export.h"
#include "brindle/base/Metaclass.h"
#include "brindle/framework/ModifierFty.h"
#include "brindle/uv/UvSetFty.h"

// Moves the active UVs (of the set given, or of the current set for all ones): each UV goes
// through P + R(a)·S·(uv - P) + T about the pivot P. With Random non-zero every UV draws its own
// factor k = Random·r + 1 (r in [-1, 1) from the process's 48-bit sequence seeded with
// RandomSeed), which scales the angle, the scales' distance from 1 and the translation, so a
// seed repeats a run exactly. XLen and YLen are carried for the host only.
class BRINDLE_API TpolyMoveUVFty : public TpolyUvSetFty {
    BRINDLE_MODIFIER_CLASS()

    float TransU() const { return fTransU; }
    void setTransU(float v) { fTransU = v; }
    float TransV() const { return fTransV; }
    void setTransV(float v) { fTransV = v; }
    float PivotU() const { return fPivotU; }
    void setPivotU(float v) { fPivotU = v; }
    float PivotV() const { return fPivotV; }
    void setPivotV(float v) { fPivotV = v; }
    float ScaleU() const { return fScaleU; }
    void setScaleU(float v) { fScaleU = v; }
    float ScaleV() const { return fScaleV; }
    void setScaleV(float v) { fScaleV = v; }
    float XLen() const { return fXLen; }
    void setXLen(float v) { fXLen = v; }
    float YLen() const { return fYLen; }
    void setYLen(float v) { fYLen = v; }
    float Random() const { return fRandom; }
    void setRandom(float v) { fRandom = v; }
    int32_t RandomSeed() const { return fRandomSeed; }
    void setRandomSeed(int32_t v) { fRandomSeed = v; }
    float RotationAngle() const { return fRotationAngle; }
    void setRotationAngle(float v) { fRotationAngle = v; }

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    float fTransU = 0, fTransV = 0, fPivotU = 0, fPivotV = 0, fScaleU = 1, fScaleV = 1, fXLen = 1, fYLen = 1;
    float fRandom = 0;
    int32_t fRandomSeed = 0;
    float fRotationAngle = 0;
};

// Normalises or flips the UVs of the active faces in MapSet (the current set for -1). The faces
// first get UVs of their own, shared among them when collective, one run per face otherwise, so
// the faces outside are never moved. Normalising fits each box (all faces' UVs when collective,
// else each face's) into the unit square about (0.5, 0.5), keeping its aspect ratio on request;
// flipping mirrors u (or v when verticalFlip) about the box centre (localFlip) or about 0.
class BRINDLE_API TpolyForceUVFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

    int32_t MapSet() const { return fMapSet; }
    void setMapSet(int32_t s) { fMapSet = s; }
    bool performNormalize() const { return flag(kNormalize); }
    void setPerformNormalize(bool v) { setFlag(kNormalize, v); }
    bool collective() const { return flag(kCollective); }
    void setCollective(bool v) { setFlag(kCollective, v); }
    bool preserveAspectRatio() const { return flag(kAspect); }
    void setPreserveAspectRatio(bool v) { setFlag(kAspect, v); }
    bool performFlip() const { return flag(kFlip); }
    void setPerformFlip(bool v) { setFlag(kFlip, v); }
    bool localFlip() const { return flag(kLocalFlip); }
    void setLocalFlip(bool v) { setFlag(kLocalFlip, v); }
    bool verticalFlip() const { return flag(kVerticalFlip); }
    void setVerticalFlip(bool v) { setFlag(kVerticalFlip, v); }
    // Automatic UVs are not made by this operation.
    int createAutomaticUVs() { return -1; }

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    enum : uint32_t {
        kNormalize = 0x01,
        kCollective = 0x02,
        kAspect = 0x04,
        kFlip = 0x08,
        kLocalFlip = 0x10,
        kVerticalFlip = 0x20
    };
    bool flag(uint32_t bit) const { return (fFlags & bit) != 0; }
    void setFlag(uint32_t bit, bool v) { fFlags = v ? fFlags | bit : fFlags & ~bit; }

    int32_t fMapSet = -1;
    uint32_t fFlags = 0;
};

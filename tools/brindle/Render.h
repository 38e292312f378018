#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "brindle/spatial/PolySpatialSubdivision.h"

class TpolyGeom;

// Where the preview camera looks from. The six axis views are orthographic, looking at the
// record along an axis (front looks down -z with +y up, top looks down -y with -z up); persp is a
// perspective three-quarter view from the front, right and above.
enum class TrenderView { kFront, kBack, kLeft, kRight, kTop, kBottom, kPersp };

// The view a name ("front", "back", "left", "right", "top", "bottom", "persp") stands for; false
// for any other name.
bool parseRenderView(const std::string& name, TrenderView& view);
const char* renderViewNames();

struct TrenderOptions {
    int width = 512, height = 512;
    TrenderView view = TrenderView::kPersp;
    bool wire = false;       // every edge drawn, soft ones too
    bool uvChecker = false;  // a checker of 8 x 8 squares per unit of the first UV set
    // Either kind answers the same picture; the hierarchy, slower to build, is the quicker to
    // render with on large records.
    TmeshIsectAccelParams accelerator = TmeshIsectAccelParams::boundingVolumeHierarchyParams();
};

// An RGB image, three bytes a pixel, rows from the top.
struct TrenderImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* pixel(int x, int y) const { return rgb.data() + 3 * (size_t(y) * size_t(width) + size_t(x)); }
};

// Processor seconds of the stages: bringing the record's triangles and normals up to date,
// building the accelerator and framing, casting and shading the rays.
struct TrenderTimes {
    double derived = 0, build = 0, trace = 0;
};

// Colours the tests and the documentation refer to.
constexpr uint8_t kRenderBackground[3] = {232, 234, 238};
constexpr uint8_t kRenderWire[3] = {16, 16, 20};

// The ray renderRecord casts through each pixel, row by row from the top: origin then direction,
// six values a pixel, framed on tris as renderRecord frames them. For comparisons with other
// ray casters.
void renderRays(const TpolyVoxelTriangleArray& tris, const TrenderOptions& options, std::vector<float>& rays);

// Casts one ray per pixel through an accelerator over the record's triangles, framed so that the
// faces fill the image with a margin round them. A hit is shaded from the
// interpolated shading normal (so hard edges show as creases), two-sided, with faces seen from
// behind in a warmer colour; hard edges and, with wire, every edge are drawn as lines about a
// pixel wide. False, with a message, when the record has no faces to draw or the checker is asked
// for on a record without UVs; the image is then left as it was.
bool renderRecord(TpolyGeom& geom, const TrenderOptions& options, TrenderImage& image, TrenderTimes& times,
                  std::string& error);

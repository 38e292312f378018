// The renderer through its PNG files: each picture is written, read back with libpng and checked
// where the object and the background must be.
#include <gtest/gtest.h>

#include <png.h>

#include <memory>
#include <string>

#include "PngWriter.h"
#include "Render.h"
#include "brindle/brindle.h"
#include "brindle/objreader/ObjImport.h"
#include "support/TempFile.h"

namespace {

TrenderImage roundTrip(const TrenderImage& image) {
    TempFile file("");
    std::string error;
    EXPECT_TRUE(writePng(file.path(), image, error)) << error;
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    TrenderImage back;
    if (!png_image_begin_read_from_file(&png, file.path())) {
        ADD_FAILURE() << png.message;
        return back;
    }
    png.format = PNG_FORMAT_RGB;
    back.width = int(png.width), back.height = int(png.height);
    back.rgb.resize(PNG_IMAGE_SIZE(png));
    EXPECT_TRUE(png_image_finish_read(&png, nullptr, back.rgb.data(), 0, nullptr)) << png.message;
    return back;
}

TrenderImage render(TpolyGeom& g, const TrenderOptions& options) {
    TrenderImage image;
    TrenderTimes times;
    std::string error;
    EXPECT_TRUE(renderRecord(g, options, image, times, error)) << error;
    TrenderImage back = roundTrip(image);
    EXPECT_EQ(image.width, back.width);
    EXPECT_EQ(image.height, back.height);
    EXPECT_EQ(image.rgb, back.rgb);
    return back;
}

bool isBackground(const uint8_t* p) {
    return p[0] == kRenderBackground[0] && p[1] == kRenderBackground[1] && p[2] == kRenderBackground[2];
}
bool isDark(const uint8_t* p) { return p[0] < 40 && p[1] < 40 && p[2] < 40; }

template <typename Pred>
int count(const TrenderImage& image, Pred&& pred) {
    int n = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) n += pred(image.pixel(x, y));
    return n;
}

std::unique_ptr<TmidBody> unitBox(int subdivisions) {
    auto body = std::make_unique<TmidBody>();
    TmeshBoxFty box;
    box.setXSubdivide(subdivisions);
    box.setYSubdivide(subdivisions);
    box.setZSubdivide(subdivisions);
    box.build(*body);
    return body;
}

}  // namespace

// A 2 x 2 x 2 unit box seen from the front fills the middle of a wide picture: its square spans
// the height less the framing margin, the sides stay background, and only the wireframe draws
// dark lines, along the subdivisions through the middle.
TEST(Render, BoxFromTheFrontWithAndWithoutWire) {
    std::unique_ptr<TmidBody> body = unitBox(2);
    TrenderOptions options;
    options.width = 200, options.height = 100;
    options.view = TrenderView::kFront;
    const TrenderImage plain = render(*body->polyGeom(), options);
    ASSERT_EQ(200, plain.width);
    ASSERT_EQ(100, plain.height);
    for (int x : {0, 10, 40, 160, 190, 199}) EXPECT_TRUE(isBackground(plain.pixel(x, 50))) << x;
    for (int y : {0, 99}) EXPECT_TRUE(isBackground(plain.pixel(100, y)));
    // The square covers 1 / 1.08 of the height, about 92 pixels round the centre.
    for (int x : {60, 75, 125, 140}) EXPECT_FALSE(isBackground(plain.pixel(x, 25))) << x;
    const int object = count(plain, [](const uint8_t* p) { return !isBackground(p); });
    EXPECT_NEAR(92 * 92, object, 400);
    EXPECT_EQ(0, count(plain, isDark));

    options.wire = true;
    const TrenderImage wire = render(*body->polyGeom(), options);
    EXPECT_EQ(object, count(wire, [](const uint8_t* p) { return !isBackground(p); }));
    EXPECT_GT(count(wire, isDark), 2 * 80);
    // The middle subdivision lines, a little off the exact centre column and row.
    const auto darkNear = [&](int x, int y, int dx, int dy) {
        for (int k = -1; k <= 1; ++k)
            if (isDark(wire.pixel(x + k * dx, y + k * dy))) return true;
        return false;
    };
    EXPECT_TRUE(darkNear(100, 30, 1, 0));
    EXPECT_TRUE(darkNear(75, 50, 0, 1));
    EXPECT_FALSE(isDark(wire.pixel(75, 30)));
}

// A scanned mesh from every view: the object in the middle, background at the corners, and the
// picture neither empty nor full.
TEST(Render, SampleMeshFromEveryView) {
    TobjImportReport report;
    std::unique_ptr<TpolyGeom> bunny(TobjImport::read(BRINDLE_DATA_DIR "/stanford-bunny.obj", report));
    ASSERT_TRUE(bunny) << report.error;
    for (const char* name : {"front", "back", "left", "right", "top", "bottom", "persp"}) {
        SCOPED_TRACE(name);
        TrenderOptions options;
        ASSERT_TRUE(parseRenderView(name, options.view));
        options.width = options.height = 96;
        const TrenderImage image = render(*bunny, options);
        for (int c : {0, 95}) EXPECT_TRUE(isBackground(image.pixel(c, c))) << c;
        EXPECT_FALSE(isBackground(image.pixel(48, 48)));
        const int object = count(image, [](const uint8_t* p) { return !isBackground(p); });
        EXPECT_GT(object, 96 * 96 / 5);
        EXPECT_LT(object, 96 * 96 * 9 / 10);
    }
    TrenderView view;
    EXPECT_FALSE(parseRenderView("side", view));
}

// The checker needs UVs: without them the render refuses and leaves the image as it was; with
// them it darkens some squares of the shading it would otherwise give.
TEST(Render, UvCheckerNeedsUvs) {
    TempFile obj("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    TobjImportReport report;
    std::unique_ptr<TpolyGeom> triangle(TobjImport::read(obj.path(), report));
    ASSERT_TRUE(triangle) << report.error;
    TrenderOptions options;
    options.width = options.height = 64;
    options.uvChecker = true;
    TrenderImage image;
    image.width = 7;
    TrenderTimes times;
    std::string error;
    EXPECT_FALSE(renderRecord(*triangle, options, image, times, error));
    EXPECT_EQ("no UVs for --uv-checker", error);
    EXPECT_EQ(7, image.width);
    TmidBody textured;
    TmeshBoxFty box;
    box.setUVSetName("map1");
    box.setTexture(TmeshBoxFty::kSharedLayout);
    box.build(textured);
    const TrenderImage checker = render(*textured.polyGeom(), options);
    options.uvChecker = false;
    const TrenderImage plain = render(*textured.polyGeom(), options);
    int darker = 0;
    for (size_t i = 0; i < plain.rgb.size(); i += 3) darker += checker.rgb[i] < plain.rgb[i];
    EXPECT_GT(darker, 64 * 64 / 10);
}

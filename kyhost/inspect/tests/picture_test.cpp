// Pictures: an SVG is well-formed XML of the stated size, a PNG decodes to
// the stated size; ticks read in the data's coordinates at any scale; a
// picture that cannot be written is an error.
#include <gtest/gtest.h>

#include <cairo.h>
#include <expat.h>

#include <cmath>
#include <cstring>
#include <set>

#include "picture_file.hpp"
#include "picture_layout.hpp"
#include "triangulation_picture.hpp"

namespace ky::inspect {
namespace {

struct Drawing {
    std::vector<double> x{0, 1, 0, 1, 0.5}, y{0, 0, 1, 1, 0.5};
    // Clockwise rows around the middle point 5, one of them flipped.
    std::vector<double> tri{1, 2, 4, 5, 5, 5, 5, 3, 2, 4, 3, 1};
    std::vector<double> qx{0.1, 0.9}, qy{0.2, 0.8}, k{1, 4};
    CheckReport report;

    Picture render(PictureFormat format)
    {
        PictureRequest request;
        request.points = {x.data(), y.data(), x.size()};
        request.tri = {tri.data(), tri.size() / 3};
        report = checkTriangulation(request.points, request.tri);
        request.report = &report;
        request.queries = QueryAnswers{qx.data(), qy.data(), k.data(), qx.size()};
        request.title = "test";
        request.format = format;
        return renderPicture(request);
    }
};

struct SvgRoot {
    std::string name, width, height;
    int elements = 0;
};

void XMLCALL startElement(void* data, const XML_Char* name, const XML_Char** attributes)
{
    auto* root = static_cast<SvgRoot*>(data);
    if (root->elements++ > 0) return;
    root->name = name;
    for (int i = 0; attributes[i]; i += 2) {
        if (std::strcmp(attributes[i], "width") == 0) root->width = attributes[i + 1];
        if (std::strcmp(attributes[i], "height") == 0) root->height = attributes[i + 1];
    }
}

TEST(Picture, SvgIsWellFormedXmlOfTheStatedSize)
{
    Drawing drawing;
    const Picture picture = drawing.render(PictureFormat::Svg);
    EXPECT_EQ(picture.width, 1200);
    EXPECT_EQ(picture.height, 880);
    EXPECT_EQ(picture.drawnQueries, 2u);
    SvgRoot root;
    XML_Parser parser = XML_ParserCreateNS(nullptr, ' ');
    XML_SetUserData(parser, &root);
    XML_SetStartElementHandler(parser, startElement);
    const bool parsed = XML_Parse(parser, picture.bytes.data(), static_cast<int>(picture.bytes.size()), 1) == XML_STATUS_OK;
    EXPECT_TRUE(parsed) << XML_ErrorString(XML_GetErrorCode(parser));
    XML_ParserFree(parser);
    EXPECT_EQ(root.name, "http://www.w3.org/2000/svg svg");
    EXPECT_EQ(root.width, std::to_string(picture.width) + "px");
    EXPECT_EQ(root.height, std::to_string(picture.height) + "px");
    EXPECT_GT(root.elements, 20);
}

struct Reader {
    const std::string* bytes;
    std::size_t at = 0;
};

cairo_status_t readBytes(void* closure, unsigned char* data, unsigned int length)
{
    auto* reader = static_cast<Reader*>(closure);
    if (reader->bytes->size() - reader->at < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, reader->bytes->data() + reader->at, length);
    reader->at += length;
    return CAIRO_STATUS_SUCCESS;
}

std::uint32_t bigEndian(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

TEST(Picture, PngDecodesToTheStatedSize)
{
    Drawing drawing;
    const Picture picture = drawing.render(PictureFormat::Png);
    EXPECT_EQ(picture.width, 1200 * pngScale);
    EXPECT_EQ(picture.height, 880 * pngScale);
    ASSERT_GT(picture.bytes.size(), 33u);
    EXPECT_EQ(picture.bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(picture.bytes.substr(12, 4), "IHDR");
    EXPECT_EQ(bigEndian(picture.bytes, 16), static_cast<std::uint32_t>(picture.width));
    EXPECT_EQ(bigEndian(picture.bytes, 20), static_cast<std::uint32_t>(picture.height));
    Reader reader{&picture.bytes};
    cairo_surface_t* decoded = cairo_image_surface_create_from_png_stream(readBytes, &reader);
    EXPECT_EQ(cairo_surface_status(decoded), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(decoded), picture.width);
    EXPECT_EQ(cairo_image_surface_get_height(decoded), picture.height);
    cairo_surface_destroy(decoded);
}

TEST(Picture, DrawsPointsNearTheExtremesOfDoubles)
{
    for (int exponent : {-1000, 1000}) {
        Drawing drawing;
        for (double& v : drawing.x) v = std::ldexp(v, exponent);
        for (double& v : drawing.y) v = std::ldexp(v, exponent);
        drawing.qx.clear(), drawing.qy.clear(), drawing.k.clear();
        EXPECT_NO_THROW(drawing.render(PictureFormat::Svg));
    }
}

TEST(Picture, TicksAreRoundValuesOfTheDataAtAnyScale)
{
    std::vector<std::string> labels;
    for (const Tick& t : axisTicks(-0.05, 1.05)) labels.push_back(t.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"0", "0.2", "0.4", "0.6", "0.8", "1"}));
    for (double scale : {1e-300, 1e300, 1.0}) {
        const std::vector<Tick> ticks = axisTicks(-scale, 3 * scale);
        ASSERT_GE(ticks.size(), 3u) << scale;
        std::set<std::string> distinct;
        for (const Tick& t : ticks) {
            EXPECT_GE(t.value, -scale);
            EXPECT_LE(t.value, 3 * scale);
            distinct.insert(t.label);
        }
        EXPECT_EQ(distinct.size(), ticks.size());
    }
    // A small range far from zero needs enough digits to tell ticks apart.
    std::set<std::string> distinct;
    const std::vector<Tick> ticks = axisTicks(1e6, 1e6 + 1e-3);
    for (const Tick& t : ticks) distinct.insert(t.label);
    EXPECT_GE(ticks.size(), 3u);
    EXPECT_EQ(distinct.size(), ticks.size());
    EXPECT_TRUE(axisTicks(0, 0).empty());
}

TEST(Picture, FormatFollowsTheExtension)
{
    EXPECT_EQ(pictureFormatFor("a.svg"), PictureFormat::Svg);
    EXPECT_EQ(pictureFormatFor("dir.png/A.SVG"), PictureFormat::Svg);
    EXPECT_EQ(pictureFormatFor("b.PNG"), PictureFormat::Png);
    EXPECT_EQ(pictureFormatFor("c.jpg"), std::nullopt);
    EXPECT_EQ(pictureFormatFor("dir.svg/picture"), std::nullopt);
    EXPECT_EQ(pictureFormatFor("/dev/full"), std::nullopt);
}

TEST(PictureFile, EveryFailedWriteIsAnError)
{
    try {
        writePictureFile("/dev/full", std::string(100000, 'x'));
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "cannot write picture /dev/full: No space left on device");
    }
    EXPECT_THROW(writePictureFile("/no/such/dir/p.svg", "x"), std::runtime_error);
}

}  // namespace
// Random rows on few points are long lines: past the length budget only a
// sample is drawn and the legend says how many of how many; problems are
// marked up to the cap. A small valid picture draws everything.
TEST(Picture, RandomRowsAreSampledAndTheLegendSaysHowMany)
{
    Drawing small;
    const Picture whole = small.render(PictureFormat::Png);
    EXPECT_EQ(whole.drawnRows, 4u);
    const auto entry = [](const Picture& picture, const std::string& start) {
        for (const std::string& text : picture.legend)
            if (text.starts_with(start)) return text;
        return std::string("(no legend entry)");
    };
    EXPECT_EQ(entry(whole, "4 rows"), "4 rows (8 edges)");

    const std::size_t n = 1000, rows = 20000;
    std::vector<double> x, y, tri(3 * rows);
    for (std::size_t i = 0; i < n; ++i) {
        x.push_back(std::fmod(i * 0.618034, 1.0));
        y.push_back(std::fmod(i * 0.414214, 1.0));
    }
    std::uint64_t state = 7;
    for (double& corner : tri) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        corner = static_cast<double>((state >> 33) % n + 1);
    }
    PictureRequest request;
    request.points = {x.data(), y.data(), n};
    request.tri = {tri.data(), rows};
    const CheckReport report = checkTriangulation(request.points, request.tri);
    request.report = &report;
    request.format = PictureFormat::Png;
    const Picture picture = renderPicture(request);
    EXPECT_GT(picture.drawnRows, 0u);
    EXPECT_LT(picture.drawnRows, rows);
    EXPECT_EQ(entry(picture, "20000 rows").find("20000 rows, " + std::to_string(picture.drawnRows) + " drawn ("), 0u)
        << entry(picture, "20000 rows");
    bool marked = false;
    for (const std::string& text : picture.legend)
        marked = marked || (text.find(" faulty rows (") != std::string::npos && text.ends_with(" marked)"));
    EXPECT_TRUE(marked);
}

}  // namespace ky::inspect

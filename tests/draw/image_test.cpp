// Tests of image loading and drawing: pictures and bitmaps decoded from BMP files the
// tests write, a picture from the test program's "RTIMAGE" resources, the loads that
// must fail, and what image_draw leaves in the window's backing bitmap (read back with
// GetDIBits after filling it with a sentinel colour).
#include <gtest/gtest.h>

#include <ole2.h>
#include <olectl.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/draw/draw_internal.h"
#include "tests/support/census.h"
#include "tests/support/test_support.h"

namespace {

constexpr COLORREF RED = RGB(255, 0, 0);
constexpr COLORREF GREEN = RGB(0, 255, 0);
constexpr COLORREF BLUE = RGB(0, 0, 255);
constexpr COLORREF YELLOW = RGB(255, 255, 0);
constexpr COLORREF SENTINEL = RGB(255, 0, 255);

// A 24-bit BMP file in four quadrants: red, green over blue, yellow.
void write_quadrant_bmp(const std::string& path, int32_t width, int32_t height) {
    const int32_t stride = (width * 3 + 3) & ~3;
    std::string pixels(static_cast<size_t>(stride) * height, '\0');
    for (int32_t row = 0; row < height; row++) {
        int32_t y = height - 1 - row; // stored bottom-up
        for (int32_t x = 0; x < width; x++) {
            bool right = x * 2 >= width;
            bool bottom = y * 2 >= height;
            COLORREF c = bottom ? (right ? YELLOW : BLUE) : (right ? GREEN : RED);
            size_t at = static_cast<size_t>(row) * stride + x * 3;
            pixels[at] = static_cast<char>(GetBValue(c));
            pixels[at + 1] = static_cast<char>(GetGValue(c));
            pixels[at + 2] = static_cast<char>(GetRValue(c));
        }
    }
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = static_cast<DWORD>(pixels.size());
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    write_file(path, std::string(reinterpret_cast<char*>(&file), sizeof file) +
                         std::string(reinterpret_cast<char*>(&info), sizeof info) + pixels);
}

// A window with a backing bitmap, and its pixels read back.
struct ImageWindow : testing::Test {
    WindowRecord record = {};
    std::vector<uint32_t> pixels;
    int32_t width = 0;
    int32_t height = 0;

    void SetUp() override {
        ASSERT_EQ(open_window(&record, 0, 0, 320, 240, WS_MINIMIZEBOX, nullptr, "Images", nullptr),
                  1);
        ASSERT_NE(record.backing_bitmap, nullptr);
    }
    void TearDown() override { close_window(&record); }

    void fill_sentinel() {
        HDC memory = ::CreateCompatibleDC(nullptr);
        HGDIOBJ previous = ::SelectObject(memory, record.backing_bitmap);
        HBRUSH brush = ::CreateSolidBrush(SENTINEL);
        RECT all = {0, 0, 2000, 2000};
        ::FillRect(memory, &all, brush);
        ::DeleteObject(brush);
        ::SelectObject(memory, previous);
        ::DeleteDC(memory);
    }
    void read_back() {
        BITMAP bitmap = {};
        ::GetObjectA(record.backing_bitmap, sizeof bitmap, &bitmap);
        width = bitmap.bmWidth;
        height = bitmap.bmHeight;
        BITMAPINFO info = top_down_info(width, height);
        pixels.assign(static_cast<size_t>(width) * height, 0);
        HDC screen = ::GetDC(nullptr);
        ::GetDIBits(screen, record.backing_bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
        ::ReleaseDC(nullptr, screen);
    }
    COLORREF at(int32_t x, int32_t y) const {
        uint32_t p = pixels[static_cast<size_t>(y) * width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    // The quadrants fill x, y, size_x, size_y exactly; the sentinel is all around.
    void expect_quadrants(int32_t x, int32_t y, int32_t size_x, int32_t size_y, const char* what) {
        const int32_t right = x + size_x - 1;
        const int32_t bottom = y + size_y - 1;
        EXPECT_EQ(at(x, y), RED) << what;
        EXPECT_EQ(at(x + size_x / 4, y + size_y / 4), RED) << what;
        EXPECT_EQ(at(right, y), GREEN) << what;
        EXPECT_EQ(at(x + size_x * 3 / 4, y + size_y / 4), GREEN) << what;
        EXPECT_EQ(at(x, bottom), BLUE) << what;
        EXPECT_EQ(at(x + size_x / 4, y + size_y * 3 / 4), BLUE) << what;
        EXPECT_EQ(at(right, bottom), YELLOW) << what;
        EXPECT_EQ(at(x + size_x * 3 / 4, y + size_y * 3 / 4), YELLOW) << what;
        EXPECT_EQ(at(x - 1, y), SENTINEL) << what;
        EXPECT_EQ(at(x, y - 1), SENTINEL) << what;
        EXPECT_EQ(at(right + 1, bottom), SENTINEL) << what;
        EXPECT_EQ(at(right, bottom + 1), SENTINEL) << what;
    }
};

using Images = ImageWindow;

} // namespace

TEST_F(Images, PicturesFillTheCellUpright) {
    struct Stored {
        int32_t width, height;
    } stored[] = {{8, 8}, {16, 8}, {20, 20}, {50, 30}};
    for (const Stored& s : stored) {
        std::string path = temp_file("cell.bmp");
        write_quadrant_bmp(path, s.width, s.height);
        ImageHandle picture = image_load(path.c_str(), TAG_STRING, IMAGE_PICTURE);
        ASSERT_NE(picture, 0u) << s.width << "x" << s.height;
        for (int32_t side : {20, 40}) {
            fill_sentinel();
            EXPECT_EQ(image_draw(&record, picture, IMAGE_PICTURE, 30, 50, side, side, 0), 0);
            read_back();
            std::string what = std::to_string(s.width) + "x" + std::to_string(s.height) + " into " +
                               std::to_string(side);
            expect_quadrants(30, 50, side, side, what.c_str());
            // The picture is on the screen too when image_draw returns.
            HDC window_dc = ::GetDC(record.hwnd);
            EXPECT_EQ(::GetPixel(window_dc, 30 + side * 3 / 4, 50 + side * 3 / 4), YELLOW) << what;
            ::ReleaseDC(record.hwnd, window_dc);
        }
        ::DeleteFileA(path.c_str());
    }
}

TEST_F(Images, PictureNaturalSizeFromHimetric) {
    std::string path = temp_file("natural.bmp");
    write_quadrant_bmp(path, 24, 16);
    ImageHandle picture = image_load(path.c_str(), TAG_STRING, IMAGE_PICTURE);
    ASSERT_NE(picture, 0u);
    HDC screen = ::GetDC(nullptr);
    const int32_t dpi_x = ::GetDeviceCaps(screen, LOGPIXELSX);
    const int32_t dpi_y = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    OLE_XSIZE_HIMETRIC himetric_width = 0;
    OLE_YSIZE_HIMETRIC himetric_height = 0;
    reinterpret_cast<IPicture*>(picture)->get_Width(&himetric_width);
    reinterpret_cast<IPicture*>(picture)->get_Height(&himetric_height);
    EXPECT_EQ(himetric_width, ::MulDiv(24, 2540, dpi_x));
    EXPECT_EQ(himetric_height, ::MulDiv(16, 2540, dpi_y));

    fill_sentinel();
    image_draw(&record, picture, IMAGE_PICTURE, 10, 12, 0, 0, 0);
    read_back();
    expect_quadrants(10, 12, ::MulDiv(himetric_width, dpi_x, 2540),
                     ::MulDiv(himetric_height, dpi_y, 2540), "natural size");
    ::DeleteFileA(path.c_str());
}

TEST_F(Images, BitmapIsClippedNotStretched) {
    std::string path = temp_file("bitmap.bmp");
    write_quadrant_bmp(path, 20, 20);
    ImageHandle bitmap = image_load(path.c_str(), TAG_STRING, IMAGE_BITMAP_KIND);
    ASSERT_NE(bitmap, 0u);
    DIBSECTION section = {};
    ASSERT_EQ(::GetObjectA(reinterpret_cast<HBITMAP>(bitmap), sizeof section, &section),
              static_cast<int>(sizeof section))
        << "a device-independent section";
    EXPECT_EQ(section.dsBm.bmWidth, 20);
    EXPECT_EQ(section.dsBm.bmHeight, 20);

    fill_sentinel();
    image_draw(&record, bitmap, IMAGE_BITMAP_KIND, 5, 6, 10, 20, 0);
    read_back();
    for (int32_t y = 6; y < 26; y++) {
        EXPECT_EQ(at(5, y), y < 16 ? RED : BLUE) << y;
        EXPECT_EQ(at(14, y), y < 16 ? RED : BLUE) << y;
        EXPECT_EQ(at(15, y), SENTINEL) << y;
    }
    EXPECT_EQ(at(5, 26), SENTINEL);

    // The kind as it was loaded, modifier bits and all, draws the same.
    fill_sentinel();
    image_draw(&record, bitmap, IMAGE_BITMAP_KIND | IMAGE_MAP_3D_COLORS, 5, 6, 10, 20, 0);
    read_back();
    EXPECT_EQ(at(5, 6), RED);

    // Width or height 0, or no image, draws nothing.
    fill_sentinel();
    image_draw(&record, bitmap, IMAGE_BITMAP_KIND, 5, 6, 0, 20, 0);
    image_draw(&record, 0, IMAGE_PICTURE, 5, 6, 20, 20, 0);
    image_draw(&record, bitmap, IMAGE_CURSOR_KIND, 5, 6, 20, 20, 0);
    read_back();
    EXPECT_EQ(at(5, 6), SENTINEL);
    ::DeleteFileA(path.c_str());
}

TEST_F(Images, ResourcePictures) {
    int32_t number = 7;
    struct Source {
        const char* what;
        const void* name;
        TypeTag tag;
    } sources[] = {
        {"by name", "TESTPICTURE", TAG_STRING},
        {"by number", reinterpret_cast<const void*>(intptr_t{7}), TypeTag{TYPE_INT}},
        {"by number variable", &number, type_tag(TYPE_UINT)},
        // Every number below 0x10000 is a number, also from 0x7FFF up.
        {"by number 0x7FFE", reinterpret_cast<const void*>(intptr_t{0x7FFE}), TypeTag{TYPE_INT}},
        {"by number 0x7FFF", reinterpret_cast<const void*>(intptr_t{0x7FFF}), TypeTag{TYPE_UINT}},
        {"by number 0x8000", reinterpret_cast<const void*>(intptr_t{0x8000}), TypeTag{TYPE_INT}},
        {"by number 0xFFFF", reinterpret_cast<const void*>(intptr_t{0xFFFF}), TypeTag{TYPE_UINT}},
    };
    for (const Source& s : sources) {
        ImageHandle picture = image_load(s.name, s.tag, IMAGE_PICTURE);
        ASSERT_NE(picture, 0u) << s.what;
        fill_sentinel();
        image_draw(&record, picture, IMAGE_PICTURE, 100, 100, 20, 20, 0);
        read_back();
        expect_quadrants(100, 100, 20, 20, s.what);
    }

    void* block = nullptr;
    ASSERT_EQ(resource_load("TESTPICTURE", TAG_STRING, "RTIMAGE", TAG_STRING, &block, TAG_BLOCK),
              1);
    const char* bytes = static_cast<const char*>(block);
    EXPECT_EQ(std::string(bytes, 2), "BM");
    EXPECT_GE(::GlobalSize(block), 247u) << "the resource's 246 bytes and a zero";
    ::GlobalFree(block);

    // A string variable holds 255 bytes: a 600-byte resource is cut, not overrun.
    char text[255 + 16];
    std::memset(text, '#', sizeof text);
    ASSERT_EQ(resource_load("LONGTEXT", TAG_STRING, "RTIMAGE", TAG_STRING, text, TAG_STRING), 1);
    EXPECT_EQ(std::strlen(text), 254u);
    EXPECT_EQ(std::string(text, 10), "0123456789");
    EXPECT_EQ(std::string(text + 255, 16), std::string(16, '#'));
}

TEST(ImageLoad, LoadsThatFindNothing) {
    std::string text = temp_file("not_a_picture.bmp");
    write_file(text, "These bytes are no picture at all, just some text.\r\n");
    std::string empty = temp_file("empty.bmp");
    write_file(empty, "");
    std::string long_name(300, 'N');
    int32_t system_icon = 32512; // IDI_APPLICATION
    // Numbers of 0x10000 and more name nothing, whatever their low 16 bits name.
    int32_t wide_icon = 0x10000 + 32512;
    int32_t wide_picture = 0x10007;
    int32_t minus_one = -1;
    struct Case {
        const char* what;
        const void* name;
        TypeTag tag;
        int32_t kind;
    } cases[] = {
        {"text file", text.c_str(), TAG_STRING, IMAGE_PICTURE},
        {"empty file", empty.c_str(), TAG_STRING, IMAGE_PICTURE},
        {"missing file", "no_such_folder\\none.bmp", TAG_STRING, IMAGE_PICTURE},
        {"missing resource", "NOSUCHPICTURE", TAG_STRING, IMAGE_PICTURE},
        {"overlong resource name", long_name.c_str(), TAG_STRING, IMAGE_PICTURE},
        {"system picture", &system_icon, type_tag(TYPE_INT), IMAGE_PICTURE | IMAGE_SYSTEM},
        {"metafile by number", &system_icon, type_tag(TYPE_INT), IMAGE_METAFILE},
        {"unknown kind", text.c_str(), TAG_STRING, 9},
        {"unnamed kind of name", text.c_str(), TAG_BLOCK, IMAGE_PICTURE},
        {"system icon number above 16 bits", &wide_icon, type_tag(TYPE_INT),
         IMAGE_ICON_KIND | IMAGE_SYSTEM},
        {"picture number above 16 bits", &wide_picture, type_tag(TYPE_UINT), IMAGE_PICTURE},
        {"picture number above 16 bits, by value", reinterpret_cast<const void*>(intptr_t{0x10007}),
         TypeTag{TYPE_INT}, IMAGE_PICTURE},
        {"number -1", &minus_one, type_tag(TYPE_INT), IMAGE_PICTURE},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(image_load(c.name, c.tag, c.kind), 0u) << c.what;
    }
    // Nothing stayed open on the files that were tried.
    EXPECT_TRUE(::DeleteFileA(text.c_str()));
    EXPECT_TRUE(::DeleteFileA(empty.c_str()));
}

TEST(ResourceLoad, NumberedNamesAndAddressVariables) {
    // A 32-bit variable (codes 2 and 19) can hold an address only where addresses have 32
    // bits; elsewhere the copy fails and leaves the variable alone. Code 16 always works.
    const bool address_fits = sizeof(void*) <= sizeof(uint32_t);
    for (uint32_t number : {7u, 0x7FFEu, 0x7FFFu, 0x8000u, 0xFFFFu}) {
        SCOPED_TRACE(number);
        const void* address = nullptr;
        ASSERT_EQ(resource_load(&number, type_tag(TYPE_UINT), "RTIMAGE", TAG_STRING, &address,
                                type_tag(TYPE_POINTER)),
                  1);
        ASSERT_NE(address, nullptr);
        EXPECT_EQ(std::string(static_cast<const char*>(address), 2), "BM");
        for (int32_t code : {TYPE_INT, TYPE_UINT}) {
            uint32_t variable[2] = {0x5A5A5A5Au, 0x5A5A5A5Au};
            EXPECT_EQ(resource_load(reinterpret_cast<const void*>(uintptr_t{number}),
                                    TypeTag{TYPE_INT}, "RTIMAGE", TAG_STRING, variable,
                                    type_tag(code)),
                      address_fits ? 1 : 0)
                << code;
            const uint32_t expected =
                address_fits ? static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address))
                             : 0x5A5A5A5Au;
            EXPECT_EQ(variable[0], expected) << code;
            EXPECT_EQ(variable[1], 0x5A5A5A5Au) << code << ": written past the variable";
        }
    }
    // Names of 0x10000 and more are no resource numbers of the program.
    void* block = nullptr;
    for (int32_t number : {0x10007, 0x17FFE, -1}) {
        EXPECT_EQ(
            resource_load(&number, type_tag(TYPE_INT), "RTIMAGE", TAG_STRING, &block, TAG_BLOCK), 0)
            << number;
        EXPECT_EQ(resource_load(reinterpret_cast<const void*>(static_cast<intptr_t>(number)),
                                TypeTag{TYPE_UINT}, "RTIMAGE", TAG_STRING, &block, TAG_BLOCK),
                  0)
            << number;
    }
    EXPECT_EQ(block, nullptr);
}

TEST(ImageLoad, SystemIconAtDefaultSize) {
    int32_t system_icon = 32512; // IDI_APPLICATION
    ImageHandle icon = image_load(&system_icon, type_tag(TYPE_INT), IMAGE_ICON_KIND | IMAGE_SYSTEM);
    ASSERT_NE(icon, 0u);
    ICONINFO info = {};
    ASSERT_TRUE(::GetIconInfo(reinterpret_cast<HICON>(icon), &info));
    BITMAP mask = {};
    ::GetObjectA(info.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(mask.bmWidth, ::GetSystemMetrics(SM_CXICON));
    ::DeleteObject(info.hbmMask);
    if (info.hbmColor) {
        ::DeleteObject(info.hbmColor);
    }
}

TEST(ImageDraw, WithoutAContextDrawingStaysClosed) {
    WindowRecord closed = {};
    EXPECT_EQ(image_draw(&closed, 1, IMAGE_PICTURE, 0, 0, 20, 20, 0), 0);
    EXPECT_EQ(closed.draw_depth, 0);

    // A window without backing whose context cannot be had: begin_draw gives no context
    // and opens nothing, so draw_depth stays 0 with no draw_dc.
    WindowRecord lost = {};
    ASSERT_EQ(open_window(&lost, 0, 0, 100, 80, WF_NO_BACKING, nullptr, "Lost", nullptr), 1);
    ::DestroyWindow(lost.hwnd); // behind the runtime's back: the record still names it
    for (int32_t kind : {IMAGE_PICTURE, IMAGE_BITMAP_KIND, IMAGE_ICON_KIND}) {
        EXPECT_EQ(image_draw(&lost, 0, kind, 0, 0, 20, 20, 0), 0);
        EXPECT_EQ(lost.draw_depth, 0) << kind;
        EXPECT_EQ(lost.draw_dc, nullptr) << kind;
    }
    close_window(&lost);
}

TEST_F(Images, MetafilesStretchedIntoTheRectangle) {
    // A metafile of a red square, played stretched into the target rectangle.
    std::string path = temp_file("square.emf");
    HDC recorder = ::CreateEnhMetaFileA(nullptr, path.c_str(), nullptr, nullptr);
    ASSERT_NE(recorder, nullptr);
    HBRUSH red = ::CreateSolidBrush(RED);
    RECT square = {0, 0, 10, 10};
    ::FillRect(recorder, &square, red);
    ::DeleteObject(red);
    ::DeleteEnhMetaFile(::CloseEnhMetaFile(recorder));
    ImageHandle metafile = image_load(path.c_str(), TAG_STRING, IMAGE_METAFILE);
    ASSERT_NE(metafile, 0u);
    fill_sentinel();
    image_draw(&record, metafile, IMAGE_METAFILE, 40, 30, 30, 30, 0);
    read_back();
    EXPECT_EQ(at(55, 45), RED);
    EXPECT_EQ(at(39, 45), SENTINEL);
    EXPECT_EQ(at(75, 45), SENTINEL);
    ::DeleteEnhMetaFile(reinterpret_cast<HENHMETAFILE>(metafile));
    ::DeleteFileA(path.c_str());
}

namespace {

// An icon (type 1) or cursor (type 2) file of one 16 x 16 image, 32-bit, fully opaque.
std::string icon_file_bytes(uint16_t type) {
    const int32_t side = 16;
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = side;
    info.biHeight = side * 2; // colour and mask
    info.biPlanes = 1;
    info.biBitCount = 32;
    const std::string colour(side * side * 4, '\x7F');
    const std::string mask(side * 4, '\0'); // 32-bit rows of 1 bit per pixel
    std::string image = std::string(reinterpret_cast<char*>(&info), sizeof(info)) + colour + mask;
    const uint16_t header[3] = {0, type, 1};
    // Width, height, colours, reserved; planes or hot spot x; bits or hot spot y; size; offset.
    const uint8_t entry_start[4] = {side, side, 0, 0};
    const uint16_t entry_words[2] = {1, 32};
    const uint32_t entry_longs[2] = {static_cast<uint32_t>(image.size()), 6 + 16};
    return std::string(reinterpret_cast<const char*>(header), 6) +
           std::string(reinterpret_cast<const char*>(entry_start), 4) +
           std::string(reinterpret_cast<const char*>(entry_words), 4) +
           std::string(reinterpret_cast<const char*>(entry_longs), 8) + image;
}

} // namespace

TEST(ImageRelease, EveryKindIsReleasedAndMeasured) {
    struct Kind {
        const char* name;
        int32_t kind;
        int32_t width, height;
    };
    const std::string bmp = temp_file("release.bmp"), ico = temp_file("release.ico"),
                      cur = temp_file("release.cur"), emf = temp_file("release.emf");
    write_quadrant_bmp(bmp, 24, 12);
    write_file(ico, icon_file_bytes(1));
    write_file(cur, icon_file_bytes(2));
    HDC recorder = ::CreateEnhMetaFileA(nullptr, emf.c_str(), nullptr, nullptr);
    RECT square = {0, 0, 30, 20};
    ::FillRect(recorder, &square, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::DeleteEnhMetaFile(::CloseEnhMetaFile(recorder));
    const std::pair<Kind, std::string> kinds[] = {
        {{"bitmap", IMAGE_BITMAP_KIND, 24, 12}, bmp}, {{"icon", IMAGE_ICON_KIND, 16, 16}, ico},
        {{"cursor", IMAGE_CURSOR_KIND, 16, 16}, cur}, {{"metafile", IMAGE_METAFILE, 30, 20}, emf},
        {{"picture", IMAGE_PICTURE, 24, 12}, bmp},
    };
    for (const auto& [kind, path] : kinds) {
        SCOPED_TRACE(kind.name);
        image_release(image_load(path.c_str(), TAG_STRING, kind.kind), kind.kind); // warm
        const Census before = census_take();
        for (int i = 0; i < 20; ++i) {
            ImageHandle image = image_load(path.c_str(), TAG_STRING, kind.kind);
            ASSERT_NE(image, 0u);
            int32_t width = 0, height = 0;
            image_size(image, kind.kind, &width, &height);
            EXPECT_EQ(std::make_pair(width, height), std::make_pair(kind.width, kind.height));
            image_release(image, kind.kind);
        }
        EXPECT_EQ(census_changes(before, census_take()), "");
    }
    // The system's shared images stay; no image is nothing.
    const int32_t application = 32512;
    ImageHandle shared =
        image_load(&application, type_tag(TYPE_INT), IMAGE_ICON_KIND | IMAGE_SYSTEM);
    image_release(shared, IMAGE_ICON_KIND | IMAGE_SYSTEM);
    ICONINFO info = {};
    EXPECT_TRUE(::GetIconInfo(reinterpret_cast<HICON>(shared), &info));
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    EXPECT_EQ(image_release(0, IMAGE_PICTURE), 0);
    for (const std::string& path : {bmp, ico, cur, emf}) {
        ::DeleteFileA(path.c_str());
    }
}

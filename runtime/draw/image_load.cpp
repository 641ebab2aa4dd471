// Image loading: bitmaps, icons and cursors through LoadImageA, enhanced metafiles from
// files, and picture objects (IPicture) decoded by OleLoadPicture from the bytes of a
// file or of an "RTIMAGE" resource (read by resource_load, resources.cpp). Files that would
// make a platform decoder crash, hang or leak are refused before it sees them
// (picture_checks.cpp), each with a line on the debugger output that names the file and why.
// Relies on the core's files, global blocks, string_find, guid_make and debugger output. An
// image lives until image_release (or the process's end); drawing it is image_draw's.
#include "runtime/core/core_internal.h"
#include "runtime/draw/draw_internal.h"

#include <ole2.h>
#include <olectl.h>

#include <cstdio>
#include <cstring>

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

// Read a whole file into a new zeroed global block; its size, 0 on failure.
SIZE_T read_file_block(const char* name, void** block) {
    HANDLE file = nullptr;
    if (name == nullptr || file_open(&file, TAG_BINARY_FILE, name, "R") != 0) {
        return 0;
    }
    DWORD size = ::GetFileSize(file, nullptr);
    SIZE_T read = 0;
    if (size != 0 && size != INVALID_FILE_SIZE &&
        global_alloc_zeroed(block, static_cast<int32_t>(size), 1) != -1 && *block != nullptr) {
        read = ::GlobalSize(*block);
        if (file_read(&file, TAG_BINARY_FILE, block, TAG_BLOCK, static_cast<uint32_t>(read)) != 0) {
            global_free(*block);
            *block = nullptr;
            read = 0;
        }
    }
    file_close(&file, TAG_BINARY_FILE);
    return read;
}

// Say on the debugger output that image_load refused name (a file, or a resource by name
// or number) and why.
void say_refused(const char* name, const char* reason) {
    char number[16];
    if (IS_INTRESOURCE(name)) {
        std::snprintf(number, sizeof number, "#%u",
                      static_cast<unsigned>(reinterpret_cast<uintptr_t>(name)));
        name = number;
    }
    debug_refusal("image_load", name, reason);
}

// True for a file that cannot be read, or whose bytes fault names a fault of (said then).
bool file_refused(const char* name, const char* (*fault)(const uint8_t* bytes, SIZE_T size)) {
    void* block = nullptr;
    const SIZE_T size = read_file_block(name, &block);
    const char* reason = size == 0 ? nullptr : fault(static_cast<const uint8_t*>(block), size);
    if (reason != nullptr) {
        say_refused(name, reason);
    }
    global_free_if_set(block);
    return size == 0 || reason != nullptr;
}

// An icon picture that reports no size (Wine's, for an icon whose directory says 0, as it
// says for 256 pixels) made again from a copy of its icon, which gives its own size; the
// picture itself when it has a size or is no icon.
IPicture* picture_with_size(IPicture* picture, const GUID& picture_iid) {
    OLE_XSIZE_HIMETRIC width = 0;
    SHORT type = PICTYPE_UNINITIALIZED;
    OLE_HANDLE icon = 0;
    picture->get_Width(&width);
    picture->get_Type(&type);
    if (width != 0 || type != PICTYPE_ICON || FAILED(picture->get_Handle(&icon))) {
        return picture;
    }
    PICTDESC description = {};
    description.cbSizeofstruct = sizeof description;
    description.picType = PICTYPE_ICON;
    description.icon.hicon = ::CopyIcon(reinterpret_cast<HICON>(static_cast<uintptr_t>(icon)));
    IPicture* sized = nullptr;
    if (description.icon.hicon == nullptr ||
        FAILED(::OleCreatePictureIndirect(&description, picture_iid, TRUE,
                                          reinterpret_cast<void**>(&sized))) ||
        sized == nullptr) {
        if (description.icon.hicon != nullptr) {
            ::DestroyIcon(description.icon.hicon);
        }
        return picture; // the caller finds it without a size
    }
    picture->Release();
    return sized;
}

// An enhanced metafile from a file; 0 (said) when its header's bounds are turned round. The
// bounds GDI gives a metafile in which nothing was drawn, one pixel turned round on both
// axes, load as a metafile of no size.
ImageHandle metafile_with_size(const char* name) {
    wchar_t* wide = ansi_to_heap_wide(name);
    HENHMETAFILE metafile = wide != nullptr ? ::GetEnhMetaFileW(wide) : ::GetEnhMetaFileA(name);
    heap_free(wide);
    ENHMETAHEADER header = {};
    const RECTL& bounds = header.rclBounds;
    if (metafile != nullptr && ::GetEnhMetaFileHeader(metafile, sizeof header, &header) != 0 &&
        (bounds.right < bounds.left || bounds.bottom < bounds.top) &&
        (bounds.right != int64_t{bounds.left} - 1 || bounds.bottom != int64_t{bounds.top} - 1)) {
        say_refused(name, "a metafile without a width or a height");
        ::DeleteEnhMetaFile(metafile);
        return 0;
    }
    return reinterpret_cast<ImageHandle>(metafile);
}

// LoadImageW of a resource number, or of a file or resource name in the ANSI code page.
HANDLE load_image(HMODULE module, LPCSTR source, UINT type, UINT flags) {
    if (IS_INTRESOURCE(source)) {
        return ::LoadImageW(module, reinterpret_cast<LPCWSTR>(source), type, 0, 0, flags);
    }
    wchar_t* name = ansi_to_heap_wide(source);
    if (name == nullptr) { // without memory, the platform converts
        return ::LoadImageA(module, source, type, 0, 0, flags);
    }
    HANDLE image = ::LoadImageW(module, name, type, 0, 0, flags);
    heap_free(name);
    return image;
}

// Decode a picture from size bytes of a block, which is freed here on every path; name is
// what the debugger output calls it.
ImageHandle decode_picture(void* block, SIZE_T size, const char* name) {
    if (const char* reason = picture_fault(static_cast<const uint8_t*>(block), size)) {
        say_refused(name, reason);
        global_free(block);
        return 0;
    }
    GUID picture_iid;
    const uint8_t tail[8] = {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB};
    guid_make(&picture_iid, 0x7BF80980, 0xBF32, 0x101A, tail);

    HGLOBAL movable = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (movable == nullptr) {
        global_free(block);
        return 0;
    }
    void* bytes = ::GlobalLock(movable);
    if (bytes == nullptr) {
        ::GlobalFree(movable);
        global_free(block);
        return 0;
    }
    std::memcpy(bytes, block, size);
    ::GlobalUnlock(movable);
    global_free(block);

    // The stream owns the movable block from here and frees it when released.
    IStream* stream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(movable, TRUE, &stream)) || stream == nullptr) {
        ::GlobalFree(movable);
        return 0;
    }
    IPicture* picture = nullptr;
    HRESULT result = ::OleLoadPicture(stream, static_cast<LONG>(size), FALSE, picture_iid,
                                      reinterpret_cast<void**>(&picture));
    stream->Release();
    if (FAILED(result) || picture == nullptr) {
        if (picture != nullptr) {
            picture->Release();
        }
        return 0;
    }
    // A picture without a width or a height (the decoder's of a metafile whose frame is
    // empty or turned round, say) could be neither measured nor drawn.
    picture = picture_with_size(picture, picture_iid);
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    if (width <= 0 || height <= 0) {
        say_refused(name, "a picture without a width or a height");
        picture->Release();
        return 0;
    }
    return reinterpret_cast<ImageHandle>(picture);
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Load an image by file name, resource name or resource number; 0 on failure.
ImageHandle image_load(const void* name, TypeTag tag, int32_t kind) {
    HMODULE module = nullptr;
    LPCSTR source = nullptr;
    bool is_number = false;
    UINT flags = 0;
    switch (tag_code(tag)) {
    case TYPE_STRING:
        source = static_cast<const char*>(name);
        if (source == nullptr) {
            return 0;
        }
        if (string_find(source, ".", 1) > 0) {
            flags |= LR_LOADFROMFILE;
        } else {
            module = ::GetModuleHandleA(nullptr);
        }
        break;
    case TYPE_INT:
    case TYPE_UINT: {
        WORD number = 0;
        if (!resource_number(name, tag, &number)) {
            return 0;
        }
        source = MAKEINTRESOURCEA(number);
        is_number = true;
        module = ::GetModuleHandleA(nullptr);
        break;
    }
    default:
        return 0;
    }
    bool system_image = false;
    if (kind & IMAGE_MAP_3D_COLORS) {
        flags |= LR_LOADMAP3DCOLORS;
        kind &= 0xFFF;
    }
    if (kind & IMAGE_SYSTEM) {
        module = nullptr;
        system_image = true;
        kind &= 0xF;
    }
    switch (kind) {
    case IMAGE_BITMAP_KIND:
        if ((flags & LR_LOADFROMFILE) != 0 && file_refused(source, bitmap_file_fault)) {
            return 0;
        }
        return reinterpret_cast<ImageHandle>(
            load_image(module, source, IMAGE_BITMAP, flags | LR_CREATEDIBSECTION));
    case IMAGE_ICON_KIND:
    case IMAGE_CURSOR_KIND:
        if (is_number && module == nullptr) {
            flags |= LR_SHARED | LR_DEFAULTSIZE;
        }
        if ((flags & LR_LOADFROMFILE) != 0 && file_refused(source, icon_file_fault)) {
            return 0;
        }
        return reinterpret_cast<ImageHandle>(
            load_image(module, source, static_cast<UINT>(kind), flags));
    case IMAGE_METAFILE:
        // Metafiles come only from files: a resource number names nothing here.
        if (is_number || file_refused(source, metafile_fault)) {
            return 0;
        }
        return metafile_with_size(source);
    case IMAGE_PICTURE:
        // The system's predefined images hold no pictures.
        if (system_image) {
            return 0;
        }
        return picture_load(module, source);
    default:
        return 0;
    }
}

// Decode a picture from a file (no module) or an "RTIMAGE" resource of the module.
ImageHandle picture_load(HMODULE module, const char* name) {
    void* block = nullptr;
    SIZE_T size = 0;
    if (module == nullptr) {
        if (!IS_INTRESOURCE(name)) {
            size = read_file_block(name, &block);
        }
    } else {
        // Values below 0x10000 are resource numbers, never string addresses.
        bool number = IS_INTRESOURCE(name);
        if (resource_load(name, number ? TypeTag{TYPE_INT} : TAG_STRING, "RTIMAGE", TAG_STRING,
                          &block, TAG_BLOCK) == 1) {
            size = ::GlobalSize(block);
        }
    }
    if (size == 0) {
        global_free_if_set(block);
        return 0;
    }
    return decode_picture(block, size, name);
}

// Release an image of the kind it was loaded as; shared system images stay.
int32_t image_release(ImageHandle image, int32_t kind) {
    if (image == 0 || (kind & IMAGE_SYSTEM) != 0) {
        return 0;
    }
    switch (kind & 0xF) {
    case IMAGE_BITMAP_KIND:
        ::DeleteObject(reinterpret_cast<HGDIOBJ>(image));
        break;
    case IMAGE_ICON_KIND:
        ::DestroyIcon(reinterpret_cast<HICON>(image));
        break;
    case IMAGE_CURSOR_KIND:
        ::DestroyCursor(reinterpret_cast<HCURSOR>(image));
        break;
    case IMAGE_METAFILE:
        ::DeleteEnhMetaFile(reinterpret_cast<HENHMETAFILE>(image));
        break;
    case IMAGE_PICTURE:
        reinterpret_cast<IPicture*>(image)->Release();
        break;
    default:
        break;
    }
    return 0;
}

// Natural width and height in pixels of an image; both 0 when unknown.
int32_t image_size(ImageHandle image, int32_t kind, int32_t* width, int32_t* height) {
    int32_t w = 0, h = 0;
    switch (image != 0 ? kind & 0xF : -1) {
    case IMAGE_BITMAP_KIND:
        bitmap_size(reinterpret_cast<HBITMAP>(image), &w, &h);
        break;
    case IMAGE_ICON_KIND:
    case IMAGE_CURSOR_KIND: {
        // GetIconInfo hands out copies of the icon's bitmaps: measured, then deleted.
        ICONINFO info = {};
        if (::GetIconInfo(reinterpret_cast<HICON>(image), &info)) {
            bitmap_size(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, &w, &h);
            if (info.hbmColor == nullptr) {
                h /= 2; // a monochrome icon's mask holds the AND and XOR halves
            }
            for (HBITMAP bitmap : {info.hbmColor, info.hbmMask}) {
                if (bitmap != nullptr) {
                    ::DeleteObject(bitmap);
                }
            }
        }
        break;
    }
    case IMAGE_METAFILE: {
        // The header bounds what the metafile draws, in pixels, right and bottom included.
        ENHMETAHEADER header = {};
        if (::GetEnhMetaFileHeader(reinterpret_cast<HENHMETAFILE>(image), sizeof(header),
                                   &header) != 0) {
            w = header.rclBounds.right - header.rclBounds.left + 1;
            h = header.rclBounds.bottom - header.rclBounds.top + 1;
        }
        break;
    }
    case IMAGE_PICTURE: {
        OLE_XSIZE_HIMETRIC himetric_w = 0;
        OLE_YSIZE_HIMETRIC himetric_h = 0;
        auto* picture = reinterpret_cast<IPicture*>(image);
        picture->get_Width(&himetric_w);
        picture->get_Height(&himetric_h);
        HDC screen = ::GetDC(nullptr);
        w = ::MulDiv(himetric_w, ::GetDeviceCaps(screen, LOGPIXELSX), HIMETRIC_PER_INCH);
        h = ::MulDiv(himetric_h, ::GetDeviceCaps(screen, LOGPIXELSY), HIMETRIC_PER_INCH);
        ::ReleaseDC(nullptr, screen);
        break;
    }
    default:
        break;
    }
    if (width != nullptr) {
        *width = w;
    }
    if (height != nullptr) {
        *height = h;
    }
    return 0;
}

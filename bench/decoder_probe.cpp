// Loads a file through the platform's own decoders and player, without the runtime and its
// checks, and says what came of it: how the refusal rules of runtime/draw/picture_checks.cpp
// and runtime/core/sound.cpp were decided and their limits measured.
//   decoder_probe KIND FILE [REPEAT]
// KIND: bitmap, icon, cursor (LoadImageA), metafile (GetEnhMetaFileA, played into 32 x 32),
// picture (OleLoadPicture from a stream, rendered into 32 x 32), wave (PlaySoundA from
// memory, waiting), wave-file (PlaySoundA from the file, waiting). Prints the result, the size,
// the milliseconds and the process's peak memory; with REPEAT, loads the file that many times
// more and prints how the process's heap blocks changed (a leak grows them each time). A crash
// prints its exception code; a hang never returns (bound it outside, for example with timeout(1)).
// Relies on the platform alone.
#include <windows.h>

#include <mmsystem.h>
#include <ole2.h>
#include <olectl.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

LONG WINAPI say_crash(EXCEPTION_POINTERS* exception) {
    std::printf("crash 0x%08lx\n", exception->ExceptionRecord->ExceptionCode);
    std::fflush(stdout);
    ::TerminateProcess(::GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Busy blocks of every heap of the process.
long long heap_blocks() {
    HANDLE heaps[64];
    long long blocks = 0;
    for (DWORD i = 0, n = ::GetProcessHeaps(64, heaps); i < n && i < 64; ++i) {
        PROCESS_HEAP_ENTRY entry = {};
        ::HeapLock(heaps[i]);
        while (::HeapWalk(heaps[i], &entry)) {
            blocks += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0;
        }
        ::HeapUnlock(heaps[i]);
    }
    return blocks;
}

// Load the file once as kind; its width and height (0 x 0 when it did not load) in text.
std::string load(const std::string& kind, const char* path, const std::string& bytes) {
    char text[64] = "not loaded";
    HDC dc = ::CreateCompatibleDC(nullptr);
    HBITMAP target = ::CreateBitmap(32, 32, 1, 32, nullptr);
    HGDIOBJ previous = ::SelectObject(dc, target);
    if (kind == "bitmap" || kind == "icon" || kind == "cursor") {
        const UINT type = kind == "bitmap" ? IMAGE_BITMAP
                          : kind == "icon" ? IMAGE_ICON
                                           : IMAGE_CURSOR;
        HANDLE image =
            ::LoadImageA(nullptr, path, type, 0, 0,
                         LR_LOADFROMFILE | (type == IMAGE_BITMAP ? LR_CREATEDIBSECTION : 0));
        ICONINFO info = {};
        BITMAP bitmap = {};
        if (image != nullptr && type != IMAGE_BITMAP &&
            ::GetIconInfo(static_cast<HICON>(image), &info)) {
            ::GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
            ::DeleteObject(info.hbmColor), ::DeleteObject(info.hbmMask);
            ::DestroyIcon(static_cast<HICON>(image));
        } else if (image != nullptr) {
            ::GetObjectA(image, sizeof bitmap, &bitmap);
            ::DeleteObject(image);
        }
        if (image != nullptr) {
            std::snprintf(text, sizeof text, "%ld x %ld", bitmap.bmWidth, bitmap.bmHeight);
        }
    } else if (kind == "metafile") {
        HENHMETAFILE metafile = ::GetEnhMetaFileA(path);
        ENHMETAHEADER h = {};
        RECT all = {0, 0, 32, 32};
        if (metafile != nullptr && ::GetEnhMetaFileHeader(metafile, sizeof h, &h) != 0) {
            ::PlayEnhMetaFile(dc, metafile, &all);
            std::snprintf(text, sizeof text, "%ld x %ld", h.rclBounds.right - h.rclBounds.left + 1,
                          h.rclBounds.bottom - h.rclBounds.top + 1);
        }
        ::DeleteEnhMetaFile(metafile);
    } else if (kind == "picture") {
        // The stream is as long as its block: exactly the file's bytes, as image_load gives.
        HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        std::memcpy(::GlobalLock(memory), bytes.data(), bytes.size());
        ::GlobalUnlock(memory);
        IStream* stream = nullptr;
        IPicture* picture = nullptr;
        ::CreateStreamOnHGlobal(memory, TRUE, &stream);
        if (SUCCEEDED(::OleLoadPicture(stream, static_cast<LONG>(bytes.size()), FALSE, IID_IPicture,
                                       reinterpret_cast<void**>(&picture)))) {
            OLE_XSIZE_HIMETRIC w = 0;
            OLE_YSIZE_HIMETRIC h = 0;
            picture->get_Width(&w), picture->get_Height(&h);
            picture->Render(dc, 0, 0, 32, 32, 0, h, w, -h, nullptr);
            std::snprintf(text, sizeof text, "%ld x %ld HIMETRIC", w, h);
            picture->Release();
        }
        stream->Release();
    } else if (kind == "wave-file") {
        std::snprintf(text, sizeof text, "%s",
                      ::PlaySoundA(path, nullptr, SND_FILENAME | SND_SYNC | SND_NODEFAULT)
                          ? "played"
                          : "not played");
    } else if (kind == "wave") {
        void* block = ::GlobalAlloc(GMEM_FIXED, bytes.size());
        std::memcpy(block, bytes.data(), bytes.size());
        std::snprintf(text, sizeof text, "%s",
                      ::PlaySoundA(static_cast<const char*>(block), nullptr,
                                   SND_MEMORY | SND_SYNC | SND_NODEFAULT)
                          ? "played"
                          : "not played");
        ::GlobalFree(block);
    }
    ::SelectObject(dc, previous);
    ::DeleteObject(target);
    ::DeleteDC(dc);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::SetUnhandledExceptionFilter(say_crash);
    if (argc < 3) {
        std::printf(
            "decoder_probe bitmap|icon|cursor|metafile|picture|wave|wave-file FILE [REPEAT]\n");
        return 2;
    }
    std::string bytes;
    if (FILE* file = std::fopen(argv[2], "rb")) {
        char chunk[65536];
        for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
            bytes.append(chunk, got);
        }
        std::fclose(file);
    }
    if (bytes.empty()) {
        std::printf("%s: no bytes to read\n", argv[2]);
        return 2;
    }
    const DWORD start = ::GetTickCount();
    std::printf("%s: %s", argv[1], load(argv[1], argv[2], bytes).c_str());
    PROCESS_MEMORY_COUNTERS memory = {};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory);
    std::printf(" (%lu ms, peak %llu MB)\n", ::GetTickCount() - start,
                static_cast<unsigned long long>(memory.PeakWorkingSetSize >> 20));
    const int repeat = argc > 3 ? std::atoi(argv[3]) : 0;
    const long long before = heap_blocks();
    for (int i = 0; i < repeat; ++i) {
        load(argv[1], argv[2], bytes);
    }
    if (repeat > 0) {
        ::Sleep(std::strncmp(argv[1], "wave", 4) == 0 ? 1500 : 0); // the player's thread ends
        std::printf("heap blocks after %d more: %+lld\n", repeat, heap_blocks() - before);
    }
    return 0;
}

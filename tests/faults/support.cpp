// What the fault tests share: the long-run switch, children (this program started again
// with its mode in TARROWIND_FAULTS_CHILD, its output read through a pipe, its wait
// bounded), folders and files, and seeds: the build's own pictures, a metafile recorded
// through GDI, JPEG and PNG made by the platform's encoders (WIC) and a short wave.
// Relies on KERNEL32, GDI32 and OLE32; what the children and seeds are for is the tests'.
#include "tests/faults/faults.h"

#include <wincodec.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "tests/support/launch.h"

// ============================================================================
// Module state
// ============================================================================

namespace {

constexpr const char* CHILD_VARIABLE = "TARROWIND_FAULTS_CHILD";
constexpr CLSID IMAGING_FACTORY = {
    0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
constexpr GUID CONTAINER_PNG = {
    0x1b7cfaf4, 0x713f, 0x473c, {0xbb, 0xcd, 0x61, 0x37, 0x42, 0x5f, 0xae, 0xaf}};
constexpr GUID CONTAINER_JPEG = {
    0x19e4a5aa, 0x5662, 0x4fc5, {0xa0, 0xc0, 0x17, 0x58, 0x02, 0x8e, 0x10, 0x57}};
constexpr GUID PIXELS_24_BGR = {
    0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x0c}};

// ============================================================================
// Internal helpers
// ============================================================================

// A 24 x 16 picture through the platform's encoder of a container; empty on failure.
std::string encoded_picture(const GUID& container) {
    constexpr UINT W = 24, H = 16;
    BYTE pixels[W * 3 * H];
    for (UINT i = 0; i < sizeof pixels; ++i) {
        pixels[i] = static_cast<BYTE>((i * 7) ^ (i / (W * 3) * 40));
    }
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IWICImagingFactory* factory = nullptr;
    IStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    IPropertyBag2* options = nullptr;
    WICPixelFormatGUID format = PIXELS_24_BGR;
    HGLOBAL memory = nullptr;
    std::string bytes;
    if (SUCCEEDED(::CoCreateInstance(IMAGING_FACTORY, nullptr, CLSCTX_INPROC_SERVER,
                                     __uuidof(IWICImagingFactory),
                                     reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream)) &&
        SUCCEEDED(factory->CreateEncoder(container, nullptr, &encoder)) &&
        SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(&frame, &options)) &&
        SUCCEEDED(frame->Initialize(options)) && SUCCEEDED(frame->SetSize(W, H)) &&
        SUCCEEDED(frame->SetPixelFormat(&format)) && format == PIXELS_24_BGR &&
        SUCCEEDED(frame->WritePixels(H, W * 3, sizeof pixels, pixels)) &&
        SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit()) &&
        SUCCEEDED(::GetHGlobalFromStream(stream, &memory))) {
        ULARGE_INTEGER size = {};
        stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_END, &size);
        bytes.assign(static_cast<const char*>(::GlobalLock(memory)),
                     static_cast<size_t>(size.QuadPart));
        ::GlobalUnlock(memory);
    }
    for (IUnknown* object : {static_cast<IUnknown*>(options), static_cast<IUnknown*>(frame),
                             static_cast<IUnknown*>(encoder), static_cast<IUnknown*>(stream),
                             static_cast<IUnknown*>(factory)}) {
        if (object != nullptr) {
            object->Release();
        }
    }
    return bytes;
}

// An enhanced metafile recorded through GDI: shapes, a line and text.
std::string recorded_metafile() {
    HDC dc = ::CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    ::Rectangle(dc, 0, 0, 40, 30);
    ::Ellipse(dc, 5, 5, 35, 25);
    ::LineTo(dc, 40, 0);
    ::TextOutA(dc, 2, 2, "emf", 3);
    return faults_metafile_bytes(::CloseEnhMetaFile(dc));
}

// 10 ms of a tone: 22050 Hz, mono, 16-bit PCM.
std::string short_wave() {
    std::string bytes;
    auto put = [&bytes](uint32_t value, int size) {
        bytes.append(reinterpret_cast<char*>(&value), size);
    };
    bytes += "RIFF";
    put(36 + 440, 4);
    bytes += "WAVEfmt ";
    for (uint32_t value : {16u, 1u | 1u << 16, 22050u, 44100u, 2u | 16u << 16}) {
        put(value, 4); // size, PCM and mono, rate, bytes a second, block and bits
    }
    bytes += "data";
    put(440, 4);
    for (uint32_t i = 0; i < 220; ++i) {
        put(static_cast<uint32_t>(static_cast<int16_t>(8000 * std::sin(i * 0.3))), 2);
    }
    return bytes;
}

// Say which exception ended the child, and end it with the exception's code.
LONG WINAPI end_with_exception(EXCEPTION_POINTERS* exception) {
    const DWORD code = exception->ExceptionRecord->ExceptionCode;
    std::printf("crash 0x%08lx at %p\n", code, exception->ExceptionRecord->ExceptionAddress);
    std::fflush(stdout);
    ::TerminateProcess(::GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// True for the long sets.
bool faults_long() {
    const char* value = std::getenv("TARROWIND_LONG");
    return value != nullptr && value[0] == '1';
}

// The mode this process runs in as a child, or null.
const char* faults_child_mode() {
    return std::getenv(CHILD_VARIABLE);
}

// End a child at once when an exception is not handled.
void faults_child_crashes_end_it() {
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::SetUnhandledExceptionFilter(end_with_exception);
}

// Run this program again as a child that runs only test in mode, stopped when it has been
// silent for timeout_ms.
ChildRun faults_run_child(const char* test, const std::string& mode, DWORD timeout_ms) {
    ChildRun run = {"", 0xFFFFFFFF, false};
    ChildProcess child;
    ::SetEnvironmentVariableA(CHILD_VARIABLE, mode.c_str());
    const bool started =
        launch_start(launch_own_folder(), launch_own_name(), std::string("--gtest_filter=") + test,
                     LAUNCH_PIPE_OUTPUT, &child);
    ::SetEnvironmentVariableA(CHILD_VARIABLE, nullptr);
    if (started) {
        run.stopped = !launch_collect(child, timeout_ms, run.output);
        run.exit_code = static_cast<DWORD>(launch_end(child, 0));
    }
    return run;
}

// A fresh, empty folder of this process in the temporary folder.
std::string faults_folder(const char* name) {
    static int32_t serial = 0;
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    char folder[MAX_PATH + 64];
    std::snprintf(folder, sizeof folder, "%starrowind-faults-%s-%lu-%d\\", temp, name,
                  ::GetCurrentProcessId(), ++serial);
    ::CreateDirectoryA(folder, nullptr);
    return folder;
}

// Remove a folder made by faults_folder with the files in it.
void faults_remove_folder(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(search, &found)) {
        ::DeleteFileA((folder + found.cFileName).c_str());
    }
    ::FindClose(search);
    ::RemoveDirectoryA(folder.c_str());
}

// Write bytes to a file.
bool faults_write(const std::string& path, const std::string& bytes) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    const bool ok =
        file != INVALID_HANDLE_VALUE &&
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == bytes.size();
}

// The bytes of a file, empty when it cannot be read.
std::string faults_metafile_bytes(HENHMETAFILE metafile) {
    std::string bytes(::GetEnhMetaFileBits(metafile, 0, nullptr), '\0');
    ::GetEnhMetaFileBits(metafile, static_cast<UINT>(bytes.size()),
                         reinterpret_cast<BYTE*>(bytes.data()));
    ::DeleteEnhMetaFile(metafile);
    return bytes;
}

std::string faults_read(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    std::string bytes(file != INVALID_HANDLE_VALUE ? ::GetFileSize(file, nullptr) : 0, '\0');
    DWORD got = 0;
    ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    ::CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

// A valid file of a kind, by its extension; empty for an unknown kind.
std::string faults_seed(const std::string& extension) {
    const std::string bin = launch_own_folder();
    std::string bytes = extension == "bmp"   ? faults_read(bin + "graphics\\goodguy.bmp")
                        : extension == "gif" ? faults_read(bin + "viewer-files\\picture.gif")
                        : extension == "ico" || extension == "cur"
                            ? faults_read(bin + "viewer-files\\picture.ico")
                        : extension == "emf" ? recorded_metafile()
                        : extension == "jpg" ? encoded_picture(CONTAINER_JPEG)
                        : extension == "png" ? encoded_picture(CONTAINER_PNG)
                        : extension == "wav" ? short_wave()
                                             : "";
    if (extension == "cur" && bytes.size() > 22) {
        bytes[2] = 2; // a cursor: resource type 2, a hot spot where an icon has planes and depth
        bytes[6 + 4] = 3;
        bytes[6 + 6] = 5;
    }
    return bytes;
}

// Reporting of the end-to-end checks and their PNG writer.
// Owns the pass/fail counters (shared by the main thread and the robot's thread) and the
// e2e-failures/ folder. Relies on KERNEL32 for files and the lock; writes PNG files with
// stored (uncompressed) deflate blocks, CRC-32 and Adler-32 computed here.
#include "tests/e2e/common/e2e.h"

#include <cstdarg>
#include <cstdio>

// ============================================================================
// Module state
// ============================================================================

namespace {

struct ReportState {
    CRITICAL_SECTION lock; // serialises output lines and counters
    bool lock_ready;       // lock initialised
    int passed;            // checks that passed
    int failed;            // checks that failed
};
ReportState report_state{};

// ============================================================================
// Internal helpers
// ============================================================================

void lock_report() {
    if (!report_state.lock_ready) {
        ::InitializeCriticalSection(&report_state.lock);
        report_state.lock_ready = true;
    }
    ::EnterCriticalSection(&report_state.lock);
}

void unlock_report() {
    ::LeaveCriticalSection(&report_state.lock);
}

uint32_t crc32_update(uint32_t crc, const uint8_t* data, size_t size) {
    static uint32_t table[256];
    static bool table_ready = false;
    if (!table_ready) {
        for (uint32_t n = 0; n < 256; n++) {
            uint32_t c = n;
            for (int k = 0; k < 8; k++)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        table_ready = true;
    }
    crc = ~crc;
    for (size_t i = 0; i < size; i++)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void put_u32_be(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v >> 24));
    out.push_back(uint8_t(v >> 16));
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

void put_chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    put_u32_be(out, uint32_t(data.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put_u32_be(out, crc32_update(0, out.data() + start, out.size() - start));
}

uint32_t adler32(const uint8_t* data, size_t size) {
    uint32_t a = 1, b = 0;
    for (size_t i = 0; i < size; i++) {
        a = (a + data[i]) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

// A zlib stream of stored deflate blocks (at most 65535 bytes each).
std::vector<uint8_t> zlib_stored(const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> out = {0x78, 0x01};
    size_t pos = 0;
    do {
        size_t len = raw.size() - pos;
        if (len > 65535)
            len = 65535;
        bool last = pos + len == raw.size();
        out.push_back(last ? 1 : 0);
        out.push_back(uint8_t(len));
        out.push_back(uint8_t(len >> 8));
        out.push_back(uint8_t(~len));
        out.push_back(uint8_t(~len >> 8));
        out.insert(out.end(), raw.begin() + pos, raw.begin() + pos + len);
        pos += len;
    } while (pos < raw.size());
    put_u32_be(out, adler32(raw.data(), raw.size()));
    return out;
}

std::string safe_file_name(const std::string& name) {
    std::string out;
    for (char c : name)
        out += (isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') ? c : '_';
    return out;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Formats like printf into a std::string.
std::string format(const char* fmt, ...) {
    char buffer[2048];
    va_list args;
    va_start(args, fmt);
    vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return buffer;
}

// Prints "PASS name" or "FAIL name: seen" and counts the result; returns ok.
bool report(const std::string& name, bool ok, const std::string& seen) {
    lock_report();
    if (ok) {
        report_state.passed++;
        printf("PASS %s\n", name.c_str());
    } else {
        report_state.failed++;
        printf("FAIL %s: %s\n", name.c_str(), seen.c_str());
    }
    fflush(stdout);
    unlock_report();
    return ok;
}

// Prints an informational line that is neither a pass nor a failure.
void report_note(const std::string& text) {
    lock_report();
    printf("NOTE %s\n", text.c_str());
    fflush(stdout);
    unlock_report();
}

// Prints the closing "N passed, M failed" line; returns the number of failures.
int report_summary() {
    lock_report();
    int failed = report_state.failed;
    printf("%d passed, %d failed\n", report_state.passed, failed);
    fflush(stdout);
    unlock_report();
    return failed;
}

// Writes a picture as an uncompressed PNG file; returns false when the file failed.
bool png_write(const std::string& path, const Picture& picture) {
    if (picture.width <= 0 || picture.height <= 0)
        return false;
    std::vector<uint8_t> raw;
    raw.reserve(size_t(picture.height) * (picture.width * 3 + 1));
    for (int y = 0; y < picture.height; y++) {
        raw.push_back(0); // filter: none
        for (int x = 0; x < picture.width; x++) {
            uint32_t p = picture.pixels[size_t(y) * picture.width + x];
            raw.push_back(uint8_t(p >> 16));
            raw.push_back(uint8_t(p >> 8));
            raw.push_back(uint8_t(p));
        }
    }
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> header;
    put_u32_be(header, uint32_t(picture.width));
    put_u32_be(header, uint32_t(picture.height));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8-bit RGB, deflate, no filter, no interlace
    put_chunk(file, "IHDR", header);
    put_chunk(file, "IDAT", zlib_stored(raw));
    put_chunk(file, "IEND", {});

    HANDLE f = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(f, file.data(), DWORD(file.size()), &written, nullptr);
    ::CloseHandle(f);
    return ok && written == file.size();
}

// Checks the PNG writer's sums and block framing against known values; false with why.
bool png_self_check(std::string& why) {
    const char* digits = "123456789";
    const char* word = "Wikipedia";
    uint32_t crc = crc32_update(0, reinterpret_cast<const uint8_t*>(digits), 9);
    uint32_t adler = adler32(reinterpret_cast<const uint8_t*>(word), 9);
    // 70000 bytes need two stored blocks: header, 5 + 65535, 5 + 4465, Adler-32.
    std::vector<uint8_t> stream = zlib_stored(std::vector<uint8_t>(70000, 7));
    bool framing = stream.size() == 2 + 5 + 65535 + 5 + 4465 + 4 && stream[2] == 0 &&
                   stream[2 + 5 + 65535] == 1;
    why = format("CRC-32 0x%08X (want 0xCBF43926), Adler-32 0x%08X (want 0x11E60398), "
                 "stored blocks %s",
                 crc, adler, framing ? "framed right" : "framed wrong");
    return crc == 0xCBF43926u && adler == 0x11E60398u && framing;
}

// Empties e2e-failures/ so that only this run's pictures are found there.
void clear_failure_pictures() {
    std::string folder = launch_own_folder() + "e2e-failures\\";
    WIN32_FIND_DATAA found{};
    HANDLE search = ::FindFirstFileA((folder + "*.png").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        ::DeleteFileA((folder + found.cFileName).c_str());
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
}

// Saves expected and actual pictures of a failed comparison under e2e-failures/.
void save_failure_pictures(const std::string& name, const Picture& expected,
                           const Picture& actual) {
    std::string folder = launch_own_folder() + "e2e-failures\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    std::string base = folder + safe_file_name(name);
    png_write(base + "-expected.png", expected);
    png_write(base + "-actual.png", actual);
    report_note("pictures saved as " + base + "-expected.png / -actual.png");
}

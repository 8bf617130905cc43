// PNG reading and writing through libpng's simplified interface, and the process-wide cache
// of the bitmaps stored as module resources.
#include "lice/LICE.h"

#include "host/Os.h"

#include <png.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>

// libpng's BGRA byte order is LICE_pixel's layout in memory only on little-endian machines.
static_assert(PNG_FORMAT_BGRA ==
                  (PNG_FORMAT_FLAG_COLOR | PNG_FORMAT_FLAG_ALPHA | PNG_FORMAT_FLAG_BGR),
              "unexpected libpng format flags");

namespace {
// Bigger images than this are refused rather than allocated (a damaged or hostile header).
constexpr png_uint_32 kMaxSide = 16384;
} // namespace

bool LICE_LoadPNGFromMemory(const void* data, size_t size, LICE_MemBitmap* out) {
    if (!data || size == 0 || !out) return false;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size)) return false;
    if (image.width == 0 || image.height == 0 || image.width > kMaxSide ||
        image.height > kMaxSide) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_BGRA;
    LICE_MemBitmap decoded(int(image.width), int(image.height));
    if (!png_image_finish_read(&image, nullptr, decoded.getBits(),
                               png_int_32(image.width * sizeof(LICE_pixel)), nullptr)) {
        png_image_free(&image);
        return false;
    }
    *out = std::move(decoded);
    return true;
}

bool LICE_LoadPNG(const std::string& path, LICE_MemBitmap* out) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    return LICE_LoadPNGFromMemory(bytes.data(), bytes.size(), out);
}

bool LICE_EncodePNG(const LICE_IBitmap* bitmap, std::vector<unsigned char>* out) {
    if (!bitmap || !out || !bitmap->getBits() || bitmap->getWidth() <= 0 ||
        bitmap->getHeight() <= 0)
        return false;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(bitmap->getWidth());
    image.height = png_uint_32(bitmap->getHeight());
    image.format = PNG_FORMAT_BGRA;
    png_int_32 stride = png_int_32(bitmap->getRowSpan() * int(sizeof(LICE_pixel)));
    png_alloc_size_t size = 0;
    // The first call measures, the second writes.
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, bitmap->getBits(), stride, nullptr))
        return false;
    out->resize(size);
    if (!png_image_write_to_memory(&image, out->data(), &size, 0, bitmap->getBits(), stride,
                                   nullptr)) {
        out->clear();
        return false;
    }
    out->resize(size);
    return true;
}

bool LICE_SavePNG(const std::string& path, const LICE_IBitmap* bitmap) {
    std::vector<unsigned char> bytes;
    if (!LICE_EncodePNG(bitmap, &bytes)) return false;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    file.close();
    return bool(file);
}

const LICE_IBitmap* LICE_LoadPNGResource(int id) {
    static std::mutex mutex;
    // Kept until the module is unloaded: controls hold the pointers for their whole life.
    static std::map<int, std::unique_ptr<LICE_MemBitmap>> cache;
    std::lock_guard<std::mutex> lock(mutex);
    auto found = cache.find(id);
    if (found != cache.end()) return found->second.get();
    // Windows finds a numbered resource by "#id"; the Linux table lists it by its number.
    std::string number = std::to_string(id);
    os::ResourceData data = os::FindModuleResource("PNG", ("#" + number).c_str());
    if (!data.data) data = os::FindModuleResource("PNG", number.c_str());
    auto bitmap = std::make_unique<LICE_MemBitmap>();
    if (!data.data || !LICE_LoadPNGFromMemory(data.data, data.size, bitmap.get())) bitmap.reset();
    // A missing resource is remembered too, so it is not searched for at every redraw.
    return (cache[id] = std::move(bitmap)).get();
}

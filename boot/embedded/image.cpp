// The embedded library of the program: the boot image included by image.S.
#include <cstdint>

#include "boot/boot.h"

extern "C" const uint8_t zol_boot_image_start[];
extern "C" const uint8_t zol_boot_image_end[];

namespace zol::boot {

extern const EmbeddedLibrary embedded_library = {
    zol_boot_image_start, size_t(zol_boot_image_end - zol_boot_image_start), nullptr, 0};

}  // namespace zol::boot

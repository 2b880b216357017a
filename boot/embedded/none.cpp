// No embedded library: the boot image tool brings the runtime up without one,
// since it is what makes the image.
#include "boot/boot.h"

namespace zol::boot {

extern const EmbeddedLibrary embedded_library = {nullptr, 0, nullptr, 0};

}  // namespace zol::boot

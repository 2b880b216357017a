// The embedded library of a build configured with ZOL_LIBRARY_AS_TEXT: the raw
// texts of the list's files (generated library_text.cpp), lexed at every start.
#include "boot/boot.h"

namespace zol::boot {

extern const SourceText library_texts[];
extern const size_t library_texts_count;

extern const EmbeddedLibrary embedded_library = {nullptr, 0, library_texts, library_texts_count};

}  // namespace zol::boot

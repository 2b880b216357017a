// file!: the molded file, the conversion between files and POSIX paths, and the
// file actions, which hand the path to the simple I/O services (see url.h).
#include <string>

#include "runtime/core/stack.h"
#include "platform/platform.h"
#include "runtime/core/action_types.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/string/actions.h"
#include "runtime/datatypes/url.h"
#include "runtime/core/error.h"
#include "runtime/text/unicode.h"
#include "runtime/core/values.h"

namespace zol::file {

Services services;

// --- operating-system paths ----------------------------------------------------------------

void to_local_path(const Cell* file, Cell* out, bool prefix) {
  string::Text t = string::view(file);
  bool relative = t.length == 0 || t[0] != '/';
  if (prefix && relative) {
    Cell* dir = get_current_dir();
    string::concatenate(out, dir, -1, 0, true, string::CONCAT_APPEND);
    stack::pop(1);
  }
  string::concatenate(out, file, -1, 0, true, string::CONCAT_APPEND);
}

const char* to_local_text(const Cell* file) {
  Cell* path = stack::push_unset();
  string::make_at(path, uint32_t(string::length(file)) + 1);
  to_local_path(file, path, false);
  int32_t bytes = -1;
  const char* text = unicode::to_utf8(path, &bytes);
  stack::pop(1);
  return text;
}

Cell* get_current_dir() {
  std::string dir = platform::current_directory();
  if (dir.empty() || dir.back() != '/') dir += '/';
  return string::load(reinterpret_cast<const uint8_t*>(dir.data()), uint32_t(dir.size()), nullptr,
                      string::ENCODING_UTF8);
}

void from_local_path(Cell*) {}

Cell* load(const uint8_t* bytes, uint32_t size, int encoding) {
  Cell* made = string::load_at(bytes, size, encoding);
  cell::set_type(made, T_FILE);
  return made;
}

Cell* push(const Cell* file) { return stack::push(file); }

// --- file! actions -------------------------------------------------------------------------

namespace {

// Characters up to 126 outside the url set make a file mold in double quotes.
bool needs_quotes(const string::Text& t) {
  for (int32_t i = 0; i < t.length; i++) {
    char escape[3];
    if (t[i] <= 126 && url::encode_byte(uint8_t(t[i]), url::MODE_URL, escape) != 1) return true;
  }
  return false;
}

// %name, or %"name" when the name holds characters a url would escape; the
// characters themselves are written unchanged.
int mold(const Cell* file, Cell* out, const MoldOptions& how, int limit) {
  string::Text t = string::view(file);
  bool quoted = t.length == 0 || needs_quotes(t);
  string::concatenate_literal(out, quoted ? "%\"" : "%");
  int32_t n = t.length;
  if (how.part && limit - 1 < n) n = limit - 1 < 0 ? 0 : limit - 1;
  string::concatenate(out, file, n, 0, true, string::CONCAT_APPEND);
  if (quoted) string::concatenate_literal(out, "\"");
  return limit - n - 1;
}

Cell* read(Cell* file, const Cell* part, const Cell* seek, bool binary, bool lines, bool info,
           const Cell* as) {
  if (part || seek) fire(err::internal::NOT_DONE);
  url::need_service(services.read != nullptr);
  *file = *services.read(file, to_local_text(file), binary, lines, info, as);
  return file;
}

Cell* write(Cell* file, Cell* data, bool binary, bool lines, bool info, bool append,
            const Cell* part, const Cell* seek, const Cell* allow, const Cell* as) {
  if (allow || as) fire(err::internal::NOT_DONE);
  url::need_service(services.write != nullptr);
  *file = *services.write(file, to_local_text(file), data, binary, lines, info, append, part, seek);
  return file;
}

Cell* remove(Cell* file) {
  url::need_service(services.remove != nullptr);
  *file = values::logic(services.remove(file, to_local_text(file)));
  return file;
}

Cell* query(Cell* file) {
  url::need_service(services.query != nullptr);
  *file = services.query(file, to_local_text(file));
  return file;
}

Cell* rename(Cell* from, Cell* to) {
  url::need_service(services.rename != nullptr);
  std::string old_path = to_local_text(from);
  *from = values::logic(services.rename(old_path.c_str(), to_local_text(to)));
  return from;
}

}  // namespace

void init() {
  datatype::register_type(T_FILE, T_URL, "file!",
                          datatype::make_row(INHERIT, {slot_entry<A_MOLD>(mold),
                                                       slot_entry<A_DELETE>(remove),
                                                       {A_OPEN, nullptr},
                                                       slot_entry<A_QUERY>(query),
                                                       slot_entry<A_READ>(read),
                                                       slot_entry<A_RENAME>(rename),
                                                       slot_entry<A_WRITE>(write)}));
}

}  // namespace zol::file

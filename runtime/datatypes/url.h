// url! and file!: texts that name resources. url! is a string! subtype and file! a
// url! subtype; both use the string cell and its storage. This module holds their
// percent-encoding and -decoding (also used by the lexer for url and file literals
// and by dehex and enhex), their molded forms, path steps on urls, the conversion
// of files to and from operating-system paths, and the hand-over of their I/O
// actions to the services that do the work.
//
// Operating-system paths are POSIX paths: a file's text is the path itself
// (%/home/me/a.txt is "/home/me/a.txt"), and a relative file is made absolute by
// putting the current directory, which ends in "/", in front. Paths cross to the
// system as NUL-terminated UTF-8.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/simple_io.h"

namespace zol::url {

void init();   // registers url!

// --- percent-encoding -------------------------------------------------------------------

// The safe sets of encode_byte: MODE_STRICT keeps only letters, digits and "-._~";
// every other mode keeps the characters of urls as well ("!#$&'()*+,-./:=?@_~").
// A byte of 0x80 or more is never safe.
constexpr int MODE_STRICT = 0xFE;
constexpr int MODE_URL = 0xFF;

// "%" and two hexadecimal digits (of either case) at p, before end: true and the
// byte they stand for.
bool decode_hex_pair(const uint8_t* p, const uint8_t* end, uint8_t* byte);
// The byte itself when it is safe in the mode's set (count 1), else "%" and its two
// upper-case hexadecimal digits (count 3). Writes into out (3 bytes of room).
int encode_byte(uint8_t byte, int mode, char* out);

// Appends the text of a string-family value with its escapes decoded: the escapes
// of a whole UTF-8 sequence (a lead byte from 0xC0 followed at once by as many
// escaped continuation bytes as it announces) become one character, decoded by the
// validating decoder, which raises access invalid-utf8 for overlong forms,
// surrogates and values beyond U+10FFFF; an escape below 0xC0 becomes the character
// of that code; anything else is copied unchanged.
void decode_percent(const Cell* text, Cell* out);
// Appends the encoding of every UTF-8 byte of the text (encode_byte in `mode`).
void encode_percent(const Cell* text, Cell* out, int mode);
// Loads UTF-8 bytes and pushes their decoded text on the value stack as a new
// string!; answers it.
Cell* load_decoded(const uint8_t* bytes, uint32_t size);

// Copies the cell onto the value stack.
Cell* push(const Cell* url);

// --- hand-over to the network and port services ------------------------------------------

// A url that begins with "http" is read and written by the HTTP service; any other
// url is parsed into a port! by the library's url parser and goes through the port.
// The services install these when they start; until then the actions that need
// one raise internal feature-na.
// The shape of an HTTP answer: the body as a binary! or a block of lines rather
// than a string!, and with info [status headers body].
struct HttpOptions {
  bool binary = false;
  bool lines = false;
  bool info = false;
};
struct Services {
  // method: get, post or the word a data block names; headers and data may be null.
  // Answers none when no response came.
  Cell* (*http_request)(const Cell* method, const Cell* url, const Cell* headers,
                        const Cell* data, const HttpOptions& how) = nullptr;
  // The port! for a url (made from what the library's parse-url answers), opened
  // when asked to; the port's own actions then read and write.
  Cell (*parse)(const Cell* url, bool open) = nullptr;
};
extern Services services;

// Raises internal feature-na for a service nobody installed.
void need_service(bool installed);

}  // namespace zol::url

namespace zol::file {

void init();   // registers file!, after url!

// --- operating-system paths ----------------------------------------------------------------

// Appends the system path of a file (from its head) to out; with `prefix` a relative
// path gets the current directory in front.
void to_local_path(const Cell* file, Cell* out, bool prefix);
// The system path as NUL-terminated UTF-8, valid until the next text conversion.
const char* to_local_text(const Cell* file);
// Pushes the process's current directory as a string! ending in "/".
Cell* get_current_dir();
// Rewrites a system path in place into the language's form. POSIX paths already
// are: nothing changes.
void from_local_path(Cell* text);
// Loads a file name from encoded bytes (as string::load) and pushes it as a file!.
Cell* load(const uint8_t* bytes, uint32_t size, int encoding);
Cell* push(const Cell* file);

// --- hand-over to the file services -------------------------------------------------------

// The simple I/O services (simple_io.h) receive the file and the action's
// refinements; start-up installs them. Until then the file actions raise internal
// feature-na.
struct Services {
  void (*read)(const Cell* file, const simple_io::ReadOptions& how, Cell* out) = nullptr;
  // The bytes written in all, -1 for a negative /part.
  int64_t (*write)(const Cell* file, const Cell* value, const simple_io::WriteOptions& how) =
      nullptr;
  bool (*remove)(const Cell* file) = nullptr;
  // The last-write time as a date!, or none when the file does not exist.
  Cell (*query)(const Cell* file) = nullptr;
  bool (*rename)(const Cell* from, const Cell* to) = nullptr;
};
extern Services services;

}  // namespace zol::file

// The build step that makes the boot image: brings the runtime up without any
// library, lexes the bootstrap text and the library's files in the order the build
// lists them, and writes the one compact image start-up reads (see boot/boot.h for
// its shape). Doing the lexing here leaves nothing per start that the build can do.
//
//   zol_boot_image OUTPUT NAME=PATH...
//
// A file that does not lex fails the build with its name and line. The output is
// rewritten only when its bytes change, so the build recompiles nothing downstream
// of an unchanged image.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "boot/runtime.h"
#include "interpreter/lexer/load.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/binary/binary.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/zolbin/zolbin.h"

namespace {

using namespace zol;

// Boot images carry version 1; user images the writer's own version.
constexpr uint8_t BOOT_IMAGE_VERSION = 1;

[[noreturn]] void die(const std::string& message) {
  std::fprintf(stderr, "zol_boot_image: %s\n", message.c_str());
  std::exit(1);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) die("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The first malformed token of a scan: where it is and what was met.
struct Fault {
  bool met = false;
  uint32_t line = 0;
  std::string token;
  const std::string* text = nullptr;
};

lexer::Reply note_fault(void* context, const lexer::TraceEvent& event) {
  Fault* fault = static_cast<Fault*>(context);
  if (!fault->met) {
    fault->met = true;
    fault->line = event.line;
    // The token's first line, at least a few characters of it, at most a few dozen.
    std::string token = fault->text->substr(event.start, std::max<uint32_t>(event.end - event.start, 20));
    fault->token = token.substr(0, std::min<size_t>(token.find('\n'), 40));
  }
  return lexer::Reply::END;
}

std::string line_of(const std::string& text, uint32_t line) {
  return line ? std::to_string(line) : std::to_string(1 + std::count(text.begin(), text.end(), '\n'));
}

// The file's values as one block!, or a build failure naming the file and line.
Cell lex(const std::string& name, const std::string& text) {
  Fault fault;
  fault.text = &text;
  lexer::Tracer tracer{lexer::EV_ERROR, note_fault, &fault};
  lexer::Request request;
  request.tracer = &tracer;
  Cell code;
  bool scanned = stack::try_run([&] {
    lexer::scan(&code, reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()), request);
  });
  if (fault.met)
    die(name + ":" + line_of(text, fault.line) + ": syntax error near: " + fault.token);
  if (!scanned) die(name + ": the lexer refused a value of it (a datatype not built yet?)");
  return code;
}

Cell file_name(const std::string& name) {
  std::string text = "%" + name;
  Cell loaded;
  lexer::load_utf8(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()), &loaded);
  return *block::cell_at(&loaded, 0);
}

std::vector<uint8_t> image_of(const Cell& files) {
  Cell encoded;
  if (!stack::try_run([&] { encoded = zolbin::encode(&files, zolbin::Encoding::COMPACT); }))
    die("the writer refused a value of the library");
  const uint8_t* bytes = binary::head_bytes(&encoded);
  std::vector<uint8_t> image(bytes, bytes + binary::length(&encoded));
  image[6] = BOOT_IMAGE_VERSION;
  return image;
}

void write_if_changed(const std::string& path, const std::vector<uint8_t>& image) {
  std::string bytes(image.begin(), image.end());
  std::ifstream old(path, std::ios::binary);
  if (old && std::string(std::istreambuf_iterator<char>(old), std::istreambuf_iterator<char>()) == bytes)
    return;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  if (!out) die("cannot write " + path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) die("usage: zol_boot_image OUTPUT NAME=PATH...");
  runtime::init();
  Cell files = *block::make_in(nullptr, 2 * (argc - 2));
  for (int i = 2; i < argc; i++) {
    std::string arg = argv[i];
    size_t eq = arg.find('=');
    if (eq == std::string::npos) die("expected NAME=PATH, got " + arg);
    std::string name = arg.substr(0, eq);
    Cell name_cell = file_name(name);
    block::append(&files, &name_cell);
    Cell code = lex(name, read_file(arg.substr(eq + 1)));
    block::append(&files, &code);
  }
  write_if_changed(argv[1], image_of(files));
  runtime::cleanup();
  return 0;
}

// Raising language errors, and the error catalogue's category and id indexes.
//
// Every failure the language reports is an error! value made from a category and an
// id of the catalogue, plus up to three argument values. Runtime code raises one
// with fire(), which never returns: the error travels as an exit (exits.h) to the
// nearest guard that takes errors. The categories and ids are the positions of the
// categories in the catalogue and of the ids in their category (ids start at 2;
// an error's code is category * 100 + id - 2), listed once in error_ids.h. The
// message templates themselves belong to the catalogue, which the standard library
// defines.
#pragma once
#include "runtime/core/cell.h"
#include "runtime/core/error_ids.h"

namespace zol::err {

#define ZOL_ERR_CATEGORY(CATEGORY, type, name) CATEGORY,
enum Category : int { ZOL_ERROR_CATEGORIES(ZOL_ERR_CATEGORY) CATEGORY_COUNT };
#undef ZOL_ERR_CATEGORY

// One id type per category (err::script::NO_VALUE, ...). An id's value is its
// position in the category's object, after the words `code` and `type`.
#define ZOL_ERR_ID(ID, name) ID,
#define ZOL_ERR_ID_TYPE(CATEGORY, type, name) \
  enum class type : int { CODE_WORD_, TYPE_WORD_, ZOL_ERRORS_##CATEGORY(ZOL_ERR_ID) };
ZOL_ERROR_CATEGORIES(ZOL_ERR_ID_TYPE)
#undef ZOL_ERR_ID_TYPE
#undef ZOL_ERR_ID

// A category and an id of the catalogue. It is made only from an id of one of the
// types above, which gives its category, so the two cannot disagree.
struct Id {
  Category category;
  int id;
#define ZOL_ERR_FROM(CATEGORY, type, name) \
  constexpr Id(type i) : category(CATEGORY), id(int(i)) {}
  ZOL_ERROR_CATEGORIES(ZOL_ERR_FROM)
#undef ZOL_ERR_FROM
  // The error's code: category * 100 + id - 2.
  constexpr int code() const { return category * 100 + id - 2; }
  friend constexpr bool operator==(Id, Id) = default;
};

}  // namespace zol::err

namespace zol {

// Builds the error! value and raises it. Missing arguments are null.
[[noreturn]] void fire(err::Id id, const Cell* arg1 = nullptr,
                       const Cell* arg2 = nullptr, const Cell* arg3 = nullptr);

// error! values: objects (see runtime/datatypes/object.h) of class 1 whose context
// holds ten fields in this order.
namespace error {

enum Field : int {
  F_CODE = 0, F_TYPE, F_ID, F_ARG1, F_ARG2, F_ARG3, F_NEAR, F_WHERE, F_STACK, F_FILES,
  FIELD_COUNT
};
constexpr uint32_t ERROR_CLASS = 1;

void init();   // registers error!
// Takes the catalogue, the error prototype and the state object from the system
// object once the bootstrap text has defined it.
void bind_system();
bool catalogue_ready();

// A new error! for a category and id of the catalogue with up to three arguments.
Cell create(err::Id id, const Cell* arg1, const Cell* arg2, const Cell* arg3);

// Errors on their way. Raising is frequent and mostly caught by C++ code that only
// asks for the category and id, so fire() raises a pending error!: a cell carrying
// the header flag PENDING, the code in the low half of word 2 and the error's
// number in the high half, whose arguments, near, where and stack wait in
// `in_flight` (a collector root). It becomes an object when it is settled: by the
// receivers that hand it to Zol code (try, the console, the report) and by any
// access to its fields. Only the newest error keeps its fields: settling an older
// one gives the bare code.
constexpr uint32_t PENDING = 0x100000;
constexpr int IN_FLIGHT_NEAR = 3, IN_FLIGHT_WHERE = 4, IN_FLIGHT_STACK = 5, IN_FLIGHT_CELLS = 6;
extern Cell in_flight[IN_FLIGHT_CELLS];
inline bool is_pending(const Cell* error) { return (error->header & PENDING) != 0; }
Cell raised(err::Id id, const Cell* arg1, const Cell* arg2, const Cell* arg3);
void settle(Cell* error);
Cell* field(const Cell* error, int index);
int code_of(const Cell* error);
int category_of(const Cell* error);
int id_of(const Cell* error);
// Stores where only while the field is still none.
void set_where(const Cell* error, const Cell* value);
// While stack traces are enabled or a try/keep is running (keeping > 0), makes the
// list of calls of an error being raised before its frames close.
extern int keeping;
void capture_stack(const Cell* error);
// Replaces a captured frame position in `stack` by the list of calls.
void set_stack(const Cell* error);
// The n-th (0-based) argument word of the function being called, none when it has
// none: names the argument in expect-arg errors.
Cell arg_word(int n);
// The argument word that follows a refinement in that spec, none when it has none.
Cell refinement_arg_word(const char* refinement);
// The report: "*** Category: message", "*** Where: ...", "*** Near : ..." lines.
Cell report(const Cell* error);

// The arguments of the most recent error raised (the first cells of in_flight).
extern Cell* const last_args;

}  // namespace error
}  // namespace zol

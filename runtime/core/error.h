// Raising language errors, and the error catalogue's category and id indexes.
//
// Every failure the language reports is an error! value made from a category and an
// id of the catalogue, plus up to three argument values. Runtime code raises one
// with fire(), which never returns: the error travels as an exit (exits.h) to the
// nearest guard that takes errors. The indexes below are the positions of the
// categories in the catalogue and of the ids in their category (ids start at 2;
// an error's code is category * 100 + id - 2). The message templates themselves
// belong to the catalogue, which the standard library defines.
#pragma once
#include "runtime/core/cell.h"

namespace zol::err {

enum Category : int {
  THROW = 0, NOTE = 1, SYNTAX = 2, SCRIPT = 3, MATH = 4, ACCESS = 5,
  RESERVED1 = 6, RESERVED2 = 7, USER = 8, INTERNAL = 9,
};

namespace throw_ {
constexpr int BREAK = 2;  // break
constexpr int RETURN = 3;  // return
constexpr int THROW = 4;  // throw
constexpr int CONTINUE = 5;  // continue
constexpr int WHILE_COND = 6;  // while-cond
}
namespace note {
constexpr int NO_LOAD = 2;  // no-load
}
namespace syntax {
constexpr int INVALID = 2;  // invalid
constexpr int MISSING = 3;  // missing
constexpr int NO_HEADER = 4;  // no-header
constexpr int NO_ZS_HEADER = 5;  // no-zs-header
constexpr int BAD_HEADER = 6;  // bad-header
constexpr int MALCONSTRUCT = 7;  // malconstruct
constexpr int BAD_CHAR = 8;  // bad-char
}
namespace script {
constexpr int NO_VALUE = 2;  // no-value
constexpr int NEED_VALUE = 3;  // need-value
constexpr int NOT_DEFINED = 4;  // not-defined
constexpr int NOT_IN_CONTEXT = 5;  // not-in-context
constexpr int NO_ARG = 6;  // no-arg
constexpr int EXPECT_ARG = 7;  // expect-arg
constexpr int EXPECT_VAL = 8;  // expect-val
constexpr int EXPECT_TYPE = 9;  // expect-type
constexpr int CANNOT_USE = 10;  // cannot-use
constexpr int INVALID_ARG = 11;  // invalid-arg
constexpr int INVALID_TYPE = 12;  // invalid-type
constexpr int INVALID_TYPE_SPEC = 13;  // invalid-type-spec
constexpr int INVALID_KEY_TYPE = 14;  // invalid-key-type
constexpr int INVALID_OP = 15;  // invalid-op
constexpr int NO_OP_ARG = 16;  // no-op-arg
constexpr int BAD_OP_SPEC = 17;  // bad-op-spec
constexpr int INVALID_DATA = 18;  // invalid-data
constexpr int INVALID_PART = 19;  // invalid-part
constexpr int NOT_SAME_TYPE = 20;  // not-same-type
constexpr int NOT_SAME_CLASS = 21;  // not-same-class
constexpr int NOT_RELATED = 22;  // not-related
constexpr int BAD_FUNC_DEF = 23;  // bad-func-def
constexpr int BAD_FUNC_ARG = 24;  // bad-func-arg
constexpr int BAD_FUNC_EXTERN = 25;  // bad-func-extern
constexpr int NO_REFINE = 26;  // no-refine
constexpr int BAD_REFINES = 27;  // bad-refines
constexpr int BAD_REFINE = 28;  // bad-refine
constexpr int DUP_REFINE = 29;  // dup-refine
constexpr int WORD_FIRST = 30;  // word-first
constexpr int EMPTY_PATH = 31;  // empty-path
constexpr int UNSET_PATH = 32;  // unset-path
constexpr int INVALID_PATH = 33;  // invalid-path
constexpr int INVALID_PATH_SET = 34;  // invalid-path-set
constexpr int INVALID_PATH_GET = 35;  // invalid-path-get
constexpr int BAD_PATH_TYPE = 36;  // bad-path-type
constexpr int BAD_PATH_TYPE2 = 37;  // bad-path-type2
constexpr int BAD_PATH_SET = 38;  // bad-path-set
constexpr int BAD_FIELD_SET = 39;  // bad-field-set
constexpr int DUP_VARS = 40;  // dup-vars
constexpr int PAST_END = 41;  // past-end
constexpr int MISSING_ARG = 42;  // missing-arg
constexpr int OUT_OF_RANGE = 43;  // out-of-range
constexpr int INVALID_CHARS = 44;  // invalid-chars
constexpr int INVALID_COMPARE = 45;  // invalid-compare
constexpr int WRONG_TYPE = 46;  // wrong-type
constexpr int INVALID_REFINE_ARG = 47;  // invalid-refine-arg
constexpr int TYPE_LIMIT = 48;  // type-limit
constexpr int SIZE_LIMIT = 49;  // size-limit
constexpr int NO_RETURN = 50;  // no-return
constexpr int THROW_USAGE = 51;  // throw-usage
constexpr int LOCKED_WORD = 52;  // locked-word
constexpr int PROTECTED = 53;  // protected
constexpr int BAD_BAD = 54;  // bad-bad
constexpr int BAD_MAKE_ARG = 55;  // bad-make-arg
constexpr int BAD_TO_ARG = 56;  // bad-to-arg
constexpr int INVALID_MONTHS = 57;  // invalid-months
constexpr int INVALID_SPEC_FIELD = 58;  // invalid-spec-field
constexpr int MISSING_SPEC_FIELD = 59;  // missing-spec-field
constexpr int MOVE_BAD = 60;  // move-bad
constexpr int TOO_LONG = 61;  // too-long
constexpr int INVALID_CHAR = 62;  // invalid-char
constexpr int BAD_LOOP_SERIES = 63;  // bad-loop-series
constexpr int WRONG_DENOM = 64;  // wrong-denom
constexpr int BAD_DENOM = 65;  // bad-denom
constexpr int INVALID_OBJ_EVT = 66;  // invalid-obj-evt
constexpr int PARSE_RULE = 67;  // parse-rule
constexpr int PARSE_END = 68;  // parse-end
constexpr int PARSE_INVALID_REF = 69;  // parse-invalid-ref
constexpr int PARSE_BLOCK = 70;  // parse-block
constexpr int PARSE_UNSUPPORTED = 71;  // parse-unsupported
constexpr int PARSE_INFINITE = 72;  // parse-infinite
constexpr int PARSE_STACK = 73;  // parse-stack
constexpr int PARSE_KEEP = 74;  // parse-keep
constexpr int PARSE_INTO_BAD = 75;  // parse-into-bad
constexpr int PARSE_INTO_TYPE = 76;  // parse-into-type
constexpr int DRAW_INVALID = 77;  // draw-invalid
constexpr int DRAW_INFINITE = 78;  // draw-infinite
constexpr int INVALID_DATA_FACET = 79;  // invalid-data-facet
constexpr int FACE_TYPE = 80;  // face-type
constexpr int NOT_WINDOW = 81;  // not-window
constexpr int BAD_WINDOW = 82;  // bad-window
constexpr int NOT_LINKED = 83;  // not-linked
constexpr int NOT_EVENT_TYPE = 84;  // not-event-type
constexpr int INVALID_FACET_TYPE = 85;  // invalid-facet-type
constexpr int VID_INVALID_SYNTAX = 86;  // vid-invalid-syntax
constexpr int RTD_INVALID_SYNTAX = 87;  // rtd-invalid-syntax
constexpr int RTD_NO_MATCH = 88;  // rtd-no-match
constexpr int REACT_BAD_FUNC = 89;  // react-bad-func
constexpr int REACT_NOT_ENOUGH = 90;  // react-not-enough
constexpr int REACT_NO_MATCH = 91;  // react-no-match
constexpr int REACT_BAD_OBJ = 92;  // react-bad-obj
constexpr int REACT_GCTX = 93;  // react-gctx
constexpr int LIB_INVALID_ARG = 94;  // lib-invalid-arg
constexpr int ZB_INVALID_RECORD = 95;  // zb-invalid-record
}
namespace math {
constexpr int ZERO_DIVIDE = 2;  // zero-divide
constexpr int OVERFLOW = 3;  // overflow
constexpr int POSITIVE = 4;  // positive
}
namespace access {
constexpr int CANNOT_OPEN = 2;  // cannot-open
constexpr int CANNOT_CLOSE = 3;  // cannot-close
constexpr int INVALID_UTF8 = 4;  // invalid-utf8
constexpr int NOT_OPEN = 5;  // not-open
constexpr int NO_CONNECT = 6;  // no-connect
constexpr int NO_SCHEME = 7;  // no-scheme
constexpr int UNKNOWN_SCHEME = 8;  // unknown-scheme
constexpr int INVALID_SPEC = 9;  // invalid-spec
constexpr int INVALID_PORT = 10;  // invalid-port
constexpr int INVALID_ACTOR = 11;  // invalid-actor
constexpr int NO_PORT_ACTION = 12;  // no-port-action
constexpr int NO_CREATE = 13;  // no-create
constexpr int NO_CODEC = 14;  // no-codec
constexpr int BAD_MEDIA = 15;  // bad-media
constexpr int INVALID_CMD = 16;  // invalid-cmd
}
namespace reserved1 {
}
namespace reserved2 {
}
namespace user {
constexpr int MESSAGE = 2;  // message
}
namespace internal {
constexpr int BAD_PATH = 2;  // bad-path
constexpr int NOT_HERE = 3;  // not-here
constexpr int NO_MEMORY = 4;  // no-memory
constexpr int WRONG_MEM = 5;  // wrong-mem
constexpr int STACK_OVERFLOW = 6;  // stack-overflow
constexpr int LIMIT_HIT = 7;  // limit-hit
constexpr int TOO_DEEP = 8;  // too-deep
constexpr int NO_CYCLE = 9;  // no-cycle
constexpr int FEATURE_NA = 10;  // feature-na
constexpr int NOT_DONE = 11;  // not-done
constexpr int INVALID_ERROR = 12;  // invalid-error
constexpr int ROUTINES = 13;  // routines
constexpr int ZOL_SYSTEM = 14;  // zol-system
constexpr int DEPRECATED = 15;  // deprecated
}

}  // namespace zol::err

namespace zol {

// Builds the error! value and raises it. Missing arguments are null.
[[noreturn]] void fire(int category, int id, const Cell* arg1 = nullptr,
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
Cell create(int category, int id, const Cell* arg1, const Cell* arg2, const Cell* arg3);

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
Cell raised(int category, int id, const Cell* arg1, const Cell* arg2, const Cell* arg3);
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
// The report: "*** Category: message", "*** Where: ...", "*** Near : ..." lines.
Cell report(const Cell* error);

// The arguments of the most recent error raised (the first cells of in_flight).
extern Cell* const last_args;

}  // namespace error
}  // namespace zol

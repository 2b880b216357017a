// The error catalogue's categories and ids, each written once.
//
// The catalogue itself (titles, message templates) belongs to the library and lives
// in the bootstrap text; C++ code knows a category and an id only by position. These
// lists give those positions names: error.h expands them into one enum type per
// category, so that an id names its category and fire() cannot be handed a wrong
// one. The quoted names are the catalogue's words, used only by the test that holds
// the lists against the catalogue and by the reader.
//
// ZOL_ERROR_CATEGORIES(C) lists the categories in catalogue order as
// C(CATEGORY, type, "name"): the category's constant, the name of its id type in
// zol::err, and its word. ZOL_ERRORS_<CATEGORY>(X) lists the ids of one category in
// catalogue order as X(ID, "name"); the first id is 2, as the category object holds
// `code` and `type` before its templates.
#pragma once

#define ZOL_ERROR_CATEGORIES(C) \
  C(THROW, throw_, "throw") \
  C(NOTE, note, "note") \
  C(SYNTAX, syntax, "syntax") \
  C(SCRIPT, script, "script") \
  C(MATH, math, "math") \
  C(ACCESS, access, "access") \
  C(RESERVED1, reserved1, "reserved1") \
  C(RESERVED2, reserved2, "reserved2") \
  C(USER, user, "user") \
  C(INTERNAL, internal, "internal")

#define ZOL_ERRORS_THROW(X) \
  X(BREAK, "break") \
  X(RETURN, "return") \
  X(THROW, "throw") \
  X(CONTINUE, "continue") \
  X(WHILE_COND, "while-cond")

#define ZOL_ERRORS_NOTE(X) \
  X(NO_LOAD, "no-load")

#define ZOL_ERRORS_SYNTAX(X) \
  X(INVALID, "invalid") \
  X(MISSING, "missing") \
  X(NO_HEADER, "no-header") \
  X(NO_ZS_HEADER, "no-zs-header") \
  X(BAD_HEADER, "bad-header") \
  X(MALCONSTRUCT, "malconstruct") \
  X(BAD_CHAR, "bad-char")

#define ZOL_ERRORS_SCRIPT(X) \
  X(NO_VALUE, "no-value") \
  X(NEED_VALUE, "need-value") \
  X(NOT_DEFINED, "not-defined") \
  X(NOT_IN_CONTEXT, "not-in-context") \
  X(NO_ARG, "no-arg") \
  X(EXPECT_ARG, "expect-arg") \
  X(EXPECT_VAL, "expect-val") \
  X(EXPECT_TYPE, "expect-type") \
  X(CANNOT_USE, "cannot-use") \
  X(INVALID_ARG, "invalid-arg") \
  X(INVALID_TYPE, "invalid-type") \
  X(INVALID_TYPE_SPEC, "invalid-type-spec") \
  X(INVALID_KEY_TYPE, "invalid-key-type") \
  X(INVALID_OP, "invalid-op") \
  X(NO_OP_ARG, "no-op-arg") \
  X(BAD_OP_SPEC, "bad-op-spec") \
  X(INVALID_DATA, "invalid-data") \
  X(INVALID_PART, "invalid-part") \
  X(NOT_SAME_TYPE, "not-same-type") \
  X(NOT_SAME_CLASS, "not-same-class") \
  X(NOT_RELATED, "not-related") \
  X(BAD_FUNC_DEF, "bad-func-def") \
  X(BAD_FUNC_ARG, "bad-func-arg") \
  X(BAD_FUNC_EXTERN, "bad-func-extern") \
  X(NO_REFINE, "no-refine") \
  X(BAD_REFINES, "bad-refines") \
  X(BAD_REFINE, "bad-refine") \
  X(DUP_REFINE, "dup-refine") \
  X(WORD_FIRST, "word-first") \
  X(EMPTY_PATH, "empty-path") \
  X(UNSET_PATH, "unset-path") \
  X(INVALID_PATH, "invalid-path") \
  X(INVALID_PATH_SET, "invalid-path-set") \
  X(INVALID_PATH_GET, "invalid-path-get") \
  X(BAD_PATH_TYPE, "bad-path-type") \
  X(BAD_PATH_TYPE2, "bad-path-type2") \
  X(BAD_PATH_SET, "bad-path-set") \
  X(BAD_FIELD_SET, "bad-field-set") \
  X(DUP_VARS, "dup-vars") \
  X(PAST_END, "past-end") \
  X(MISSING_ARG, "missing-arg") \
  X(OUT_OF_RANGE, "out-of-range") \
  X(INVALID_CHARS, "invalid-chars") \
  X(INVALID_COMPARE, "invalid-compare") \
  X(WRONG_TYPE, "wrong-type") \
  X(INVALID_REFINE_ARG, "invalid-refine-arg") \
  X(TYPE_LIMIT, "type-limit") \
  X(SIZE_LIMIT, "size-limit") \
  X(NO_RETURN, "no-return") \
  X(THROW_USAGE, "throw-usage") \
  X(LOCKED_WORD, "locked-word") \
  X(PROTECTED, "protected") \
  X(BAD_BAD, "bad-bad") \
  X(BAD_MAKE_ARG, "bad-make-arg") \
  X(BAD_TO_ARG, "bad-to-arg") \
  X(INVALID_MONTHS, "invalid-months") \
  X(INVALID_SPEC_FIELD, "invalid-spec-field") \
  X(MISSING_SPEC_FIELD, "missing-spec-field") \
  X(MOVE_BAD, "move-bad") \
  X(TOO_LONG, "too-long") \
  X(INVALID_CHAR, "invalid-char") \
  X(BAD_LOOP_SERIES, "bad-loop-series") \
  X(WRONG_DENOM, "wrong-denom") \
  X(BAD_DENOM, "bad-denom") \
  X(CURRENCY_LIMIT, "currency-limit") \
  X(INVALID_OBJ_EVT, "invalid-obj-evt") \
  X(PARSE_RULE, "parse-rule") \
  X(PARSE_END, "parse-end") \
  X(PARSE_INVALID_REF, "parse-invalid-ref") \
  X(PARSE_BLOCK, "parse-block") \
  X(PARSE_UNSUPPORTED, "parse-unsupported") \
  X(PARSE_INFINITE, "parse-infinite") \
  X(PARSE_STACK, "parse-stack") \
  X(PARSE_KEEP, "parse-keep") \
  X(PARSE_INTO_BAD, "parse-into-bad") \
  X(PARSE_INTO_TYPE, "parse-into-type") \
  X(DRAW_INVALID, "draw-invalid") \
  X(DRAW_INFINITE, "draw-infinite") \
  X(INVALID_DATA_FACET, "invalid-data-facet") \
  X(FACE_TYPE, "face-type") \
  X(NOT_WINDOW, "not-window") \
  X(BAD_WINDOW, "bad-window") \
  X(NOT_LINKED, "not-linked") \
  X(NOT_EVENT_TYPE, "not-event-type") \
  X(INVALID_FACET_TYPE, "invalid-facet-type") \
  X(VID_INVALID_SYNTAX, "vid-invalid-syntax") \
  X(RTD_INVALID_SYNTAX, "rtd-invalid-syntax") \
  X(RTD_NO_MATCH, "rtd-no-match") \
  X(REACT_BAD_FUNC, "react-bad-func") \
  X(REACT_NOT_ENOUGH, "react-not-enough") \
  X(REACT_NO_MATCH, "react-no-match") \
  X(REACT_BAD_OBJ, "react-bad-obj") \
  X(REACT_GCTX, "react-gctx") \
  X(LIB_INVALID_ARG, "lib-invalid-arg") \
  X(ZB_INVALID_RECORD, "zb-invalid-record")

#define ZOL_ERRORS_MATH(X) \
  X(ZERO_DIVIDE, "zero-divide") \
  X(OVERFLOW, "overflow") \
  X(POSITIVE, "positive")

#define ZOL_ERRORS_ACCESS(X) \
  X(CANNOT_OPEN, "cannot-open") \
  X(CANNOT_CLOSE, "cannot-close") \
  X(INVALID_UTF8, "invalid-utf8") \
  X(NOT_OPEN, "not-open") \
  X(NO_CONNECT, "no-connect") \
  X(NO_SCHEME, "no-scheme") \
  X(UNKNOWN_SCHEME, "unknown-scheme") \
  X(INVALID_SPEC, "invalid-spec") \
  X(INVALID_PORT, "invalid-port") \
  X(INVALID_ACTOR, "invalid-actor") \
  X(NO_PORT_ACTION, "no-port-action") \
  X(NO_CREATE, "no-create") \
  X(NO_CODEC, "no-codec") \
  X(BAD_MEDIA, "bad-media") \
  X(INVALID_CMD, "invalid-cmd")

#define ZOL_ERRORS_RESERVED1(X)

#define ZOL_ERRORS_RESERVED2(X)

#define ZOL_ERRORS_USER(X) \
  X(MESSAGE, "message")

#define ZOL_ERRORS_INTERNAL(X) \
  X(BAD_PATH, "bad-path") \
  X(NOT_HERE, "not-here") \
  X(NO_MEMORY, "no-memory") \
  X(WRONG_MEM, "wrong-mem") \
  X(STACK_OVERFLOW, "stack-overflow") \
  X(LIMIT_HIT, "limit-hit") \
  X(TOO_DEEP, "too-deep") \
  X(NO_CYCLE, "no-cycle") \
  X(FEATURE_NA, "feature-na") \
  X(NOT_DONE, "not-done") \
  X(INVALID_ERROR, "invalid-error") \
  X(ROUTINES, "routines") \
  X(ZOL_SYSTEM, "zol-system") \
  X(DEPRECATED, "deprecated")

// The natives in their fixed order, each written once.
//
// A native is known by its 1-based position in this list (the bootstrap text gives
// each native's spec under its name, and start-up looks the name up here).
// natives.cpp expands the list into the table that binds each position to its C++
// function, and into the index constants (N_IF is 1) that code naming a particular
// native uses instead of counting.
//
// ZOL_NATIVES(NATIVE, STAND_IN) lists them as NATIVE(ID, "name", function) for a
// native that is built (its function is in native_fns.h) and STAND_IN(ID, "name")
// for one that is not yet (it raises not-done).
#pragma once

#define ZOL_NATIVES(NATIVE, STAND_IN) \
  NATIVE(N_IF, "if", if_) \
  NATIVE(N_UNLESS, "unless", unless) \
  NATIVE(N_EITHER, "either", either) \
  NATIVE(N_ANY, "any", any) \
  NATIVE(N_ALL, "all", all) \
  NATIVE(N_WHILE, "while", while_) \
  NATIVE(N_UNTIL, "until", until) \
  NATIVE(N_LOOP, "loop", loop) \
  NATIVE(N_REPEAT, "repeat", repeat) \
  NATIVE(N_FOREVER, "forever", forever) \
  NATIVE(N_FOREACH, "foreach", foreach) \
  NATIVE(N_FORALL, "forall", forall) \
  NATIVE(N_REMOVE_EACH, "remove-each", remove_each) \
  NATIVE(N_FUNC, "func", func) \
  NATIVE(N_FUNCTION, "function", function) \
  NATIVE(N_DOES, "does", does) \
  NATIVE(N_HAS, "has", has) \
  NATIVE(N_SWITCH, "switch", switch_) \
  NATIVE(N_CASE, "case", case_) \
  NATIVE(N_DO, "do", do_) \
  NATIVE(N_GET, "get", get) \
  NATIVE(N_SET, "set", set) \
  NATIVE(N_PRINT, "print", print) \
  NATIVE(N_PRIN, "prin", prin) \
  NATIVE(N_EQUAL_Q, "equal?", equal_q) \
  NATIVE(N_NOT_EQUAL_Q, "not-equal?", not_equal_q) \
  NATIVE(N_STRICT_EQUAL_Q, "strict-equal?", strict_equal_q) \
  NATIVE(N_LESSER_Q, "lesser?", lesser_q) \
  NATIVE(N_GREATER_Q, "greater?", greater_q) \
  NATIVE(N_LESSER_OR_EQUAL_Q, "lesser-or-equal?", lesser_or_equal_q) \
  NATIVE(N_GREATER_OR_EQUAL_Q, "greater-or-equal?", greater_or_equal_q) \
  NATIVE(N_SAME_Q, "same?", same_q) \
  NATIVE(N_NOT, "not", not_) \
  NATIVE(N_TYPE_Q, "type?", type_q) \
  NATIVE(N_REDUCE, "reduce", reduce) \
  NATIVE(N_COMPOSE, "compose", compose) \
  NATIVE(N_STATS, "stats", stats) \
  NATIVE(N_BIND, "bind", bind) \
  NATIVE(N_IN, "in", in) \
  NATIVE(N_PARSE, "parse", parse) \
  NATIVE(N_UNION, "union", union_) \
  NATIVE(N_INTERSECT, "intersect", intersect) \
  NATIVE(N_UNIQUE, "unique", unique) \
  NATIVE(N_DIFFERENCE, "difference", difference) \
  NATIVE(N_EXCLUDE, "exclude", exclude) \
  NATIVE(N_COMPLEMENT_Q, "complement?", complement_q) \
  NATIVE(N_DEHEX, "dehex", dehex) \
  NATIVE(N_ENHEX, "enhex", enhex) \
  NATIVE(N_NEGATIVE_Q, "negative?", negative_q) \
  NATIVE(N_POSITIVE_Q, "positive?", positive_q) \
  NATIVE(N_MAX, "max", max) \
  NATIVE(N_MIN, "min", min) \
  NATIVE(N_SHIFT, "shift", shift) \
  NATIVE(N_TO_HEX, "to-hex", to_hex) \
  NATIVE(N_SINE, "sine", sine) \
  NATIVE(N_COSINE, "cosine", cosine) \
  NATIVE(N_TANGENT, "tangent", tangent) \
  NATIVE(N_ARCSINE, "arcsine", arcsine) \
  NATIVE(N_ARCCOSINE, "arccosine", arccosine) \
  NATIVE(N_ARCTANGENT, "arctangent", arctangent) \
  NATIVE(N_ARCTANGENT2, "arctangent2", arctangent2) \
  NATIVE(N_NAN_Q, "NaN?", nan_q) \
  NATIVE(N_LOG_2, "log-2", log_2) \
  NATIVE(N_LOG_10, "log-10", log_10) \
  NATIVE(N_LOG_E, "log-e", log_e) \
  NATIVE(N_EXP, "exp", exp) \
  NATIVE(N_SQUARE_ROOT, "square-root", square_root) \
  NATIVE(N_CONSTRUCT, "construct", construct) \
  NATIVE(N_VALUE_Q, "value?", value_q) \
  NATIVE(N_TRY, "try", try_) \
  NATIVE(N_UPPERCASE, "uppercase", uppercase) \
  NATIVE(N_LOWERCASE, "lowercase", lowercase) \
  NATIVE(N_AS_PAIR, "as-pair", as_pair) \
  NATIVE(N_AS_POINT2D, "as-point2D", as_point2d) \
  NATIVE(N_AS_POINT3D, "as-point3D", as_point3d) \
  NATIVE(N_AS_MONEY, "as-money", as_money) \
  NATIVE(N_BREAK, "break", break_) \
  NATIVE(N_CONTINUE, "continue", continue_) \
  NATIVE(N_EXIT, "exit", exit) \
  NATIVE(N_RETURN, "return", return_) \
  NATIVE(N_THROW, "throw", throw_) \
  NATIVE(N_CATCH, "catch", catch_) \
  NATIVE(N_EXTEND, "extend", extend) \
  NATIVE(N_DEBASE, "debase", debase) \
  NATIVE(N_TO_LOCAL_FILE, "to-local-file", to_local_file) \
  NATIVE(N_WAIT, "wait", wait) \
  NATIVE(N_CHECKSUM, "checksum", checksum_) \
  NATIVE(N_UNSET, "unset", unset) \
  NATIVE(N_NEW_LINE, "new-line", new_line) \
  NATIVE(N_NEW_LINE_Q, "new-line?", new_line_q) \
  NATIVE(N_ENBASE, "enbase", enbase) \
  NATIVE(N_CONTEXT_Q, "context?", context_q) \
  NATIVE(N_SET_ENV, "set-env", set_env) \
  NATIVE(N_GET_ENV, "get-env", get_env) \
  NATIVE(N_LIST_ENV, "list-env", list_env) \
  NATIVE(N_NOW, "now", now) \
  NATIVE(N_SIGN_Q, "sign?", sign_q) \
  NATIVE(N_AS, "as", as) \
  NATIVE(N_CALL, "call", call) \
  NATIVE(N_ZERO_Q, "zero?", zero_q) \
  NATIVE(N_SIZE_Q, "size?", size_q) \
  NATIVE(N_BROWSE, "browse", browse) \
  NATIVE(N_COMPRESS, "compress", compress) \
  NATIVE(N_DECOMPRESS, "decompress", decompress) \
  NATIVE(N_RECYCLE, "recycle", recycle) \
  NATIVE(N_TRANSCODE, "transcode", transcode) \
  NATIVE(N_APPLY, "apply", apply) \
  NATIVE(N_ROUTINE, "routine", routine_)

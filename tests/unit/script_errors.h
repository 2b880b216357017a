// What test::eval answers for the script errors that the scalar datatypes' tests
// expect most, named once for all of them.
#pragma once
#include <string>

#include "runtime/core/error.h"
#include "zol_text.h"

namespace zol::test::script_errors {

inline const std::string BAD_TO_ARG = eval_error_text(err::script::BAD_TO_ARG);
inline const std::string NOT_RELATED = eval_error_text(err::script::NOT_RELATED);
inline const std::string INVALID_ARG = eval_error_text(err::script::INVALID_ARG);
inline const std::string INVALID_PATH = eval_error_text(err::script::INVALID_PATH);
inline const std::string INVALID_TYPE = eval_error_text(err::script::INVALID_TYPE);
inline const std::string OUT_OF_RANGE = eval_error_text(err::script::OUT_OF_RANGE);

}  // namespace zol::test::script_errors

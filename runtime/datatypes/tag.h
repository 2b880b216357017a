// tag!, email! and ref!: string! subtypes that differ from string! only in how they
// are written (<text>, text, @text) and, for email!, in path access: user and host
// name the parts before and after the first "@".
#pragma once
#include "runtime/core/cell.h"

namespace zol {

namespace tag {
void init();   // registers tag!
Cell* push(const Cell* tag);
}  // namespace tag

namespace email {
void init();   // registers email!
Cell* push(const Cell* email);
}  // namespace email

namespace ref {
void init();   // registers ref!
Cell* push(const Cell* ref);
}  // namespace ref

}  // namespace zol

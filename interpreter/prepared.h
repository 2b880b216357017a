// The registry of prepared forms: what the evaluator derives from a block's cells
// (which cells are calls, operators, literals...) and may trust only while the
// block is unchanged.
//
// A form belongs to one buffer, named by the buffer's link word (runtime/memory/
// memory.h): LINK_NONE, LINK_RAN_ONCE ("ran once: build a form on the next run")
// or an id of this registry. Every writer of the buffer's cells clears the link
// (the barrier), which tells the registry through memory::link_dropped; a buffer
// freed or abandoned does the same. The registry never looks inside a form: it
// owns it and frees it with the function given to init once it is dropped and
// nobody runs it (pinned).
//
// Verify mode (ZOL_VERIFY_FORMS=1) proves the barrier: each entry keeps a copy of
// the block's cells as they were at attach, and check() aborts, naming what
// differs, when a block whose link still names its entry no longer matches it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/memory/memory.h"

namespace zol::interpreter::prepared {

using FreeFn = void (*)(void* form);

// Installs the drop hook, takes the function that frees forms (null: the forms
// are not the registry's to free) and reads ZOL_VERIFY_FORMS.
void init(FreeFn free_form);
// ZOL_VERIFY_FORMS=1 in the environment.
extern bool verify;

// Attaches a form (may be null) to a block's current buffer, whose link should be
// LINK_NONE or LINK_RAN_ONCE (a form already attached is dropped): sets the link and
// answers the id.
uint32_t attach(SeriesBuffer* b, void* form);
// The form a link names, or null (link below LINK_FIRST_ID, or dropped).
void* form_of(uint32_t link);
// A running form is pinned: a drop while pinned frees it only at the last unpin.
void pin(uint32_t id);
void unpin(uint32_t id);
// Verify mode: compares the block's cells with the copy taken at attach. A
// difference while the link still names the entry is a missed barrier: prints the
// block position and the old and new cell words to stderr and aborts.
void check(const SeriesBuffer* b);
// Entries attached and not yet freed.
size_t live_forms();

}  // namespace zol::interpreter::prepared

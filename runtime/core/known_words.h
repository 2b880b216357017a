// The words the C++ code itself names, each written once.
//
// Code that recognises a word (a spec keyword, a reflector, a field of the system
// object) or makes one (a frame name, a refinement named in an error) needs its
// symbol. Interning the spelling on the spot would hash it on every call, so every
// such word is listed here and words.h turns the list into variables that
// words::init() fills once at each start-up (the symbol table is made anew on every
// start, so the ids are too).
//
// ZOL_KNOWN_WORDS(X) lists them as X(variable, "spelling"). A variable is named after
// its spelling, '-' written '_', with a trailing '_' where the plain name is a C++
// keyword or a namespace of the runtime.
#pragma once

#define ZOL_KNOWN_WORDS(X)                                                                 \
  /* values and objects */                                                                 \
  X(self, "self") X(true_, "true") X(false_, "false") X(none_, "none")                     \
  X(yes, "yes") X(no, "no") X(on, "on") X(off, "off")                                      \
  /* names of frames that are not calls of a named function */                             \
  X(body_frame, "<body>") X(anon_frame, "<anon>") X(not_found_frame, "<not-found>")        \
  X(compare_callback, "<compare-callback>") X(interp_callback, "<interp-callback>")        \
  /* function specs */                                                                     \
  X(local, "local") X(extern_, "extern") X(return_, "return")                              \
  X(trace_, "trace") X(no_trace, "no-trace")                                               \
  /* reflectors and object fields */                                                       \
  X(spec, "spec") X(body, "body") X(words_, "words") X(values_, "values")                  \
  X(class_, "class") X(owner, "owner") X(owned, "owned") X(events_q, "events?")            \
  X(on_change, "on-change*") X(on_deep_change, "on-deep-change*")                          \
  /* natives, actions and refinements named in errors; loops whose words bind */           \
  X(make, "make") X(subtract, "subtract") X(divide, "divide")                              \
  X(case_, "case") X(forall, "forall") X(word_, "word")                                    \
  X(foreach, "foreach") X(remove_each, "remove-each") X(repeat, "repeat")                  \
  X(part, "part") X(skip, "skip") X(compare, "compare")                                    \
  /* the system object and error fields */                                                 \
  X(system_, "system") X(system_global, "system-global") X(catalog, "catalog")             \
  X(errors, "errors") X(standard, "standard") X(error_, "error") X(state, "state")         \
  X(stack_trace, "stack-trace") X(stack_, "stack") X(type, "type") X(id, "id")             \
  /* url! and email! */                                                                    \
  X(get, "get") X(post, "post") X(user, "user") X(host, "host")                            \
  /* the bootstrap text's sections */                                                      \
  X(typesets, "typesets") X(natives_, "natives") X(actions_, "actions")                    \
  X(do_, "do")                                                                             \
  /* the typesets the library's predicates read on every call ("!" written "_set") */     \
  X(any_list_set, "any-list!") X(any_block_set, "any-block!")                              \
  X(any_function_set, "any-function!") X(any_object_set, "any-object!")                    \
  X(any_path_set, "any-path!") X(any_string_set, "any-string!")                            \
  X(any_word_set, "any-word!") X(series_set, "series!") X(number_set, "number!")           \
  X(immediate_set, "immediate!") X(scalar_set, "scalar!") X(all_word_set, "all-word!")     \
  X(any_point_set, "any-point!") X(planar_set, "planar!")                                  \
  /* what an owner hears before and after each kind of edit */                             \
  X(append, "append") X(appended, "appended") X(insert, "insert") X(inserted, "inserted")  \
  X(change, "change") X(changed, "changed") X(clear, "clear") X(cleared, "cleared")        \
  X(poke, "poke") X(poked, "poked") X(remove, "remove") X(removed, "removed")              \
  X(reverse, "reverse") X(reversed, "reversed") X(take, "take") X(taken, "taken")          \
  X(move, "move") X(moved, "moved") X(put, "put") X(put_ed, "put-ed")                      \
  X(sort_, "sort") X(sorted, "sorted") X(swap, "swap") X(swaped, "swaped")                 \
  X(trim, "trim") X(trimmed, "trimmed") X(random_, "random") X(randomized, "randomized")   \
  /* the checksum methods and their refinement */                                          \
  X(tcp, "tcp") X(md5, "md5") X(sha1, "sha1") X(crc32, "crc32") X(adler32, "adler32")      \
  X(sha256, "sha256") X(sha384, "sha384") X(sha512, "sha512") X(hash_, "hash")             \
  X(with, "with") X(read, "read")                                                          \
  /* the parse dialect's keywords (set, copy, insert, change, remove, skip, end, case   \
     and none are listed above) and its trace events and callback frame */               \
  X(bar, "|") X(any, "any") X(some, "some") X(opt, "opt") X(while_, "while")             \
  X(to, "to") X(thru, "thru") X(copy, "copy") X(not_, "not") X(ahead, "ahead")           \
  X(into, "into") X(collect, "collect") X(keep, "keep") X(if_, "if") X(quote, "quote")   \
  X(fail, "fail") X(break_, "break") X(reject, "reject") X(pick, "pick")                 \
  X(only, "only") X(after, "after") X(pop, "pop") X(match, "match")                      \
  X(iterate, "iterate") X(paren_, "paren") X(parse_callback, "<parse-callback>")         \
  /* the compression methods */                                                            \
  X(zlib, "zlib") X(deflate_, "deflate") X(gzip, "gzip")                                    \
  /* the tracer's events */                                                                \
  X(init_, "init") X(end, "end") X(prolog, "prolog") X(epilog, "epilog")                   \
  X(enter, "enter") X(exit, "exit") X(open, "open") X(fetch, "fetch") X(push, "push")      \
  X(set, "set") X(call, "call") X(throw_, "throw") X(catch_, "catch") X(expr, "expr")     \
  /* date! and time! fields, and the operations their errors name */                       \
  X(date_, "date") X(year, "year") X(month, "month") X(day, "day") X(zone, "zone")         \
  X(time_, "time") X(hour, "hour") X(minute, "minute") X(second, "second")                 \
  X(weekday, "weekday") X(yearday, "yearday") X(julian, "julian")                          \
  X(timezone, "timezone") X(week, "week") X(isoweek, "isoweek")                            \
  X(add, "add") X(multiply, "multiply") X(round_, "round")                                \
  X(locale, "locale") X(months, "months")                                                  \
  X(currencies, "currencies") X(list, "list") X(code, "code") X(amount, "amount")           \
  X(options, "options") X(money_digits, "money-digits")                                   \
  X(do_file, "do-file") X(callbacks, "callbacks") X(bits, "bits")                         \
  X(pretty_q, "pretty?") X(full_q, "full?")                                                \
  /* the lexer's trace events ("open" and "error" are above) and its callback's frame */   \
  X(prescan, "prescan") X(scan, "scan") X(load, "load") X(close, "close")                  \
  X(lexer_callback, "<lexer-callback>")                                                    \
  /* files and ports */                                                                    \
  X(seek, "seek") X(port, "port") X(url_parts, "url-parts") X(schemes, "schemes")         \
  X(actor, "actor") X(scheme, "scheme") X(length_q, "length?")                             \
  /* the preprocessor, which do/expand calls */                                            \
  X(preprocessor, "preprocessor") X(expand, "expand")                                      \
  /* image! path words */                                                                  \
  X(size, "size") X(rgb, "rgb") X(alpha, "alpha") X(argb, "argb")

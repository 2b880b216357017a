// The C++ functions of the natives built so far (see natives.h for their calling
// convention), grouped by the files that hold them.
#pragma once

namespace zol::natives {

// Conditionals and the comparison natives (control.cpp).
void if_(int check);
void unless(int check);
void either(int check);
void any(int check);
void all(int check);
void switch_(int check, int default_);
void case_(int check, int all);
void equal_q(int check);
void not_equal_q(int check);
void strict_equal_q(int check);
void lesser_q(int check);
void greater_q(int check);
void lesser_or_equal_q(int check);
void greater_or_equal_q(int check);
void same_q(int check);
void not_(int check);

// Loops (loops.cpp).
void while_(int check);
void until(int check);
void loop(int check);
void repeat(int check);
void forever(int check);
void foreach(int check);
void forall(int check);
void remove_each(int check);

// Exits, evaluation and the function makers (exits.cpp).
void break_(int check, int return_);
void continue_(int check);
void exit(int check);
void return_(int check);
void throw_(int check, int name);
void catch_(int check, int name);
void try_(int check, int all, int keep);
void do_(int check, int expand, int args, int next, int trace);
void func(int check);
void function(int check);
void does(int check);
void has(int check);
void routine_(int check);

// Words, values, block building and output (words.cpp).
void get(int check, int any, int case_);
void set(int check, int any, int case_, int only, int some);
void value_q(int check);
void unset(int check);
void bind(int check, int copy);
void in(int check);
void context_q(int check);
void construct(int check, int with, int only);
void type_q(int check, int word);
void as(int check);
void reduce(int check, int into);
void compose(int check, int deep, int only, int into);
void new_line(int check, int all, int skip);
void new_line_q(int check);
void print(int check);
void prin(int check);

// The clock (calendar.cpp).
void now(int check, int year, int month, int day, int time, int zone, int date, int weekday,
         int yearday, int precise, int utc);

// The system natives over the platform's services (system.cpp).
void get_env(int check);
void set_env(int check);
void size_q(int check);

// Checksums and digests (checksum.cpp).
void checksum_(int check, int with);

// The parse dialect (parse/native.cpp, in the layer above: the table only names it).
void parse(int check, int case_, int part, int trace);

// The set natives (sets.cpp).
void union_(int check, int case_, int skip);
void intersect(int check, int case_, int skip);
void unique(int check, int case_, int skip);
void difference(int check, int case_, int skip);
void exclude(int check, int case_, int skip);

// Compression by method word (compression.cpp).
void compress(int check);
void decompress(int check, int size);

// Base coding and complement? (coding.cpp).
void enbase(int check, int base);
void debase(int check, int base);
void complement_q(int check);

// max, min and the pair and point makers (compound.cpp).
void max(int check);
void min(int check);
void as_pair(int check);
void as_point2d(int check);
void as_point3d(int check);

// The money maker (money.cpp).
void as_money(int check);

// Keyed collections (collections.cpp).
void extend(int check, int case_);

// Sign tests, shift, to-hex, trigonometry, logarithms and roots (math.cpp).
void negative_q(int check);
void positive_q(int check);
void sign_q(int check);
void zero_q(int check);
void nan_q(int check);
void shift(int check, int left, int logical);
void to_hex(int check, int size);
void sine(int check, int radians);
void cosine(int check, int radians);
void tangent(int check, int radians);
void arcsine(int check, int radians);
void arccosine(int check, int radians);
void arctangent(int check, int radians);
void arctangent2(int check, int radians);
void log_2(int check);
void log_10(int check);
void log_e(int check);
void exp(int check);
void square_root(int check);

// Case change, percent coding and file names (text.cpp).
void uppercase(int check, int part);
void lowercase(int check, int part);
void dehex(int check);
void enhex(int check);
void to_local_file(int check, int full);

// Memory, the collector and sleeping (system.cpp).
void stats(int check, int show, int info);
void recycle(int check, int on, int off);
void wait(int check, int all);

// Child processes and the environment (process.cpp).
void call(int check, int wait, int show, int console, int shell, int input, int output, int error);
void list_env(int check);
void browse(int check);

// Source text through the lexer (transcode.cpp).
void transcode(int check, int next, int one, int prescan, int scan, int part, int into, int trace);

// Calls with the arguments in a block (apply.cpp).
void apply(int check, int all, int safer);

}  // namespace zol::natives

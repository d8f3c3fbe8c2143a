// ncursesw with its wide-character interface and without its function-like macros, which would
// otherwise rewrite ordinary member calls such as clear() and refresh().
#pragma once

#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#define NCURSES_NOMACROS 1
#include <curses.h>

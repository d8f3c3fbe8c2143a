// Code page 437 as a terminal shows it: each byte as its Unicode character, or as a plain ASCII
// shape where the terminal's locale cannot show Unicode.
#pragma once

#include <string>

// The Unicode character that code page 437 shows for `byte`. Control bytes are shown as the
// symbols the console font draws for them; the zero byte is a blank.
char32_t cp437ToUnicode(unsigned char byte);

// An ASCII stand-in with a similar shape: lines become '-', '=', '|' and '+', blocks and shades
// '#', ':' and '%', the small square 'o'.
char cp437ToAscii(unsigned char byte);

// Appends the UTF-8 bytes of a character of code page 437's range (all below U+10000).
void appendUtf8(std::string& out, char32_t code);

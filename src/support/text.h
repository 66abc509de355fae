// UTF-8 as a terminal reads it, and the columns its characters take there.
#pragma once

#include <cstddef>
#include <string_view>

namespace Game::Text {

// The character that starts at `at`: its code point and its bytes. A byte that
// starts no well-formed sequence is a character of one byte that is not valid.
struct Character {
    char32_t code = 0;
    std::size_t size = 1;
    bool valid = false;
};
Character characterAt(std::string_view text, std::size_t at);

// How many bytes a sequence starting with this byte has; 0 for a byte that
// cannot start one (a continuation byte, or a lead byte UTF-8 never uses).
std::size_t sequenceLength(unsigned char lead);

inline bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The byte that ends an escape sequence's parameters (ESC [ 1 m ends at m).
inline bool isFinal(unsigned char byte) { return byte >= 0x40 && byte <= 0x7E; }

// Control characters, C0, DEL and C1: never part of a line.
inline bool isControl(char32_t code) { return code < 0x20 || (code >= 0x7F && code < 0xA0); }

// Columns at a terminal: none for combining marks and format characters, two
// for East Asian wide and fullwidth ones, one otherwise (Unicode's own data).
int columnsOf(char32_t code);

}  // namespace Game::Text

// UTF-8 as a terminal reads it, and the columns its characters take there.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
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

// ---- Rows set as a Chinese page is set ------------------------------------------
// A terminal wraps text at the margin wherever it falls. A row set by hand ends
// at a place where a line may break: never before a closing bracket, quote or
// pausing mark (，。：), never after an opening one, never between the two
// halves of …… or ——, and never inside a Latin word, a page key or an address.

// How a character takes part in where a row may end.
enum class Role {
    ORDINARY,  // a Chinese character, a symbol: a row may end on either side
    SPACE,     // ends a word; a space that would begin a row is not written there
    OPENING,   // （【「『〈《“‘: never ends a row
    CLOSING,   // ）】」』〉》”’ and 、，。；：？！: never begins a row
    ELLIPSIS,  // …: its two halves stay together
    DASH,      // —: its two halves stay together
    LETTER,    // a letter or digit of a Latin word
    JOINER,    // - . / _ : inside a word, between its letters
    MARK,      // no column of its own: stays with the character before it
};
Role roleOf(char32_t code);

// The cursor on its row as a terminal moves it for what is written, and the
// places the row may end. Fed whole characters and escape sequences only.
class Row {
  public:
    int width = 0;              // the terminal's columns; 0 where it has none
    std::optional<int> column;  // nothing where the cursor cannot be followed

    // Adds to out what to write for `unit` so that rows end where a line may
    // break: the spaces that end the row early, then the unit; nothing for a
    // space that would begin a row. `after` is the text that follows it, for looking ahead;
    // `attributes` are those in effect, kept off the padding. With setting
    // false, the unit as it is, only followed.
    void set(std::string& out, std::string_view unit, std::string_view after,
             std::string_view attributes, bool setting = true);

  private:
    Role last_ = Role::SPACE;  // the role of the last character written
    bool lastInWord_ = false;  // it was a letter, or a joiner between letters
    bool choose_ = false;      // the next unit stands where the row may end

    std::string paddingBefore(std::string_view unit, std::string_view after,
                              std::string_view attributes);
    void followSequence(std::string_view sequence);
    void followControl(char32_t code);
    void followCharacter(char32_t code);
    void wrote(Role role, bool inWord);
};

// The bytes of text as they are set on rows of `width` columns from the start
// of a row: what a prompt looks like, for an editor that places its line after it.
std::string setFromRowStart(std::string_view text, int width);

// The bytes of the whole character or escape sequence at `at`, or 0 where text
// ends inside one. A broken one ends where it breaks.
std::size_t unitLength(std::string_view text, std::size_t at);

}  // namespace Game::Text

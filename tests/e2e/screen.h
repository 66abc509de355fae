// What a player sees: a program's bytes rendered into cells by a real terminal
// emulator (libvterm), then read back row by row and cell by cell.
#pragma once

#include <vterm.h>

#include <string>
#include <string_view>
#include <vector>

class Screen {
  public:
    explicit Screen(int rows = 24, int columns = 80);
    ~Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    // Feed a whole transcript in one write: libvterm drops a window title that
    // arrives split across writes.
    void feed(std::string_view bytes);

    std::string row(int row) const;    // the row's text as UTF-8, trailing blanks dropped
    uint32_t lastCell(int row) const;  // the character in its last column; 0 for none written
    int cursorRow() const;             // from 0
    int cursorColumn() const;          // from 0, in columns (a Chinese character takes two)
    const std::string& title() const { return title_; }

    // One cell's look; foreground is the palette index, or -1 for the default colour.
    struct Look {
        bool bold;
        bool underline;
        int foreground;
    };
    Look look(int row, int column) const;
    Look pen() const;  // what the next character written would look like

    // The column where text starts on row, or -1.
    int find(int row, std::string_view wanted) const;

  private:
    VTerm* terminal_;
    VTermScreen* screen_;
    int columns_;
    std::string title_;  // the last window title set

    std::string text(int row, std::vector<int>& columnAt) const;
    static int onProperty(VTermProp property, VTermValue* value, void* self);
};

#include "e2e/screen.h"

namespace {

void appendUtf8(std::string& text, uint32_t c) {
    if (c < 0x80) {
        text += static_cast<char>(c);
    } else if (c < 0x800) {
        text += static_cast<char>(0xC0 | (c >> 6));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        text += static_cast<char>(0xE0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (c >> 18));
        text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

Screen::Screen(int rows, int columns)
    : terminal_(vterm_new(rows, columns)),
      screen_(vterm_obtain_screen(terminal_)),
      columns_(columns) {
    vterm_set_utf8(terminal_, 1);
    static const VTermScreenCallbacks callbacks = [] {
        VTermScreenCallbacks all{};
        all.settermprop = &Screen::onProperty;
        return all;
    }();
    vterm_screen_set_callbacks(screen_, &callbacks, this);
    vterm_screen_reset(screen_, 1);
}

Screen::~Screen() { vterm_free(terminal_); }

int Screen::onProperty(VTermProp property, VTermValue* value, void* self) {
    if (property == VTERM_PROP_TITLE) static_cast<Screen*>(self)->title_ = value->string;
    return 1;
}

void Screen::feed(std::string_view bytes) {
    vterm_input_write(terminal_, bytes.data(), bytes.size());
    vterm_screen_flush_damage(screen_);
}

// The row's text; columnAt gets, for each byte, the column it is drawn in.
std::string Screen::text(int row, std::vector<int>& columnAt) const {
    std::string line;
    for (int column = 0; column < columns_; ++column) {
        VTermScreenCell cell{};
        vterm_screen_get_cell(screen_, VTermPos{row, column}, &cell);
        if (cell.chars[0] == 0xFFFFFFFF) continue;  // right half of a wide character
        if (cell.chars[0] == 0) line += ' ';
        for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && cell.chars[i] != 0; ++i)
            appendUtf8(line, cell.chars[i]);
        columnAt.resize(line.size(), column);
    }
    return line;
}

std::string Screen::row(int row) const {
    std::vector<int> columnAt;
    std::string line = text(row, columnAt);
    line.erase(line.find_last_not_of(' ') + 1);
    return line;
}

uint32_t Screen::lastCell(int row) const {
    VTermScreenCell cell{};
    vterm_screen_get_cell(screen_, VTermPos{row, columns_ - 1}, &cell);
    return cell.chars[0];
}

int Screen::cursorRow() const {
    VTermPos position{};
    vterm_state_get_cursorpos(vterm_obtain_state(terminal_), &position);
    return position.row;
}

int Screen::cursorColumn() const {
    VTermPos position{};
    vterm_state_get_cursorpos(vterm_obtain_state(terminal_), &position);
    return position.col;
}

Screen::Look Screen::look(int row, int column) const {
    VTermScreenCell cell{};
    vterm_screen_get_cell(screen_, VTermPos{row, column}, &cell);
    const bool indexed = VTERM_COLOR_IS_INDEXED(&cell.fg) && !VTERM_COLOR_IS_DEFAULT_FG(&cell.fg);
    return {cell.attrs.bold != 0, cell.attrs.underline != 0, indexed ? cell.fg.indexed.idx : -1};
}

Screen::Look Screen::pen() const {
    VTermState* state = vterm_obtain_state(terminal_);
    VTermValue bold{};
    VTermValue underline{};
    VTermValue foreground{};
    vterm_state_get_penattr(state, VTERM_ATTR_BOLD, &bold);
    vterm_state_get_penattr(state, VTERM_ATTR_UNDERLINE, &underline);
    vterm_state_get_penattr(state, VTERM_ATTR_FOREGROUND, &foreground);
    const VTermColor& colour = foreground.color;
    const bool indexed = VTERM_COLOR_IS_INDEXED(&colour) && !VTERM_COLOR_IS_DEFAULT_FG(&colour);
    return {bold.boolean != 0, underline.number != 0, indexed ? colour.indexed.idx : -1};
}

int Screen::find(int row, std::string_view wanted) const {
    std::vector<int> columnAt;
    const auto found = text(row, columnAt).find(wanted);
    return found == std::string::npos ? -1 : columnAt[found];
}

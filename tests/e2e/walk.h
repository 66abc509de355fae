// A player's walk through the story at a real terminal: each paced text
// hurried with one space, each choice a letter and Enter, each
// "按下任意键继续……" a key. A step that does not come to pass throws.
#pragma once

#include <string>

#include "e2e/pty_game.h"

inline const std::string CLEAR = "\x1b[2J\x1b[0;0H";
inline const std::string ANY_KEY = "按下任意键继续……";
inline const std::string LEVEL_0_OPTIONS = "\nA 四处走走\tB 原地休息\n》a";
inline const std::string FORK =
    "你四处走，不断走，走到了一个分岔路口，你选择左还是右？\nA 左\tB 右\n》a";
inline const std::string MANILA_PAGE_END = "祝你好运，我们在 Level 1 等你。\n\n";
inline const std::string NOCLIP_LESSON =
    "你悟得了\x1b[1m切出\x1b[0m。\n\n你尝试根据文档的指示，切出了一面墙。按下任意键继续……";
inline const std::string STRANGER = "你看到对面有个人，你要过去吗？\nA 过去寻找他\tB 不理会\n》a";
inline const std::string BASE_MENU =
    "你来到了 M.E.G. Alpha 基地，你现在要？\nA 阅读文档\tB 探索本层级\tC 前往其它据点\n》a";
inline const std::string TERMINAL_PROMPT = "请输入要查询的文档（不输入则退出终端）：";
inline const std::string GRAFFITI =
    CLEAR + "你看见天花板上有涂鸦，你选择：\nA 忽略\tB 切出该天花板\tC 返回 M.E.G. 基地\n》a";
inline const std::string DOOR =
    CLEAR + "你看见了一个小门，里面是一条走廊，要进去吗？\nA 进入\tB 返回 M.E.G. 基地\n》a";

std::string panel(int body);      // the status panel with this stamina
std::string endScreen(int body);  // the end screen with this stamina left

// What one exploration held.
struct Exploration {
    int boxes = 0;
    int items = 0;
    int taken = 0;
};

// One play of program, from the title menu.
class Walk {
  public:
    explicit Walk(const std::string& program, unsigned short rows = 24,
                  unsigned short columns = 80);
    PtyGame play;

    // Hurries one paced text until `end` is on screen, then waits for the game to wait.
    void read(const std::string& end);
    void expect(const std::string& bytes);
    bool shows(const std::string& bytes) const;
    void choose(char key) { play.send(std::string(1, key) + "\r"); }
    void anyKey() { play.send("x"); }

    void toLevel0();      // title A, the opening, up to Level 0's choice
    void leftToLevel1();  // from the fork: left, the manila page and the lesson, up to the stranger

    // From the title menu: the left way, greeting the stranger, up to the base
    // menu after the panel with the stamina left then, 385.
    void greetingTheStrangerToTheBase();

    // From the base menu: the panel must show `body` and the menu follow it.
    void atBase(int body) { read(panel(body) + BASE_MENU); }

    // From the base menu or the graffiti: B or C, every box opened, every item
    // taken or left; up to the graffiti's choice.
    Exploration explore(char key, bool take);

    void endsWith(int body);  // the end screen, a key, exit code 0

  private:
    int countAt(std::size_t at);  // N in "N " at this place of the transcript
    [[noreturn]] void lost(const std::string& what) const;
};

// A player's walk through the story in the page, as the terminal tests walk it:
// each paced text hurried with one space, each choice a letter and Enter, each
// "按下任意键继续……" a key. A step that does not come to pass throws.
export const CLEAR = "\x1b[2J\x1b[0;0H";
export const ANY_KEY = "按下任意键继续……";
export const LEVEL_0_OPTIONS = "\nA 四处走走\tB 原地休息\n》a";
export const FORK = "你四处走，不断走，走到了一个分岔路口，你选择左还是右？\nA 左\tB 右\n》a";
export const MANILA_PAGE_END = "祝你好运，我们在 Level 1 等你。\n\n";
export const NOCLIP_LESSON = "你悟得了\x1b[1m切出\x1b[0m。\n\n你尝试根据文档的指示，切出了一面墙。按下任意键继续……";
export const STRANGER = "你看到对面有个人，你要过去吗？\nA 过去寻找他\tB 不理会\n》a";
export const BASE_MENU = "你来到了 M.E.G. Alpha 基地，你现在要？\nA 阅读文档\tB 探索本层级\tC 前往其它据点\n》a";
export const GRAFFITI = CLEAR + "你看见天花板上有涂鸦，你选择：\nA 忽略\tB 切出该天花板\tC 返回 M.E.G. 基地\n》a";

export const panel = (body) => `当前的：\n体力：${body}\n攻击：0\n理智：1000\n`;
export const endScreen = (body) => `${CLEAR}你已完成本次游戏。分数：0；剩余体力：${body}。\n`;

export class Walk {
  constructor(play) {
    this.play = play;
  }

  read(end) {
    return this.play.hurryTo(end);
  }

  choose(key) {
    return this.play.choose(key);
  }

  anyKey() {
    return this.play.type("x");
  }

  async toLevel0() {
    await this.choose("a");
    await this.read("”\n\n");
    await this.read(ANY_KEY + "\n\n");
    await this.anyKey();
    await this.read(CLEAR + "你来到了另一个层级。");
    await this.play.expect(LEVEL_0_OPTIONS);
  }

  // From the title menu: the left way, the manila page, greeting the stranger,
  // up to the base menu after the panel with 385.
  async greetingTheStrangerToTheBase() {
    await this.toLevel0();
    await this.choose("a");
    await this.read(FORK);
    await this.choose("a");
    await this.read("按下任意键继续以查看纸上内容。");
    await this.anyKey();
    await this.read(MANILA_PAGE_END);
    await this.anyKey();
    await this.read(CLEAR + NOCLIP_LESSON);
    await this.anyKey();
    await this.read(CLEAR + "你来到了一个新的层级。\n\n");
    await this.read(STRANGER);
    await this.choose("a");
    await this.read("你：你好！");
    await this.atBase(385);
  }

  // The panel with this stamina, then the base menu.
  atBase(body) {
    return this.read(panel(body) + BASE_MENU);
  }

  // From the base menu: B, every box opened and every item taken or left, up
  // to the graffiti's choice. Returns how many items were taken.
  async explore(take) {
    await this.choose("b");
    await this.read(CLEAR + "你开始探索 Level 1。\n\n");
    let boxes = 1;
    let taken = 0;
    for (let box = 1; box <= boxes; ++box) {
      await this.read(`第 ${box}/`);
      const count = this.play.cursor;
      await this.play.expect(" 个补给箱：\n");
      boxes = await this.countAt(count);
      let items = 1;
      for (let item = 1; item <= items; ++item) {
        await this.read(`补给箱中第 ${item}/`);
        const itemCount = this.play.cursor;
        await this.play.expect("件物品是 杏仁水。");
        items = await this.countAt(itemCount);
        await this.read("是否拾取（并使用）该物品？\nA 是\tB 否\n》a");
        await this.choose(take ? "a" : "b");
        if (take) ++taken;
      }
    }
    await this.read(GRAFFITI);
    return taken;
  }

  // The end screen, a key, and the page's note that the game has ended.
  async endsWith(body) {
    await this.play.expect(endScreen(body));
    await this.anyKey();
    await this.play.waitForEndedNote();
  }

  // N in "N " at this place of the transcript.
  async countAt(at) {
    const found = /^([0-9]+) /.exec((await this.play.written()).slice(at));
    if (found === null) throw new Error(`no count at ${at}`);
    return Number(found[1]);
  }
}

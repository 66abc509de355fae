// The JavaScript of the page, its tests, the benchmark and the scripts:
// ESLint's recommended rules, with each file's own globals.
import js from "@eslint/js";
import globals from "globals";

export default [
  { ignores: ["build/", "node_modules/"] },
  js.configs.recommended,
  {
    files: ["**/*.mjs"],
    languageOptions: { globals: { ...globals.node } },
  },
  {
    // Run in the page by the tests and the benchmark, where the page's terminal is.
    files: ["tests/web/**", "bench/**"],
    languageOptions: { globals: { ...globals.browser, terminal: "readonly" } },
  },
  {
    files: ["web/game.js"],
    languageOptions: {
      sourceType: "script",
      // From the scripts the page loads before this one.
      globals: {
        ...globals.browser,
        Terminal: "readonly",
        gameWidths: "readonly",
        createGame: "readonly",
        cannotLoad: "readonly", // index.html's own
        pageReady: "readonly",
        newReader: "readonly",
      },
    },
  },
  {
    files: ["web/reader.js"],
    languageOptions: { sourceType: "script", globals: { ...globals.browser, Terminal: "readonly" } },
  },
  {
    files: ["web/widths.js"],
    languageOptions: { sourceType: "script" },
  },
  {
    files: ["web/sw.js"],
    languageOptions: { sourceType: "script", globals: { ...globals.serviceworker } },
  },
  {
    rules: {
      "no-unused-vars": ["error", { argsIgnorePattern: "^_" }],
      eqeqeq: "error",
      "prefer-const": "error",
    },
  },
];

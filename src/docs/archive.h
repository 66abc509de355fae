// The archive of reference pages the explorer terminal and the story show.
#pragma once

#include <map>
#include <string>

// Page key to page text, in byte-wise key order. Filled once by init.
extern std::map<std::string, std::string> documentData;

// The game's one set-up: seeds the random draws, registers the pages, builds
// the index and the attribution lines (printing an INIT line per key), and
// defines item 1.
void init();

// Shows the page with exactly this key, paced; a key that names no page shows nothing.
void document(const std::string& t);

// Where the pages first appeared; each attribution line ends with it and the key.
constexpr char SOURCE_BASE[] = "https://huanglang.example.org/archive/";

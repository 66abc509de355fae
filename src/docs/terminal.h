// The M.E.G. explorer terminal: type a page key, read the page, press a key to
// come back; an empty line closes it.
#pragma once

void documentRead();

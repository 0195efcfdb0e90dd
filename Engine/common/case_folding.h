#pragma once
// Windows compares file names without regard to case for every letter it folds, not only A to
// Z: "Ä.txt" and "ä.txt" name one file. These give the key under which names collide there.
#include <string>

namespace tpe {

// The upper-case form of one code point as Windows folds file names (simple, one to one).
char32_t FoldedCodePoint(char32_t c);

// `name` with every letter folded. Names that are valid UTF-8 are folded as UTF-8; any other
// bytes are taken as Windows-1252, the code page of names written by the ANSI calls.
std::string FoldedName(const std::string& name);

}  // namespace tpe

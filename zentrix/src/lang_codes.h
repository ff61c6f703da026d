// Language codes as containers want them.
#pragma once

namespace zx {

// The three-letter ISO 639-2 code (bibliographic form) of a two-letter
// ISO 639-1 code, the code itself when it already has three letters, or null
// when it is neither (containers such as MP4 only store three letters).
const char *threeLetterLanguage(const char *code);

} // namespace zx

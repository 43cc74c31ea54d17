// Pieces of the file utilities that other parts of the library build on.
#ifndef CV_FILEUTIL_INTERNAL_H
#define CV_FILEUTIL_INTERNAL_H

#include <cstddef>
#include <string>

// text with every line that begins with one of keys (without regard to
// case) replaced by that key's line and "\n", and the lines of the keys that
// matched none appended, each on a line of its own. An empty key matches no
// line. The rule of setupFileUpdateLines, on a text already read.
std::string cvReplaceKeyedLines(const std::string& text, const char** keys, const char** lines,
                                size_t count);

#endif

// One line of a stream without its '\n', of any length; a NUL byte stays in
// the line. False at the end of the stream with nothing read.
#ifndef CV_READ_LINE_H
#define CV_READ_LINE_H

#include <cstdio>
#include <string>

inline bool cvReadLine(FILE* file, std::string* line)
{
    line->clear();
    int c;
    bool any = false;
    while ((c = getc(file)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        line->push_back(static_cast<char>(c));
    }
    return any;
}

#endif

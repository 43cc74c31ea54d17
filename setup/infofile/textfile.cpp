// Buffered line reader under the resource bundle loader. Lines are found by
// byte count rather than by string functions, so a NUL in a file cannot make
// the reader lose its place.
#include "resbundle.h"

#include <stdlib.h>
#include <string.h>

namespace {

// The next line, or the next piece of a line longer than the buffer.
// *newline tells whether the piece ended at a newline (consumed).
int next_piece(TextFile* file, const char** start, size_t* length, bool* newline)
{
    if (!file || !file->stream || file->state == TEXTFILE_AT_END)
        return -1;
    char* end = file->buffer + file->count;
    size_t unread = static_cast<size_t>(end - file->position);
    char* nl = static_cast<char*>(memchr(file->position, '\n', unread));
    if (!nl) {
        memmove(file->buffer, file->position, unread);
        file->position = file->buffer;
        // Never asks for 0 bytes: unread text without a newline is handed
        // out whole on the call that reads it, so unread < TEXTFILE_TEXT_MAX.
        size_t got = fread(file->buffer + unread, 1, TEXTFILE_TEXT_MAX - unread, file->stream);
        file->count = static_cast<uint32_t>(unread + got);
        file->buffer[file->count] = '\0';
        end = file->buffer + file->count;
        if (got == 0) {
            file->state = TEXTFILE_AT_END;
            if (unread == 0)
                return -1;
            *start = file->position;
            *length = unread;
            *newline = false;
            file->position = end;
            return 0;
        }
        nl = static_cast<char*>(memchr(file->buffer, '\n', file->count));
        if (!nl) {
            *start = file->buffer;
            *length = file->count;
            *newline = false;
            file->position = end;
            return 0;
        }
    }
    *start = file->position;
    *length = static_cast<size_t>(nl - file->position);
    *newline = true;
    file->position = nl + 1;
    return 0;
}

} // namespace

TextFile* OpenTextFile(const char* path, int mode)
{
    if (!path)
        return nullptr;
    FILE* stream = fopen(path, mode == 1 ? "w+" : "r");
    if (!stream)
        return nullptr;
    TextFile* file = static_cast<TextFile*>(calloc(1, sizeof(TextFile)));
    if (!file) {
        fclose(stream);
        return nullptr;
    }
    file->stream = stream;
    file->position = file->buffer;
    file->count = 0;
    file->state = mode == 1 ? TEXTFILE_WRITING : TEXTFILE_READING;
    return file;
}

int ReadTextLine(TextFile* file, char* line)
{
    const char* start;
    size_t length;
    bool newline;
    if (!line || next_piece(file, &start, &length, &newline) != 0)
        return -1;
    memcpy(line, start, length);
    line[length] = '\0';
    return static_cast<int>(length);
}

long ReadTextLineWhole(TextFile* file, char** line, size_t* capacity)
{
    if (!line || !capacity)
        return -1;
    size_t total = 0;
    bool any = false;
    for (;;) {
        const char* start;
        size_t length;
        bool newline;
        if (next_piece(file, &start, &length, &newline) != 0)
            break;
        any = true;
        if (!*line || *capacity < total + length + 1) {
            size_t grown = *capacity ? *capacity : 256;
            while (grown < total + length + 1)
                grown *= 2;
            char* bigger = static_cast<char*>(realloc(*line, grown));
            if (!bigger)
                return -2;
            *line = bigger;
            *capacity = grown;
        }
        memcpy(*line + total, start, length);
        total += length;
        if (newline)
            break;
    }
    if (!any)
        return -1;
    (*line)[total] = '\0';
    return static_cast<long>(total);
}

void CloseTextFile(TextFile* file)
{
    if (!file)
        return;
    if (file->stream)
        fclose(file->stream);
    free(file);
}

// Reading install-info files into trees.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "adm_pi_internal.h"

namespace {

// "%s %s %s %s %s" would match: at least five white-space separated words.
bool hasFiveWords(const char* text)
{
    int words = 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p && words < 5) {
        while (*p && ADM_pi_isSpace(*p))
            ++p;
        if (!*p)
            break;
        ++words;
        while (*p && !ADM_pi_isSpace(*p))
            ++p;
    }
    return words >= 5;
}

struct Reader {
    ADM_piTree* root;
    ADM_piTree* current;
    bool stop = false;

    void header(char* line)
    {
        char* close = strrchr(line, ']');
        if (close)
            *close = '\0';
        char* text = line + 1;
        if (hasFiveWords(text) || ADM_pi_isGeneralizedTime(text)) {
            if (current->timeStamp)
                stop = true;
            else
                ADM_pi_timeStamp(current, text);
            return;
        }
        char* start = text;
        while (*start == '[' || *start == ' ')
            ++start;
        if (!*start)
            return;
        char* end = start + strcspn(start, "[ ");
        *end = '\0';
        if (strcasecmp(start, "(latest-installation-date)") == 0)
            return;
        if (strcasecmp(start, "General") == 0) {
            current = root;
            return;
        }
        ADM_piTree* sub = ADM_pi_addSection(root, start);
        if (sub) {
            sub->format = root->format;
            current = sub;
        }
    }

    void entry(char* line)
    {
        if (ADM_pi_trimRight(line) == 0)
            return;
        char* p = line;
        while (ADM_pi_isSpace(static_cast<unsigned char>(*p)))
            ++p;
        char* name = p;
        switch (current->format) {
        case 1:
            p += strcspn(p, "=");
            break;
        case 2:
            p += strcspn(p, ":");
            break;
        default:
            while (*p && !ADM_pi_isSpace(static_cast<unsigned char>(*p)) && *p != '=' &&
                   *p != '?' && *p != ':')
                ++p;
            break;
        }
        char* nameEnd = p;
        while (nameEnd > name && ADM_pi_isSpace(static_cast<unsigned char>(nameEnd[-1])))
            --nameEnd;
        if (nameEnd == name)
            return;
        while (ADM_pi_isSpace(static_cast<unsigned char>(*p)))
            ++p;
        char separator = '=';
        if (*p == ':' || *p == '=' || *p == '?')
            separator = *p++;
        while (ADM_pi_isSpace(static_cast<unsigned char>(*p)))
            ++p;
        // The name ends before the separator or the value: cut it in place
        // only now, its end may be the separator itself.
        *nameEnd = '\0';
        if (separator == '?')
            ADM_pi_appendBoolean(current, name, p);
        else
            ADM_pi_appendValue(current, name, p);
    }

    void line(char* text)
    {
        if (text[0] == '#' || text[0] == '\0')
            return;
        if (text[0] == '[')
            header(text);
        else
            entry(text);
    }
};

} // namespace

// The stamp NVPair::stampTime sets is a single word; it is recognised here so
// that a written stamp reads back as a stamp and not as a section named
// after it.
bool ADM_pi_isGeneralizedTime(const char* text)
{
    for (int i = 0; i < 14; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return text[14] == 'Z' && text[15] == '\0';
}

ADM_piTree* ADM_pi_init(const char* path)
{
    return ADM_pi_init(path, 0);
}

ADM_piTree* ADM_pi_init(const char* path, int format)
{
    return ADM_pi_init(path, format, nullptr);
}

ADM_piTree* ADM_pi_init(const char* path, int format, int* status)
{
    int ignored;
    if (!status)
        status = &ignored;
    *status = ADM_PI_READ_COMPLETE;
    ADM_piTree* tree = ADM_pi_newTree(format);
    if (!tree) {
        *status = ADM_PI_READ_ERROR;
        return tree;
    }
    if (!path)
        return tree;
    FILE* in = fopen(path, "r");
    if (!in) {
        *status = errno == ENOENT ? ADM_PI_READ_NO_FILE : ADM_PI_READ_ERROR;
        return tree;
    }
    Reader reader{tree, tree};
    // getline grows its buffer as needed: lines have no length limit.
    char* buffer = nullptr;
    size_t capacity = 0;
    ssize_t n;
    while (!reader.stop && (n = getline(&buffer, &capacity, in)) >= 0) {
        // Drop the line end (LF or CRLF) so that a header without ']' does
        // not take it into its name; a NUL byte ends the line's text.
        size_t len = strnlen(buffer, static_cast<size_t>(n));
        buffer[len] = '\0';
        if (len > 0 && buffer[len - 1] == '\n')
            buffer[--len] = '\0';
        if (len > 0 && buffer[len - 1] == '\r')
            buffer[--len] = '\0';
        reader.line(buffer);
    }
    if (reader.stop)
        *status = ADM_PI_READ_STOPPED;
    else if (ferror(in))
        *status = ADM_PI_READ_ERROR;
    free(buffer);
    fclose(in);
    return tree;
}

// The value of one hexadecimal digit, for the decoders of %XX, \XX and
// \uXXXX escapes; -1 when c is not one.
#ifndef CV_HEX_DIGIT_H
#define CV_HEX_DIGIT_H

inline int cvHexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

#endif

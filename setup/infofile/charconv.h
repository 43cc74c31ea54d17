/*
 * Conversion of texts between the process locale's character set and UTF-8,
 * through ICU's converters. Every result is a new malloc'd string (free it
 * with free); a text that cannot be converted comes back as an unchanged copy.
 */
#ifndef CV_CHARCONV_H
#define CV_CHARCONV_H

// Locale name to charset rows; '!' starts a comment line.
extern const char* CHARCONVTABLE;

// setlocale(LC_CTYPE, "") and a copy of the name it reports ("C" if none).
char* GetNormalizedLocaleName();
// Charset of locale by the table, falling back to the part before '_' and
// then to "ISO_8859-1:1987".
char* GetCharsetFromLocale(char* locale);
char* localToUTF8(const char* text);
// UTF-8 to the local charset. A text the local charset cannot represent (or
// that is not valid UTF-8) comes back unchanged: no substitution characters.
char* UTF8ToLocal(const char* text);
int isAsciiBuffer(const char* text);

#endif

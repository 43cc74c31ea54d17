// Local character set <-> UTF-8 through ICU converters.
#include "charconv.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <strings.h>
#include <unicode/ucnv.h>

#include "c_boundary.h"
#include "setup_infofile.h"

const char* CHARCONVTABLE = "! Maps the locale names of the host to the character sets of ICU.\n"
                            "!\n"
                            "C:\tISO_8859-1:1987\n"
                            "de:\tISO_8859-1:1987\n"
                            "en_US:\tISO_8859-1:1987\n"
                            "es:\tISO_8859-1:1987\n"
                            "fr:\tISO_8859-1:1987\n"
                            "iso_8859_1:\tISO_8859-1:1987\n"
                            "it:\tISO_8859-1:1987\n"
                            "ja:\tExtended_UNIX_Code_Packed_Format_for_Japanese\n"
                            "ja_JP.EUC:\tExtended_UNIX_Code_Packed_Format_for_Japanese\n"
                            "ja_JP.PCK:\tShift_JIS\n"
                            "japanese:\tExtended_UNIX_Code_Packed_Format_for_Japanese\n"
                            "ko:\tEUC-KR\n"
                            "ko.UTF-8:\tUTF-8\n"
                            "sv:\tISO_8859-1:1987\n"
                            "zh:\tGB2312\n"
                            "zh.UTF-8:\tUTF-8\n"
                            "zh_TW:\tcns11643_1\n";

static const char DEFAULT_CHARSET[] = "ISO_8859-1:1987";

char* GetNormalizedLocaleName()
{
    const char* name = setlocale(LC_CTYPE, "");
    return strdup(name && *name ? name : "C");
}

namespace {

// One walk of the table: true with the charset in out on a match.
bool lookUp(const std::string& locale, std::string& out)
{
    const char* p = CHARCONVTABLE;
    while (*p) {
        const char* end = strchr(p, '\n');
        if (!end)
            end = p + strlen(p);
        std::string line(p, static_cast<size_t>(end - p));
        p = *end ? end + 1 : end;
        if (line.empty() || line[0] == '!')
            continue;
        size_t colon = line.find(':');
        if (colon == std::string::npos)
            return false;
        if (strcasecmp(line.substr(0, colon).c_str(), locale.c_str()) != 0)
            continue;
        size_t at = colon + 1;
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
            ++at;
        char c = at < line.size() ? line[at] : '\0';
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            out = line.substr(at);
            return true;
        }
        return false;
    }
    return false;
}

// "xx_YY.UTF-8", "C.utf8", "ko.UTF-8@mod": text in such a locale is
// already UTF-8.
bool namesUtf8(const char* locale)
{
    if (!locale)
        return false;
    const char* dot = strchr(locale, '.');
    if (!dot)
        return false;
    std::string codeset(dot + 1, strcspn(dot + 1, "@"));
    return strcasecmp(codeset.c_str(), "UTF-8") == 0 || strcasecmp(codeset.c_str(), "utf8") == 0;
}

// The locale the environment asks for, even when it is not installed and
// setlocale fell back to C.
const char* requestedLocale()
{
    const char* vars[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    for (const char* v : vars) {
        const char* value = getenv(v);
        if (value && *value)
            return value;
    }
    return nullptr;
}

bool hasNonAsciiByte(const char* text)
{
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        if (*p >= 0x80)
            return true;
    return false;
}

// One ICU step. Stop callbacks: a byte sequence or character the converter
// cannot map fails the step instead of yielding substitution characters.
void* convertWithConverter(const void* source, const char* name, bool toUnicode)
{
    UErrorCode error = U_ZERO_ERROR;
    UConverter* conv = ucnv_open(name, &error);
    if (U_FAILURE(error) || !conv)
        return nullptr;
    ucnv_setToUCallBack(conv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
    ucnv_setFromUCallBack(conv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
    void* result = nullptr;
    if (U_SUCCESS(error)) {
        int32_t n =
            toUnicode
                ? ucnv_toUChars(conv, nullptr, 0, static_cast<const char*>(source), -1, &error)
                : ucnv_fromUChars(conv, nullptr, 0, static_cast<const UChar*>(source), -1, &error);
        if (error == U_BUFFER_OVERFLOW_ERROR && n >= 1) {
            error = U_ZERO_ERROR;
            ucnv_reset(conv);
            void* buffer = malloc(2 * (static_cast<size_t>(n) + 1));
            if (buffer) {
                int32_t m = toUnicode
                                ? ucnv_toUChars(conv, static_cast<UChar*>(buffer), n + 1,
                                                static_cast<const char*>(source), -1, &error)
                                : ucnv_fromUChars(conv, static_cast<char*>(buffer), n + 1,
                                                  static_cast<const UChar*>(source), -1, &error);
                if (U_FAILURE(error) || m != n)
                    free(buffer);
                else
                    result = buffer;
            }
        }
    }
    ucnv_close(conv);
    return result;
}

char* convertLocalText(const char* text, int direction)
{
    if (!text)
        return nullptr;
    if (!*text || (direction == 0 && !hasNonAsciiByte(text)))
        return strdup(text);
    CvMallocPtr<char> localeName(GetNormalizedLocaleName());
    char* locale = localeName.get();
    CvMallocPtr<char> charsetName(locale ? GetCharsetFromLocale(locale) : nullptr);
    char* charset = charsetName.get();
    char* result = nullptr;
    // In a UTF-8 locale the text already is UTF-8: a legacy charset found
    // through the language's row would encode it twice.
    bool utf8 = namesUtf8(locale) || namesUtf8(requestedLocale()) ||
                (charset && strcasecmp(charset, "UTF-8") == 0);
    if (charset && !utf8) {
        const char* from = direction == 1 ? charset : "utf-8";
        const char* to = direction == 1 ? "utf-8" : charset;
        void* wide = convertWithConverter(text, from, true);
        if (wide) {
            result = static_cast<char*>(convertWithConverter(wide, to, false));
            free(wide);
        }
    }
    return result ? result : strdup(text);
}

} // namespace

char* GetCharsetFromLocale(char* locale)
{
    std::string name(locale ? locale : "");
    std::string charset;
    // Held in a string, not a fixed buffer: long locale names are looked up whole.
    while (true) {
        if (lookUp(name, charset))
            return strdup(charset.c_str());
        size_t underscore = name.find('_');
        if (underscore == std::string::npos)
            return strdup(DEFAULT_CHARSET);
        name.resize(underscore);
    }
}

char* localToUTF8(const char* text)
{
    return convertLocalText(text, 1);
}

char* UTF8ToLocal(const char* text)
{
    return convertLocalText(text, 0);
}

int isAsciiBuffer(const char* text)
{
    return !text || !hasNonAsciiByte(text);
}

char* setupLocalToUtf8(const char* text)
{
    return cvGuard<char*>(nullptr, [&] { return localToUTF8(text); });
}

char* setupUTF8ToLocal(const char* text)
{
    return cvGuard<char*>(nullptr, [&] { return UTF8ToLocal(text); });
}

int setupIsAsciiBuffer(const char* text)
{
    return isAsciiBuffer(text);
}

void setupGetGmtime(char* buffer, size_t size)
{
    if (!buffer || size == 0)
        return;
    time_t now = time(nullptr);
    struct tm parts;
    if (!gmtime_r(&now, &parts) || strftime(buffer, size, "%Y%m%d%H%M%SZ", &parts) == 0)
        buffer[0] = '\0';
}

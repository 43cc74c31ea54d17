#include "admtask.h"
#include "admtask_state.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>

namespace admtask {

std::vector<std::pair<std::string, std::string>>& requestVars()
{
    static std::vector<std::pair<std::string, std::string>> vars;
    return vars;
}

namespace {

// The digits of "%XX": the encoder writes these, the decoder reads either
// letter case.
const char kHexDigits[] = "0123456789ABCDEF";

int hexValue(char c)
{
    if (c >= 'a' && c <= 'f')
        c = static_cast<char>(c - 'a' + 'A');
    const char* at = c != '\0' ? strchr(kHexDigits, c) : nullptr;
    return at != nullptr ? static_cast<int>(at - kHexDigits) : -1;
}

std::string decodePart(const char* p, size_t n)
{
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        char c = p[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < n && hexValue(p[i + 1]) >= 0 && hexValue(p[i + 2]) >= 0) {
            int v = hexValue(p[i + 1]) * 16 + hexValue(p[i + 2]);
            if (v == 0) {
                out += c; // a NUL would silently cut the value short
                continue;
            }
            out += static_cast<char>(v);
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

void decodeForm(const char* text, size_t length)
{
    auto& vars = requestVars();
    vars.clear();
    size_t start = 0;
    while (start <= length) {
        size_t end = start;
        while (end < length && text[end] != '&')
            ++end;
        if (end > start) {
            const char* pair = text + start;
            size_t n = end - start;
            const void* eq = memchr(pair, '=', n);
            size_t nameLen = eq ? static_cast<size_t>(static_cast<const char*>(eq) - pair) : n;
            std::string name = decodePart(pair, nameLen);
            std::string value = eq ? decodePart(pair + nameLen + 1, n - nameLen - 1) : "";
            vars.emplace_back(std::move(name), std::move(value));
        }
        start = end + 1;
    }
}

const char* instanceName()
{
    const char* name = ds_get_cgi_var("InstanceName");
    return name != nullptr ? name : ds_get_server_name();
}

std::string oneLine(const char* text)
{
    return ds_one_line(text != nullptr ? text : "");
}

} // namespace admtask

std::string ds_form_encode(const std::string& value)
{
    std::string out;
    for (unsigned char c : value) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += admtask::kHexDigits[c >> 4];
            out += admtask::kHexDigits[c & 0x0f];
        }
    }
    return out;
}

std::string ds_one_line(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return out;
}

extern "C" {

int ADMUTIL_Init(void)
{
    admtask::requestVars().clear();
    return 0;
}

int ds_get_begin(const char* query)
{
    if (query == nullptr)
        return -1;
    admtask::decodeForm(query, strlen(query));
    return 0;
}

int ds_post_begin(FILE* in)
{
    admtask::requestVars().clear();
    if (in == nullptr)
        return -1;
    const char* lengthText = getenv("CONTENT_LENGTH");
    bool bounded = lengthText != nullptr && *lengthText != '\0';
    size_t want = ADMTASK_MAX_BODY + 1;
    if (bounded) {
        size_t digits = strspn(lengthText, "0123456789");
        if (digits == 0 || lengthText[digits] != '\0' || digits > 9)
            return -1;
        want = strtoul(lengthText, nullptr, 10);
        if (want > ADMTASK_MAX_BODY)
            return -1;
    }
    std::string body(want, '\0');
    size_t got = want == 0 ? 0 : fread(&body[0], 1, want, in);
    // A body cut short could turn "inst10" into "inst1"; decode all or nothing.
    if (bounded ? got != want : got > ADMTASK_MAX_BODY)
        return -1;
    if (!bounded && ferror(in))
        return -1;
    admtask::decodeForm(body.data(), got);
    return 0;
}

const char* ds_get_cgi_var(const char* name)
{
    if (name == nullptr)
        return nullptr;
    for (const auto& var : admtask::requestVars())
        if (var.first == name)
            return var.second.c_str();
    return nullptr;
}

const char* ds_get_server_name(void)
{
    // Every distinct name handed out stays allocated, so a caller's pointer
    // survives later calls (silent mode asks before the request is decoded).
    static std::deque<std::string> names;
    const char* script = getenv("SCRIPT_NAME");
    if (script == nullptr)
        return nullptr;
    while (*script == '/')
        ++script;
    size_t len = strcspn(script, "/");
    if (len == 0)
        return nullptr;
    std::string name(script, len);
    if (names.empty() || names.back() != name)
        names.push_back(name);
    return names.back().c_str();
}

int ds_is_safe_instance_name(const char* name)
{
    if (name == nullptr || *name == '\0')
        return 0;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
        return 0;
    for (const char* p = name; *p != '\0'; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == '/' || c < 0x20 || c == 0x7f)
            return 0;
    }
    return 1;
}

} // extern "C"

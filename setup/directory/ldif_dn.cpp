// The DN of an LDIF record: composition with the suffix, and ordering keys.
#include "ldif_dn.h"

#include <algorithm>

#include "ldap_dn.h"

namespace {

// The text up to each separator that no backslash escapes.
std::vector<std::string> splitUnescaped(const std::string& text, char separator)
{
    std::vector<std::string> out(1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == separator) {
            out.emplace_back();
            continue;
        }
        out.back() += text[i];
        if (text[i] == '\\' && i + 1 < text.size())
            out.back() += text[++i];
    }
    return out;
}

// The ordering key of one RDN in its LDAPv3 form ("cn=A B+sn=c").
std::string rdnKey(const std::string& rdn)
{
    std::vector<std::string> values;
    for (const std::string& ava : splitUnescaped(rdn, '+')) {
        std::string v;
        for (size_t i = ava.find('=') + 1; i < ava.size(); ++i) {
            // Bytes of other characters are left out: a server's matching
            // rule may fold them (é and É) in ways an ASCII fold does not.
            unsigned char c = static_cast<unsigned char>(ava[i]);
            if (c != ' ' && c != '\t' && c < 0x80)
                v += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
        values.push_back(v);
    }
    std::sort(values.begin(), values.end());
    std::string key;
    for (const std::string& v : values)
        key += v + "+";
    return key;
}

} // namespace

LdifDnMaker::LdifDnMaker(const std::string& suffix) : suffix_(suffix), suffixParses_(true)
{
    if (!suffix_.empty())
        suffixParses_ = cvSplitDN(suffix_.c_str(), suffixRdns_);
}

bool LdifDnMaker::make(const std::string* value, std::string* dn, std::vector<std::string>* key,
                       std::string* why) const
{
    std::vector<std::string> own, whole;
    if (!value && suffix_.empty()) {
        *why = "no DN, and no suffix to name the entry";
        return false;
    }
    if (value && value->find('\0') != std::string::npos) {
        *why = "the DN holds a NUL byte";
        return false;
    }
    if (value && !cvSplitDN(value->c_str(), own)) {
        *why = "the DN \"" + *value + "\" does not parse";
        return false;
    }
    if (!suffixParses_) {
        *why = "the suffix \"" + suffix_ + "\" does not parse";
        return false;
    }
    *dn = !value ? suffix_ : suffix_.empty() ? *value : *value + ", " + suffix_;
    if (!value)
        whole = suffixRdns_;
    else if (suffix_.empty())
        whole.swap(own);
    else if (!cvSplitDN(dn->c_str(), whole) || whole.size() != own.size() + suffixRdns_.size() ||
             !std::equal(suffixRdns_.begin(), suffixRdns_.end(),
                         whole.end() - static_cast<long>(suffixRdns_.size()))) {
        *why = "the DN \"" + *value + "\" does not stay below the suffix";
        return false;
    }
    key->clear();
    for (const std::string& rdn : whole)
        key->push_back(rdnKey(rdn));
    return true;
}

bool ldifDependent(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    size_t n = std::min(a.size(), b.size());
    return std::equal(a.end() - static_cast<long>(n), a.end(), b.end() - static_cast<long>(n));
}

/*
 * The library's one place for turning caller text into LDAP syntax: filter
 * assertion values (RFC 4515), attribute values inside a DN (RFC 4514) and
 * a DN or host written into an LDAP URL (RFC 4516). Every filter or DN composed from
 * a caller's value goes through these, so "*", "a)(|(cn=*" or "Corvid, Inc."
 * only ever match or name themselves.
 *
 * Returns: the escaped text; a null argument gives "".
 */
#ifndef CV_LDAP_ESCAPE_H
#define CV_LDAP_ESCAPE_H

#include <string>

// '*', '(', ')', '\', NUL and control characters become "\XX".
std::string cvEscapeFilterValue(const char* value);

// An attribute value as it stands inside an RDN: ',', '+', '"', '\', '<',
// '>', ';', '=' and control characters are escaped as "\XX" (so a DN never
// carries a raw control byte), a leading '#' or blank and a trailing blank
// as "\" followed by the character.
std::string cvEscapeDnValue(const char* value);

// The DN percent-encoded as the DN part of an LDAP URL: every octet outside
// the unreserved set and the DN's own '=', ',', '+', ';' is written %XX, so
// blanks, '?' and '%' reach the server unchanged.
std::string cvEncodeUrlDN(const char* dn);

// A host or port written into an LDAP URL: octets that would end or alter
// the URL's host part (blanks, controls, non-ASCII, '/', '?', '#', '%') are
// written %XX, which URL parsers decode there again.
std::string cvEncodeUrlHost(const char* text);

#endif

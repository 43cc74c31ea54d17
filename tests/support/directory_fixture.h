// Shared by the directory tests: the people every connection test binds as,
// and a port on which nothing listens.
#ifndef CV_TEST_DIRECTORY_FIXTURE_H
#define CV_TEST_DIRECTORY_FIXTURE_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "slapd.h"

namespace cvtest {

// A loopback port that was free a moment ago and has no listener.
inline int closedPort()
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    close(s);
    return ntohs(a.sin_port);
}

// ou=People and ou=Staff below o=CorvidRoot with: alice (password
// "alice-pw"), two entries of uid "twin" (passwords "first" and "second", in
// that order), and bob ("bob-pw").
inline std::string peopleLdif()
{
    return "dn: ou=People, o=CorvidRoot\nobjectclass: organizationalUnit\nou: People\n\n"
           "dn: ou=Staff, o=CorvidRoot\nobjectclass: organizationalUnit\nou: Staff\n\n" +
           Slapd::personLdif("uid=alice, ou=People, o=CorvidRoot", "alice", "alice-pw") +
           Slapd::personLdif("uid=twin, ou=People, o=CorvidRoot", "twin", "first") +
           Slapd::personLdif("uid=twin, ou=Staff, o=CorvidRoot", "twin", "second") +
           Slapd::personLdif("uid=bob, ou=Staff, o=CorvidRoot", "bob", "bob-pw");
}

} // namespace cvtest

#endif

// The host's name and network domain, and free TCP ports.
#include "setup_host.h"

#include "c_boundary.h"
#include "host_internal.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <netdb.h>
#include <netinet/in.h>
#include <random>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char* const kResolvConf = "/etc/resolv.conf";

// The first word after "domain " on the file's first line that begins with
// it; found tells an empty word from no such line.
std::string resolvDomain(const char* path, bool& found)
{
    found = false;
    std::string domain;
    FILE* in = fopen(path, "r");
    if (!in)
        return domain;
    char* line = nullptr;
    size_t capacity = 0;
    // Lines are read whole, however long; a long comment cannot split into
    // a line that looks like "domain ".
    while (getline(&line, &capacity, in) >= 0) {
        if (strncasecmp(line, "domain ", 7) != 0)
            continue;
        const char* word = line + 7;
        word += strspn(word, " \t");
        domain.assign(word, strcspn(word, " \t\r\n"));
        found = true;
        break;
    }
    free(line);
    fclose(in);
    return domain;
}

std::string localHostName()
{
    // HOST_NAME_MAX is 64 on this platform, but the name is asked for until
    // it fits rather than cut at a fixed size.
    std::string name(256, '\0');
    for (;;) {
        if (gethostname(&name[0], name.size()) == 0 && memchr(name.data(), '\0', name.size())) {
            name.resize(strlen(name.c_str()));
            return name;
        }
        if (errno != ENAMETOOLONG || name.size() > 65536)
            return std::string();
        name.resize(name.size() * 2);
    }
}

// The domain part of the host's canonical name: the platform has no
// secure-RPC domain query, and the resolver's idea of the host is the
// nearest equivalent.
std::string canonicalDomain()
{
    std::string name = localHostName();
    if (name.empty())
        return std::string();
    addrinfo hints{};
    hints.ai_flags = AI_CANONNAME;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found)
        return std::string();
    std::string domain;
    if (found->ai_canonname) {
        const char* dot = strchr(found->ai_canonname, '.');
        if (dot)
            domain = dot + 1;
    }
    freeaddrinfo(found);
    return domain;
}

char* copyOut(const std::string& text)
{
    char* out = static_cast<char*>(malloc(text.size() + 1));
    if (out)
        memcpy(out, text.c_str(), text.size() + 1);
    return out;
}

} // namespace

std::string cvNetworkDomain(const char* resolvConf)
{
    bool found = false;
    std::string domain = resolvDomain(resolvConf, found);
    if (!found)
        domain = canonicalDomain();
    if (!domain.empty() && domain[0] == '.')
        domain.erase(0, 1);
    return domain;
}

std::string cvQualifiedHostName(const std::string& name, const char* resolvConf)
{
    if (name.find('.') != std::string::npos)
        return name;
    std::string domain = cvNetworkDomain(resolvConf);
    return domain.empty() ? name : name + "." + domain;
}

extern "C" char* setupGetNetworkDomain(void)
{
    return cvGuard<char*>(nullptr, [] { return copyOut(cvNetworkDomain(kResolvConf)); });
}

extern "C" char* setupGetHostName(void)
{
    return cvGuard<char*>(nullptr, [] {
        std::string name = localHostName();
        return name.empty() ? nullptr : copyOut(cvQualifiedHostName(name, kResolvConf));
    });
}

extern "C" int setupIsValidNetworkPort(int port)
{
    if (port < 1 || port > 65535)
        return 0;
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<uint16_t>(port));
    int bound = bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    close(s);
    return bound == 0 ? 1 : 0;
}

extern "C" int setupGetRandomNetworkPort(void)
{
    // Seeded once: reseeding from time() at every call made two calls in
    // the same second draw the same ports. The generator is our own, so
    // the caller's rand() sequence is not disturbed.
    static std::minstd_rand generator(static_cast<std::minstd_rand::result_type>(time(nullptr)) ^
                                      (static_cast<std::minstd_rand::result_type>(getpid()) << 16));
    std::uniform_int_distribution<int> ports(1024, 65534);
    // Bounded: on a host where no socket can be bound, the search ends.
    for (int draw = 0; draw < 1000; ++draw) {
        int port = ports(generator);
        if (setupIsValidNetworkPort(port))
            return port;
    }
    return -1;
}

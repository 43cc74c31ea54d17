// cv-slapd: the test slapd as a program, for scripts (the demo) that need the
// same server the tests run against. It starts one server with the default
// layout, writes its port to the file named by its argument (written whole
// before the name appears, so a reader never sees a partial number), and
// stops the server when it gets SIGTERM, SIGINT or SIGHUP.
#include "slapd_server.h"

#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: cv-slapd <port-file>\n");
        return 2;
    }
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGHUP);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);

    cvtest::Slapd server;
    if (!server.start()) {
        fprintf(stderr, "cv-slapd: %s\n", server.error().c_str());
        return 1;
    }
    std::string portFile = argv[1];
    std::string partial = portFile + ".part";
    {
        std::ofstream out(partial);
        out << server.port() << "\n";
        if (!out.flush()) {
            fprintf(stderr, "cv-slapd: cannot write %s\n", partial.c_str());
            return 1;
        }
    }
    if (rename(partial.c_str(), portFile.c_str()) != 0) {
        fprintf(stderr, "cv-slapd: cannot write %s\n", portFile.c_str());
        return 1;
    }
    int sig = 0;
    sigwait(&stopSignals, &sig);
    server.stop();
    return 0;
}

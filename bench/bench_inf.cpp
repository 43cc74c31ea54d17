// Parses a generated 20 MB inf file of 100k sections and writes it back;
// prints MB/s beside Python's configparser reading the same file.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "adm_pi_internal.h"

namespace {

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Equals layout, which configparser reads too.
long generate(const std::string& path, int sections)
{
    FILE* f = fopen(path.c_str(), "w");
    if (!f)
        return -1;
    fprintf(f, "[General]\nFullMachineName= host.example.com\nSuiteSpotUserID= nobody\n");
    for (int i = 0; i < sections; ++i) {
        fprintf(f, "\n[slapd-instance%06d]\n", i);
        fprintf(f, "ServerIdentifier= instance%06d\n", i);
        fprintf(f, "ServerPort= %d\n", 1024 + i % 60000);
        fprintf(f, "Suffix= dc=unit%06d, dc=example, dc=com\n", i);
        fprintf(f, "RootDN= cn=Directory Manager, ou=unit%06d\n", i);
        fprintf(f, "Components= slapd, admin, base, console\n");
        fprintf(f, "AdminDomain= example.com\n");
    }
    fclose(f);
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

} // namespace

int main(int argc, char** argv)
{
    int sections = argc > 1 ? atoi(argv[1]) : 100000;
    int runs = argc > 2 ? atoi(argv[2]) : 5;
    char dirTemplate[] = "/tmp/bench_inf.XXXXXX";
    if (!mkdtemp(dirTemplate))
        return 1;
    std::string dir = dirTemplate;
    std::string in = dir + "/big.inf", out = dir + "/back.inf";
    long bytes = generate(in, sections);
    if (bytes <= 0)
        return 1;
    double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);

    std::vector<double> parse, write;
    int readSections = 0;
    for (int r = 0; r < runs; ++r) {
        auto t0 = std::chrono::steady_clock::now();
        ADM_piTree* tree = ADM_pi_init(in.c_str(), 1);
        parse.push_back(seconds(t0));
        readSections = tree->sectionCount;
        auto t1 = std::chrono::steady_clock::now();
        if (ADM_pi_write(tree, out.c_str()) != 0)
            fprintf(stderr, "write failed\n");
        write.push_back(seconds(t1));
        ADM_pi_done(tree);
    }

    std::string cmd = "python3 " CV_SOURCE_DIR "/bench/configparser_peer.py " + in + " 3";
    double peer = -1;
    int peerSections = 0;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        if (fscanf(p, "%lf %d", &peer, &peerSections) != 2)
            peer = -1;
        pclose(p);
    }

    double parseS = median(parse), writeS = median(write);
    printf("inf file: %.1f MB, %d sections (configparser saw %d)\n", mb, readSections,
           peerSections);
    printf("ADM_pi_init parse:        %8.1f MB/s  (median %.3f s of %d)\n", mb / parseS, parseS,
           runs);
    printf("ADM_pi_write write-back:  %8.1f MB/s  (median %.3f s of %d)\n", mb / writeS, writeS,
           runs);
    printf("parse + write:            %8.1f MB/s\n", mb / (parseS + writeS));
    if (peer > 0) {
        printf("python3 configparser read:%8.1f MB/s  (median %.3f s of 3)\n", mb / peer, peer);
        printf("ratio parse / configparser:         %.1fx\n", peer / parseS);
        printf("ratio parse+write / configparser:   %.1fx\n", peer / (parseS + writeS));
    } else {
        printf("python3 configparser: not available\n");
    }
    unlink(in.c_str());
    unlink(out.c_str());
    rmdir(dir.c_str());
    return 0;
}

// A C++ consumer of the installed library's classes: a counted string and an
// install-info tree written and read back.
#include <cstdio>
#include <cstring>
#include <string>

#include <cvsetup/adm_pi.h>
#include <cvsetup/cvstring.h>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    CVString joined = CVString("Server") + "Port";
    std::string path = std::string(argv[1]) + "/classes.inf";
    ADM_piTree* tree = ADM_pi_init(nullptr, 1);
    ADM_pi_setValue(tree, joined, "636");
    int written = ADM_pi_write(tree, path.c_str());
    ADM_pi_done(tree);
    tree = ADM_pi_init(path.c_str(), 1);
    const char* value = ADM_pi_value(tree, "serverport");
    bool ok = written == 0 && joined.length() == 10 && value != nullptr && std::strcmp(value, "636") == 0;
    std::printf("classes %s=%s %s\n", static_cast<const char*>(joined), value ? value : "(none)",
                ok ? "read back" : "MISMATCH");
    ADM_pi_done(tree);
    return ok ? 0 : 1;
}

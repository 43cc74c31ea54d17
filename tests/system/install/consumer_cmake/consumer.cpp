// Uses the published classes and plain functions of the installed library:
// the inf value the C consumer wrote, read through NVPair, and a Base64
// round trip of a CVString.
#include <cvsetup/cvsetup.h>
#include <cvsetup/cvstring.h>
#include <cvsetup/nvpair.h>

#include <cstdio>
#include <memory>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    NVPair inf(argv[1]);
    std::unique_ptr<NVPair> slapd(inf.getSection("slapd")); // a view the caller deletes
    const char* port = slapd ? slapd->get("ServerPort") : nullptr;
    std::printf("slapd/ServerPort=%s\n", port ? port : "(none)");

    CVString text("uid=admin, ou=Administrators");
    std::vector<char> coded(setupBase64_EncodedSize(text.length(), -1));
    setupBase64_Encode(reinterpret_cast<const unsigned char*>(static_cast<const char*>(text)),
                       coded.data(), text.length(), -1);
    std::vector<unsigned char> plain(setupBase64_DecodedSize(coded.data()));
    int n = setupBase64_decode(coded.data(), plain.data());
    CVString back(reinterpret_cast<const char*>(plain.data()), n < 0 ? 0 : n);
    std::printf("round trip %s\n", back == text ? "kept the text" : "changed the text");
    return 0;
}

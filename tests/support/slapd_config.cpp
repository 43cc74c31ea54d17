#include "slapd.h"

#include <sstream>
#include <sys/stat.h>

#include "slapd_internal.h"

namespace cvtest {
namespace slapdimpl {

std::string installedSchemaDir() {
    for (const char* d : {"/etc/ldap/schema", "/etc/openldap/schema", "/usr/share/openldap/schema"}) {
        struct stat st;
        if (stat((std::string(d) + "/core.schema").c_str(), &st) == 0) return d;
    }
    return std::string();
}

// End of the parenthesised definition that starts at or after from: the
// index just past its closing ')'. Quoted descriptions may hold parentheses.
size_t definitionEnd(const std::string& text, size_t from) {
    size_t i = text.find('(', from);
    if (i == std::string::npos) return std::string::npos;
    int depth = 0;
    bool quoted = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\'') quoted = !quoted;
        else if (!quoted && c == '(') ++depth;
        else if (!quoted && c == ')' && --depth == 0) return i + 1;
    }
    return std::string::npos;
}

// The registry combines groupOfUniqueNames with its own structural classes
// and writes groups before their members exist: make it auxiliary with
// every attribute optional.
bool patchCore(std::string* core) {
    const std::string key = "NAME 'groupOfUniqueNames'";
    size_t name = core->find(key);
    if (name == std::string::npos) return false;
    size_t start = core->rfind("objectclass", name);
    if (start == std::string::npos) return false;
    size_t end = definitionEnd(*core, start);
    if (end == std::string::npos) return false;
    core->replace(start, end - start,
                  "objectclass ( 2.5.6.17 NAME 'groupOfUniqueNames'\n"
                  "\tDESC 'RFC2256: a group of unique names (DN and Unique Identifier)'\n"
                  "\tSUP top AUXILIARY\n"
                  "\tMAY ( uniqueMember $ cn $ businessCategory $ seeAlso $ owner $ ou $ o $\n"
                  "\t\tdescription ) )");
    return true;
}

// Directories of servers whose test process crashed (no destructor ran)
// stay behind. Remove those whose server is gone: the pid file names a dead
// process, or there is none and the directory is over an hour old.
std::string suffixEntry(const std::string& suffix) {
    size_t eq = suffix.find('=');
    if (eq == std::string::npos || suffix.find(',') != std::string::npos) return std::string();
    std::string type = suffix.substr(0, eq), value = suffix.substr(eq + 1);
    std::string dn = "dn: " + suffix + "\n";
    if (type == "o") return dn + "objectclass: organization\no: " + value + "\n\n";
    if (type == "ou") return dn + "objectclass: organizationalUnit\nou: " + value + "\n\n";
    if (type == "cn") return dn + "objectclass: cvTestEntry\ncn: " + value + "\n\n";
    if (type == "dc")
        return dn + "objectclass: dcObject\nobjectclass: organization\ndc: " + value + "\no: " + value +
               "\n\n";
    return std::string();
}

} // namespace slapdimpl

using namespace slapdimpl;

bool Slapd::writeConfig() {
    std::string schemaDir = installedSchemaDir();
    if (schemaDir.empty()) {
        error_ = "no installed OpenLDAP schema directory (core.schema) found";
        return false;
    }
    std::string core, test;
    if (!readFile(schemaDir + "/core.schema", &core) || !patchCore(&core)) {
        error_ = "cannot copy and patch " + schemaDir + "/core.schema";
        return false;
    }
    std::string testSchema = std::string(CV_SOURCE_DIR) + "/tests/support/schema/corvid-test.schema";
    if (!readFile(testSchema, &test)) {
        error_ = "cannot read " + testSchema;
        return false;
    }
    mkdir((dir_ + "/schema").c_str(), 0700);
    if (!writeFile(dir_ + "/schema/core.schema", core) || !writeFile(dir_ + "/schema/corvid-test.schema", test)) {
        error_ = "cannot write the schema copies";
        return false;
    }

    std::ostringstream c;
    c << "include " << dir_ << "/schema/core.schema\n"
      << "include " << schemaDir << "/cosine.schema\n"
      << "include " << schemaDir << "/inetorgperson.schema\n"
      << "include " << dir_ << "/schema/corvid-test.schema\n"
      << "pidfile " << dir_ << "/slapd.pid\n"
      << "argsfile " << dir_ << "/slapd.args\n"
      << "modulepath /usr/lib/ldap\n"
      << "moduleload back_mdb\n";
    if (!options_.defaultReferral.empty()) c << "referral " << options_.defaultReferral << "\n";

    std::vector<std::string> suffixes{kBase};
    suffixes.insert(suffixes.end(), options_.extraSuffixes.begin(), options_.extraSuffixes.end());
    if (options_.monitorDatabase) suffixes.push_back("cn = monitor");
    for (size_t i = 0; i < suffixes.size(); ++i) {
        std::string db = dir_ + "/db" + std::to_string(i);
        mkdir(db.c_str(), 0700);
        c << "\ndatabase mdb\n"
          << "suffix \"" << suffixes[i] << "\"\n"
          << "rootdn \"" << kRootDN << "\"\n";
        if (i == 0) c << "rootpw " << kRootPassword << "\n";
        c << "directory " << db << "\n"
          << "maxsize 1073741824\n"
          // Tests need no durability; syncing every write costs seconds.
          << "dbnosync\n"
          << "sizelimit " << (options_.sizeLimit > 0 ? std::to_string(options_.sizeLimit) : "unlimited")
          << "\n";
        c << "access to attrs=userPassword\n";
        for (const auto& w : options_.writers) c << "\tby dn.exact=\"" << w << "\" write\n";
        c << "\tby self write\n\tby anonymous auth\n\tby * none\n";
        c << "access to *\n";
        for (const auto& w : options_.writers) c << "\tby dn.exact=\"" << w << "\" write\n";
        c << (options_.anonymousRead ? "\tby * read\n" : "\tby users read\n\tby * none\n");
    }
    std::string conf = dir_ + "/slapd.conf";
    if (!writeFile(conf, c.str())) {
        error_ = "cannot write " + conf;
        return false;
    }
    std::string out;
    int rc = runProcess({"/usr/sbin/slaptest", "-u", "-f", conf}, dir_ + "/slaptest.out");
    readFile(dir_ + "/slaptest.out", &out);
    if (rc != 0) {
        error_ = "slaptest refused the configuration: " + out;
        return false;
    }
    return true;
}

} // namespace cvtest

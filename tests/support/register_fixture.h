// Registration tests: a slapd holding o=CorvidRoot, one admin domain and a
// "cn=monitor" entry whose version makes connections see a version-5
// directory (clear it for the version-4 case); entry builders for instances
// and products. The registry dump that compares entries attribute by
// attribute is registry_fixture.h's.
#ifndef CV_TEST_REGISTER_FIXTURE_H
#define CV_TEST_REGISTER_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cvldap.h"
#include "ldapentry.h"
#include "registry_fixture.h"
#include "setup_register.h"
#include "slapd.h"

namespace cvtest {

const std::string kDomainDN = "ou=example.com, o=CorvidRoot";
const std::string kMonitorVersion = "Corvid-Directory/5.2 B2026.342";

// One instance to register: its server id, product, host and server root.
struct Instance {
    std::string id;
    std::string product;
    std::string host;
    std::string root;
};

// DNs in the registry's own spelling.
inline std::string hostDN(const std::string& host)
{
    return "cn=" + host + ", " + kDomainDN;
}
inline std::string groupDN(const std::string& host, const std::string& group = "Server Group")
{
    return "cn=" + group + ", " + hostDN(host);
}
inline std::string adminSieDN(const std::string& host, const std::string& group = "Server Group")
{
    return "cn=admin-serv-" + host.substr(0, host.find('.')) + ", cn=Administration Server, " +
           groupDN(host, group);
}
inline std::string productDN(const Instance& in, const std::string& group = "Server Group")
{
    return "cn=" + in.product + ", " + groupDN(in.host, group);
}

template <class Derived>
class RegisterSuite : public SlapdSuite<Derived> {
public:
    // The instance most registration tests write (a member, as the shared
    // registry's cvtest::reg::kEast is its DN).
    inline static const Instance kEast{"slapd-east", "Corvid Directory Server", "alpha.example.com",
                                       "/srv/r1"};

    static SlapdOptions slapdOptions()
    {
        SlapdOptions o;
        o.monitorDatabase = true;
        return o;
    }
    static void SetUpTestSuite()
    {
        SlapdSuite<Derived>::SetUpTestSuite();
        if (SlapdSuite<Derived>::slapd().running())
            SlapdSuite<Derived>::slapd().add(
                "dn: cn=monitor\nobjectclass: cvTestEntry\ncn: monitor\nversion: " +
                kMonitorVersion + "\n");
    }

protected:
    void SetUp() override
    {
        SlapdSuite<Derived>::SetUp();
        if (testing::Test::HasFatalFailure())
            return;
        resetToOneDomain();
        connect();
    }
    void TearDown() override
    {
        entries_.clear();
        ldap_.reset();
    }

    Slapd& server() { return this->slapd(); }
    // The URL connect() uses; a deriving fixture may name another (ldaps,
    // a host list) by defining its own.
    std::string connectionUrl() { return server().url(); }

    // Only o=CorvidRoot and the admin domain ou=example.com remain.
    void resetToOneDomain()
    {
        std::string out;
        ASSERT_TRUE(clearRegistry(server(), &out)) << out;
        ASSERT_TRUE(
            server().add("dn: " + kDomainDN +
                             "\nobjectclass: top\nobjectclass: organizationalUnit\nobjectclass: "
                             "cvAdminDomain\nou: example.com\n",
                         &out))
            << out;
    }

    void connect()
    {
        entries_.clear();
        LdapError err;
        std::string url = static_cast<Derived*>(this)->connectionUrl();
        ldap_.reset(
            new Ldap(err, url.c_str(), Slapd::kRootDN, Slapd::kRootPassword, nullptr, nullptr));
        ASSERT_EQ(err.code, 0) << err.message;
    }

    // The version cn=monitor reports, "" for none (a version-4 directory);
    // reconnects, since a connection reads it once.
    void setMonitorVersion(const std::string& version)
    {
        std::string ldif = "dn: cn=monitor\nchangetype: modify\n";
        ldif +=
            version.empty() ? "delete: version\n" : "replace: version\nversion: " + version + "\n";
        std::string out;
        ASSERT_TRUE(server().modify(ldif, &out)) << out;
        connect();
    }

    // An entry on ldap, or on the fixture's connection.
    LdapEntry* entry(Ldap* ldap = nullptr)
    {
        entries_.emplace_back(new LdapEntry(ldap ? ldap : ldap_.get()));
        return entries_.back().get();
    }

    LdapEntry* sieFor(const Instance& in, Ldap* ldap = nullptr)
    {
        LdapEntry* e = entry(ldap);
        e->addAttribute("objectclass", "top");
        e->addAttribute("objectclass", "corvidServer");
        e->setAttribute("cvServerID", in.id.c_str());
        e->setAttribute("cn", in.id.c_str());
        e->setAttribute("serverRoot", in.root.c_str());
        e->setAttribute("serverProductName", in.product.c_str());
        return e;
    }

    LdapEntry* isieFor(const Instance& in, const std::string& version = "5.2", Ldap* ldap = nullptr)
    {
        LdapEntry* e = entry(ldap);
        e->addAttribute("objectclass", "top");
        e->setAttribute("cn", in.product.c_str());
        e->setAttribute("cvProductName", in.product.c_str());
        e->setAttribute("cvProductVersion", version.c_str());
        e->setAttribute("cvVendor", "Corvid");
        e->setAttribute("cvInstalledLocation", in.root.c_str());
        return e;
    }

    int registerInstance(const Instance& in, const std::string& domain = "example.com")
    {
        return setupCreateSIE(sieFor(in), isieFor(in), in.host.c_str(), in.root.c_str(),
                              domain.c_str());
    }

    std::vector<std::string> values(const std::string& dn, const std::string& attr)
    {
        return server().values(dn, attr);
    }
    std::set<std::string> members(const std::string& dn)
    {
        std::set<std::string> out;
        for (const std::string& v : values(dn, "uniquemember"))
            out.insert(normDN(v));
        return out;
    }

    std::unique_ptr<Ldap> ldap_;
    std::vector<std::unique_ptr<LdapEntry>> entries_;
};

// The access templates filled as the registry fills them.
inline std::string filled(const char* aciTemplate, const std::string& dn)
{
    std::string aci = aciTemplate;
    aci.replace(aci.find("%s"), 2, dn);
    return aci;
}

} // namespace cvtest

#endif

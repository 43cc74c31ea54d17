// Server instance registration: domain, host, admin group, product entry and
// instance entry, each linked to the next through group membership.
#include "setup_register.h"

#include <memory>
#include <string>
#include <strings.h>

#include "c_boundary.h"
#include "cvldap.h"
#include "ldap_dn.h"
#include "ldap_escape.h"
#include "ldap_pipeline.h"
#include "ldapentry.h"
#include "register_internal.h"
#include "registry_wait.h"
#include "remove_internal.h"
#include "setup_compat.h"
#include "setup_registry_consts.h"
#include "sysinfo.h"

namespace {

const char kAdminServerProduct[] = "Administration Server";

bool holdsAttributes(const LdapEntry& entry)
{
    char** names = entry.getAttributeNames();
    bool any = names != nullptr;
    NVPair::freeListItems(names);
    return any;
}

bool holdsValue(const LdapEntry& entry, const char* name, const char* value)
{
    for (const std::string& v : cvAllValues(entry, name))
        if (strcasecmp(v.c_str(), value) == 0)
            return true;
    return false;
}

bool isVersion4(const Ldap* ldap)
{
    const char* version = ldap->version();
    return version && version[0] == '4';
}

// The domain's own access value: its "ou" goes into a target filter, so it
// is escaped as a filter value.
std::string domainAci(const LdapEntry& domain)
{
    std::string ou;
    cvFirstValue(domain, "ou", &ou);
    std::string aci = DEFAULT_PX_CONTAINER_ACI;
    size_t at = aci.find("%s");
    if (at != std::string::npos)
        aci.replace(at, 2, cvEscapeFilterValue(ou.c_str()));
    return aci;
}

std::string adminSieDNOf(const char* hostName, const std::string& groupDN)
{
    std::string host = hostName;
    std::string shortHost = host.substr(0, host.find('.'));
    return cvChildDN("cn", ("admin-serv-" + shortHost).c_str(),
                     cvChildDN("cn", kAdminServerProduct, groupDN));
}

// entry written over dn, whose stored state stored holds: the rewrite of
// LdapEntry::replace without its second read.
int replaceStored(LdapEntry& entry, const LdapEntry& stored, const std::string& dn)
{
    LdapPipeline write(entry.connection());
    LdapPipeline::Ticket t = write.replace(entry, stored, dn);
    write.wait();
    return write.code(t);
}

// True when dn lies below the configuration root: then a domain that can be
// read proves that the root exists, and the root needs no read of its own.
bool belowConfigRoot(const std::string& dn)
{
    std::vector<std::string> parts;
    if (!cvSplitDN(dn.c_str(), parts))
        return false;
    for (size_t first = 1; first < parts.size(); ++first) {
        std::string tail = parts[first];
        for (size_t i = first + 1; i < parts.size(); ++i)
            tail += LDAP_PATHSEP + parts[i];
        if (cvSameDN(tail.c_str(), DEFAULT_ROOT_DN))
            return true;
    }
    return false;
}

// A read done ahead of the step that needs it, in a round trip shared with
// other requests. The step uses it when it names the DN the step reads, and
// reads for itself otherwise.
struct Prefetched {
    std::unique_ptr<LdapEntry> entry;
    std::string dn;
    int code = 0;
    bool sent = false;

    void send(LdapPipeline& pipeline, Ldap* ldap, const std::string& at,
              LdapPipeline::Ticket* ticket)
    {
        entry.reset(new LdapEntry(ldap));
        dn = at;
        sent = true;
        *ticket = pipeline.read(*entry, dn);
    }
    bool holds(const std::string& at) const { return sent && entry && dn == at; }
};

// The entry stored at dn: the prefetched read when it is of dn, else a read
// now. The read's code (0, 153, or a failure).
int storedAt(Prefetched& ahead, Ldap* ldap, const std::string& dn,
             std::unique_ptr<LdapEntry>* stored)
{
    if (ahead.holds(dn)) {
        *stored = std::move(ahead.entry);
        ahead.sent = false;
        return ahead.code;
    }
    stored->reset(new LdapEntry(ldap));
    return cvRead(**stored, dn);
}

// Registration of one instance. Reads that do not depend on each other
// share a round trip, and writes whose answers are not examined travel with
// later requests. An entry this call has just created has no children yet:
// nothing below it is read, and it is written with the member it is about
// to get (taken out again when that member cannot be written). A wait's
// first test is the write below the entry waited for: only when that write
// finds no parent (32) does the wait go on, and the write is made again.
struct Registration {
    Registration(LdapEntry* s, LdapEntry* i, const char* host, const char* root, const char* domain)
        : sie(s), isie(i), hostName(host), serverRoot(root), adminDomain(domain)
    {
    }

    LdapEntry* sie;
    LdapEntry* isie;
    const char* hostName;
    const char* serverRoot;
    const char* adminDomain;
    Ldap* conn = nullptr;    // the configuration directory (isie's)
    Ldap* sieConn = nullptr; // where the instance entry goes (sie's)
    bool v4 = false;
    std::string product;
    std::string instance;
    std::string domainDN;
    std::string hostDN;
    std::string groupDN;
    std::string adminSieDN;
    std::string isieDN;
    std::string sieDN;
    std::string stamp;
    // Entries created by this call, which therefore have no children.
    bool freshHost = false;
    bool freshGroup = false;
    bool freshProduct = false;
    // Reads sent ahead below an existing host: the first admin group name,
    // and the product and instance entries below a group of that name.
    Prefetched probeAhead;
    Prefetched productAhead;
    Prefetched instanceAhead;
    // Writes whose answers nothing examines (membership additions, the
    // domain's and a found group's rewrites) are collected at the end; the
    // entries they write are kept here.
    LdapPipeline* background = nullptr;
    // The members added in the background: a read-only replica shows them
    // only some time after its provider took them, and the next
    // registration rewrites these groups from what it reads there.
    struct AddedMember {
        std::string dn;
        std::string member;
        LdapPipeline::Ticket ticket;
    };
    std::vector<AddedMember> addedMembers;
    void addMember(const std::string& dn, const std::string& member)
    {
        addedMembers.push_back(
            AddedMember{dn, member, background->addValue(dn, "uniquemember", member)});
    }
    std::unique_ptr<LdapEntry> domainEntry;
    std::unique_ptr<LdapEntry> foundGroup;

    int run();
    int checkEntries();
    int ensureHost();
    int findAdminGroup();
    int ensureAdminGroup();
    bool groupOfThisRoot(const LdapEntry& group) const;
    int createAdminGroup();
    int insertAdminGroup(const std::string& name, const std::string& firstDN);
    int writeProduct();
    void reloadProduct();
    int writeInstance();
};

// entry added at dn below parentDN. When the parent does not show yet (32)
// the wait for it goes on (for attr = value when both are given), and the
// add is made once more.
int insertBelow(LdapEntry& entry, const std::string& dn, const std::string& parentDN,
                const char* attr, const char* value)
{
    int code = entry.insert(dn.c_str()).code;
    if (code == LDAP_NO_SUCH_OBJECT &&
        waitForEntry(entry.connection(), parentDN.c_str(), attr, value))
        code = entry.insert(dn.c_str()).code;
    return code;
}

int Registration::checkEntries()
{
    if (!holdsAttributes(*sie) || !holdsAttributes(*isie))
        return SETUP_LDAP_INCOMPLETE_ENTRY;
    std::string serverId;
    if (!holdsValue(*sie, "objectclass", "corvidServer") ||
        !cvFirstValue(*sie, "cvServerID", &serverId))
        return SETUP_LDAP_BAD_SERVER_ENTRY;
    v4 = isVersion4(conn);
    std::string version;
    if (!cvFirstValue(*isie, "cn", &product)) {
        if (cvFirstValue(*isie, "cvProductName", &product))
            isie->setAttribute("cn", product.c_str());
    }
    if (cvAllValues(*isie, "objectclass").empty() || product.empty() ||
        !cvFirstValue(*isie, "cvProductVersion", &version))
        return SETUP_LDAP_INCOMPLETE_ENTRY;
    return 0;
}

// The domain, its Global Preferences branch, the host (and the
// configuration root when the domain alone cannot prove it) are read in one
// round trip; what is missing is then written.
int Registration::ensureHost()
{
    hostDN = cvChildDN("cn", hostName, domainDN);
    const std::string prefsDN = cvGlobalPreferencesDN(domainDN.c_str());
    LdapEntry root(conn);
    domainEntry.reset(new LdapEntry(conn));
    LdapEntry& domain = *domainEntry;
    LdapEntry prefs(conn);
    LdapEntry host(conn);
    LdapPipeline reads(conn);
    bool rootRead = !belowConfigRoot(domainDN);
    LdapPipeline::Ticket rootTicket = rootRead ? reads.read(root, DEFAULT_ROOT_DN) : 0;
    LdapPipeline::Ticket domainTicket = reads.read(domain, domainDN);
    LdapPipeline::Ticket prefsTicket = reads.read(prefs, prefsDN);
    LdapPipeline::Ticket hostTicket = reads.read(host, hostDN);
    reads.wait();

    int code = reads.code(domainTicket);
    if (code != 0 || rootRead) {
        // The root's answer comes first, as if it had been read first.
        int rootCode = rootRead ? reads.code(rootTicket) : cvRead(root, DEFAULT_ROOT_DN);
        if (rootCode == SETUP_LDAP_NO_ENTRIES)
            return SETUP_LDAP_NO_CONFIG_ROOT;
        if (rootCode != 0)
            return rootCode;
    }
    if (code == SETUP_LDAP_NO_ENTRIES)
        return SETUP_LDAP_NO_ADMIN_DOMAIN;
    if (code != 0)
        return code;
    if (refreshGlobalPreferences(prefs, reads.code(prefsTicket), prefsDN) != 0)
        return SETUP_LDAP_NO_ADMIN_DOMAIN;

    code = reads.code(hostTicket);
    if (code != SETUP_LDAP_NO_ENTRIES)
        return code;
    SysInfo system;
    host.setAttribute("objectclass", "top");
    host.addAttribute("objectclass", "cvHost");
    host.addAttribute("objectclass", GROUP_OBJECT_CLASS);
    host.setAttribute("cn", hostName);
    host.setAttribute("serverHostname", hostName);
    host.setAttribute("cvOsVersion", system.get("osVersion"));
    host.setAttribute("cvHardwarePlatform", system.get("hardwarePlatform"));
    if (!v4)
        host.setAttribute("aci", cvFillAci(DEFAULT_HOST_ACI, hostDN).c_str());
    // A host created here gets the first group name.
    host.setAttribute("uniquemember", cvChildDN("cn", DEFAULT_ADMIN_GROUP, hostDN).c_str());
    code = host.insert(hostDN.c_str()).code;
    if (code != 0 && code != LDAP_ALREADY_EXISTS)
        return code;
    freshHost = code == 0;
    // The domain's access value, rewritten only when it changes; the
    // rewrite's answer is not examined.
    const std::string aci = domainAci(domain);
    if (!cvHoldsOnly(domain, "aci", aci.c_str())) {
        domain.setAttribute("aci", aci.c_str());
        background->replace(domain, domain, domainDN);
    }
    return 0;
}

// Below an existing host: the admin group search, sent with the reads that
// may follow it (the first group name, and the product and instance below a
// group of that name). The search's code.
int Registration::findAdminGroup()
{
    const std::string firstGroup = cvChildDN("cn", DEFAULT_ADMIN_GROUP, hostDN);
    const std::string productDN = cvChildDN("cn", product.c_str(), firstGroup);
    foundGroup.reset(new LdapEntry(conn));
    LdapPipeline reads(conn);
    LdapPipeline::Ticket probe = 0, productRead = 0, instanceRead = 0;
    LdapPipeline::Ticket search =
        reads.search(*foundGroup, formAdminGroupFilter(serverRoot), LDAP_SCOPE_ONELEVEL, hostDN);
    probeAhead.send(reads, conn, firstGroup, &probe);
    productAhead.send(reads, conn, productDN, &productRead);
    if (sieConn == conn)
        instanceAhead.send(reads, conn, cvChildDN("cn", instance.c_str(), productDN),
                           &instanceRead);
    reads.wait();
    probeAhead.code = reads.code(probe);
    productAhead.code = reads.code(productRead);
    if (sieConn == conn)
        instanceAhead.code = reads.code(instanceRead);
    return reads.code(search);
}

int Registration::ensureAdminGroup()
{
    LdapEntry* found = foundGroup.get();
    // The group's own RDN below the host DN as composed here: the DN the
    // server reports is spelled its own way, and access values filled with
    // it would stand beside the earlier ones instead of replacing them.
    std::vector<std::string> parts;
    if (!cvSplitDN(found->entryDN(), parts) || parts.empty())
        return LDAP_INVALID_DN_SYNTAX;
    groupDN = parts[0] + LDAP_PATHSEP + hostDN;
    adminSieDN = adminSieDNOf(hostName, groupDN);
    found->addAttribute("aci", cvFillAci(DEFAULT_ADMINGRP4_ACI, adminSieDN).c_str());
    if (!v4)
        found->addAttribute("aci", cvFillAci(DEFAULT_ADMINGRP_ACI, groupDN).c_str());
    background->replace(*found, *found, groupDN);
    return 0;
}

// The group stored at a name this registration wanted belongs to its
// server root: another registration of the same host, server root and
// product, running at the same time, created it after the search found
// none. Using it, rather than making "Server Group (2)" beside it, keeps
// one admin group per server root.
bool Registration::groupOfThisRoot(const LdapEntry& group) const
{
    if (!holdsValue(group, "objectclass", DEFAULT_ADMIN_GROUP_OBJECT))
        return false;
    for (const std::string& root : cvAllValues(group, "cvConfigRoot"))
        if (root == serverRoot)
            return true;
    return false;
}

int Registration::createAdminGroup()
{
    const std::string firstDN = cvChildDN("cn", DEFAULT_ADMIN_GROUP, hostDN);
    // A host created here holds no group: its first name is free, unless a
    // registration running at the same time takes it first.
    bool probe = !freshHost;
    for (int n = 1;; ++n) {
        std::string name = DEFAULT_ADMIN_GROUP;
        if (n > 1)
            name += " (" + std::to_string(n) + ")";
        groupDN = cvChildDN("cn", name.c_str(), hostDN);
        std::unique_ptr<LdapEntry> stored;
        int code = probe ? storedAt(probeAhead, conn, groupDN, &stored) : SETUP_LDAP_NO_ENTRIES;
        probe = true;
        if (code == SETUP_LDAP_NO_ENTRIES) {
            code = insertAdminGroup(name, firstDN);
            if (code != LDAP_ALREADY_EXISTS)
                return code;
            // Taken since the probe: read the group that won.
            stored.reset(new LdapEntry(conn));
            code = cvRead(*stored, groupDN);
            if (code == SETUP_LDAP_NO_ENTRIES)
                continue;
        }
        if (code != 0)
            return code;
        if (groupOfThisRoot(*stored)) {
            foundGroup = std::move(stored);
            return ensureAdminGroup();
        }
    }
}

// The new group at groupDN named name; the insert's code. The host holds
// the first group name written ahead when it was created here: a group of
// another name becomes its member now, and when the first group cannot be
// written the member written ahead goes again.
int Registration::insertAdminGroup(const std::string& name, const std::string& firstDN)
{
    adminSieDN = adminSieDNOf(hostName, groupDN);
    isieDN = cvChildDN("cn", product.c_str(), groupDN);
    LdapEntry group(conn);
    group.setAttribute("objectclass", DEFAULT_ADMIN_GROUP_OBJECT);
    group.addAttribute("objectclass", GROUP_OBJECT_CLASS);
    group.setAttribute("cvAdminGroupName", name.c_str());
    group.setAttribute("cvConfigRoot", serverRoot);
    group.addAttribute("objectclass", DEFAULT_USER_DIRINFO_OBJECT);
    std::string userDirectory = std::string(DEFAULT_USER_DIRINFO_RDN) + LDAP_PATHSEP +
                                DEFAULT_GLOBAL_PREFS_RDN + LDAP_PATHSEP + domainDN;
    group.setAttribute("cvDirectoryInfoRef", userDirectory.c_str());
    group.setAttribute("cvAdminSIEDN", adminSieDN.c_str());
    if (!v4) {
        group.addAttribute("aci", cvFillAci(DEFAULT_ADMINGRP_ACI, groupDN).c_str());
        group.addAttribute("aci", cvFillAci(DEFAULT_ADMINGRP4_ACI, adminSieDN).c_str());
    } else if (strcasecmp(product.c_str(), kAdminServerProduct) != 0) {
        group.addAttribute("aci", cvFillAci(DEFAULT_ADMINGRP4_ACI, adminSieDN).c_str());
    }
    // A group created here gets its product as a member.
    group.setAttribute("uniquemember", isieDN.c_str());
    int code = insertBelow(group, groupDN, hostDN, nullptr, nullptr);
    const bool writtenAhead = freshHost && groupDN == firstDN;
    if (code != 0) {
        if (code != LDAP_ALREADY_EXISTS && writtenAhead)
            cvDropMember(conn, hostDN, groupDN);
        return code;
    }
    freshGroup = true;
    if (!writtenAhead)
        addMember(hostDN, groupDN);
    return 0;
}

// The product entry: inserted when missing, else rewritten keeping its
// stored members and access values.
int Registration::writeProduct()
{
    isieDN = cvChildDN("cn", product.c_str(), groupDN);
    sieDN = cvChildDN("cn", instance.c_str(), isieDN);
    stamp = cvTimeStamp();
    isie->addAttribute("objectclass", GROUP_OBJECT_CLASS);
    isie->addAttribute("objectclass", "cvApplication");
    isie->setAttribute("installationTimeStamp", stamp.c_str());
    std::unique_ptr<LdapEntry> stored;
    int code = freshGroup ? SETUP_LDAP_NO_ENTRIES : storedAt(productAhead, conn, isieDN, &stored);
    if (code == SETUP_LDAP_NO_ENTRIES) {
        if (!v4)
            isie->addAttribute("aci", cvFillAci(DEFAULT_PRODUCT_ACI, isieDN).c_str());
        // A product created here gets its instance as a member.
        isie->addAttribute("uniquemember", sieDN.c_str());
        code = insertBelow(*isie, isieDN, groupDN, nullptr, nullptr);
        freshProduct = code == 0;
        if (code != 0 && code != LDAP_ALREADY_EXISTS && freshGroup)
            cvDropMember(conn, groupDN, isieDN);
        if ((code == 0 || code == LDAP_ALREADY_EXISTS) && !freshGroup)
            addMember(groupDN, isieDN);
    } else if (code == 0) {
        for (const std::string& member : cvAllValues(*stored, "uniquemember"))
            isie->addAttribute("uniquemember", member.c_str());
        for (const std::string& aci : cvAllValues(*stored, "aci"))
            isie->addAttribute("aci", aci.c_str());
        code = replaceStored(*isie, *stored, isieDN);
    }
    // Any other read failure is returned: the stored product entry, members
    // and all, must never be overwritten blind.
    if (code != 0 && code != LDAP_ALREADY_EXISTS)
        return code;
    return 0;
}

// The reload leaves the stored product entry in isie for the caller, and is
// the wait's first test: only when it does not show the product's time
// stamp does the wait go on, and the reload follows it.
void Registration::reloadProduct()
{
    LdapPipeline reload(conn);
    LdapPipeline::Ticket read = reload.read(*isie, isieDN);
    reload.wait();
    if (reload.code(read) != 0 || !isie->checkAttribute("installationTimeStamp", stamp.c_str())) {
        waitForEntry(conn, isieDN.c_str(), "installationTimeStamp", stamp.c_str());
        isie->retrieve(isieDN.c_str());
    }
}

int Registration::writeInstance()
{
    // The instance goes below the product DN composed above, whether or not
    // the reload worked: the DN the server reports names the same entry in
    // its own spelling, and a failed reload reports none.
    sie->addAttribute("objectclass", GROUP_OBJECT_CLASS);
    sie->setAttribute("serverHostName", hostName);
    sie->addAttribute("aci", cvFillAci(DEFAULT_SIE_ACI_1, sieDN).c_str());
    sie->addAttribute("aci", cvFillAci(DEFAULT_SIE_ACI_2, sieDN).c_str());
    sie->addAttribute("uniquemember", sieDN.c_str());
    if (!adminSieDN.empty())
        sie->addAttribute("uniquemember", adminSieDN.c_str());
    sie->setAttribute("installationTimeStamp", stamp.c_str());

    std::unique_ptr<LdapEntry> stored;
    int code =
        freshProduct ? SETUP_LDAP_NO_ENTRIES : storedAt(instanceAhead, sieConn, sieDN, &stored);
    if (code == 0)
        code = replaceStored(*sie, *stored, sieDN);
    else if (code == SETUP_LDAP_NO_ENTRIES)
        code = insertBelow(*sie, sieDN, isieDN, "installationTimeStamp", stamp.c_str());
    if (code != 0) {
        if (freshProduct) {
            cvDropMember(conn, isieDN, sieDN);
            isie->retrieve(isieDN.c_str());
        }
        return code;
    }
    if (!freshProduct)
        addMember(isieDN, sieDN);
    LdapEntry shown(sieConn);
    LdapPipeline test(sieConn);
    LdapPipeline::Ticket read = test.read(shown, sieDN);
    test.wait();
    if (test.code(read) != 0 || !shown.checkAttribute("installationTimeStamp", stamp.c_str()))
        waitForEntry(sieConn, sieDN.c_str(), "installationTimeStamp", stamp.c_str());
    isie->addAttribute("uniquemember", sieDN.c_str());
    return 0;
}

int Registration::run()
{
    conn = isie->connection();
    sieConn = sie->connection();
    if (!conn || !sieConn)
        return SETUP_LDAP_BAD_ARGUMENT;
    int code = checkEntries();
    if (code != 0)
        return code;
    if (!cvFirstValue(*sie, "cn", &instance)) {
        cvFirstValue(*sie, "cvServerId", &instance);
        sie->setAttribute("cn", instance.c_str());
    }
    domainDN = cvAdminDomainDN(adminDomain);
    LdapPipeline later(conn);
    background = &later;
    if ((code = ensureHost()) != 0)
        return code;
    if (freshHost) {
        code = createAdminGroup();
    } else {
        code = findAdminGroup();
        // Anything but "none there" is an error: a failed search must not
        // make a second group beside the one that exists.
        if (code == 0)
            code = ensureAdminGroup();
        else if (code == SETUP_LDAP_NO_ENTRIES)
            code = createAdminGroup();
    }
    if (code == 0)
        code = writeProduct();
    if (code != 0)
        return code;
    reloadProduct();
    code = writeInstance();
    later.wait();
    // The registration ends once its writes show where they are read: at
    // once on a single server, after the replica caught up otherwise.
    for (const AddedMember& added : addedMembers) {
        if (code != 0 || later.code(added.ticket) != 0)
            continue;
        LdapEntry probe(conn);
        cvWaitUntil([&] {
            if (cvRead(probe, added.dn) != 0)
                return false;
            for (const std::string& v : cvAllValues(probe, "uniquemember"))
                if (cvSameDN(v.c_str(), added.member.c_str()))
                    return true;
            return false;
        });
    }
    return code;
}

} // namespace

int setupCreateSIE(LdapEntry* sie, LdapEntry* isie, const char* hostName, const char* serverRoot,
                   const char* adminDomain)
{
    if (!sie || !isie || !hostName || !serverRoot || !adminDomain)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory, [&] {
        Registration r(sie, isie, hostName, serverRoot, adminDomain);
        int code = r.run();
        return cvResultCode(code);
    });
}

int createSIE(LdapEntry* sie, LdapEntry* isie, const char* hostName, const char* serverRoot,
              const char* adminDomain)
{
    return setupCreateSIE(sie, isie, hostName, serverRoot, adminDomain);
}

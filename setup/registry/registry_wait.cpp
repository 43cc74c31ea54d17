// The registry's waits for written and deleted entries.
#include "registry_wait.h"

#include <time.h>

#include <atomic>

#include "ldapentry.h"
#include "register_internal.h"
#include "remove_internal.h"

namespace {

std::atomic<unsigned long> g_waitPauses{0};

void pause(int ms)
{
    struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

} // namespace

bool cvWaitUntil(const std::function<bool()>& seen)
{
    int spent = 0;
    for (int next = kRegistryWaitFirstPauseMs;; next *= 2) {
        if (seen())
            return true;
        if (spent >= kRegistryWaitBudgetMs)
            return false;
        int ms = next < kRegistryWaitBudgetMs - spent ? next : kRegistryWaitBudgetMs - spent;
        ++g_waitPauses;
        pause(ms);
        spent += ms;
    }
}

int waitForEntry(Ldap* ldap, const char* dn, const char* attr, const char* value)
{
    if (!ldap || !dn)
        return 1;
    LdapEntry probe(ldap);
    return cvWaitUntil([&] {
        if (attr && value)
            return probe.retrieve(dn).code == 0 && probe.checkAttribute(attr, value);
        return probe.exists(dn) != 0;
    })
               ? 1
               : 0;
}

int waitForEntryRemoval(Ldap* ldap, const char* dn)
{
    if (dn == nullptr)
        return 1;
    LdapEntry probe(ldap);
    return cvWaitUntil([&] { return !probe.exists(dn); }) ? 1 : 0;
}

unsigned long cvRegistryWaitSleeps()
{
    return g_waitPauses.load();
}

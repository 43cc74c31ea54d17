/*
 * Internal to the registry removal (unregister_plan.h).
 */
#ifndef CV_UNREGISTER_INTERNAL_H
#define CV_UNREGISTER_INTERNAL_H

#include <string>
#include <vector>

#include "unregister_plan.h"

// The leftovers of an interrupted removal
// (unregister_repair.cpp) and the pruning walk's prediction
// (unregister_plan.cpp), which the repairs reuse. gone holds the entries the
// removal deletes before it looks.
int cvPlanRepairs(Ldap& ldap, const char* instanceName, const char* machineName,
                  const char* serverRoot, RegistryPlan& plan);
int cvPlanPrune(Ldap& ldap, const std::string& dn, std::vector<std::string> gone, PrunePlan& chain);
// A value of attr in entry's store that equals want byte for byte.
bool cvHasExactValue(const LdapEntry& entry, const char* attr, const char* want);
// Appends the writes of deleting dn with its chain: the keeper's listing
// first, then the writes in before, then dn with its emptied ancestors
// (DeleteAndPrune) unless withEntry is false (the product entry, which
// cvRemoveProductAndPrune deletes last).
void cvChainWrites(const std::string& dn, const PrunePlan& chain,
                   const std::vector<RegistryWrite>& before, std::vector<RegistryWrite>& writes,
                   bool withEntry = true);

#endif

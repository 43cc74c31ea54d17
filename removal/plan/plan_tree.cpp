#include "plan_tree.h"

#include <cerrno>
#include <sys/stat.h>

#include "removal.h"

namespace {

void collectStay(const char* path, int /*error*/, const char* why, void* context)
{
    TreePlan& plan = *static_cast<TreePlan*>(context);
    ++plan.blockedCount;
    if (plan.blocked.size() < TreePlan::kMaxListed)
        plan.blocked.push_back({path, why != nullptr ? why : ""});
}

} // namespace

TreePlan cvPlanTree(const std::string& path)
{
    TreePlan plan;
    plan.path = path;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 && errno == ENOENT)
        return plan;
    plan.exists = true;
    plan.directory = S_ISDIR(st.st_mode);
    // The removal's own walk, in the mode that changes nothing.
    cvTreeCounts counts;
    cvWalkInstanceTree(path.c_str(), CV_TREE_PLAN, collectStay, &plan, &counts);
    plan.files = counts.files;
    plan.directories = counts.directories;
    plan.links = counts.links;
    plan.bytes = counts.bytes;
    return plan;
}

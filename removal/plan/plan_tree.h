/*
 * What deleting the instance tree would find, read without changing
 * anything: the removal's own walk (cvWalkInstanceTree) in its planning
 * mode, so every path it names as staying, and why, is the removal's
 * verdict. Links are counted and never followed.
 */
#ifndef CV_PLAN_TREE_H
#define CV_PLAN_TREE_H

#include <cstdint>
#include <string>
#include <vector>

struct TreeBlocker {
    std::string path;
    std::string why;
};

struct TreePlan {
    std::string path;
    bool exists = false;      // lstat finds the path
    bool directory = false;   // and it is a real directory (not a link to one)
    uint64_t files = 0;       // regular files and other non-directories, links excluded
    uint64_t directories = 0; // the top directory included
    uint64_t links = 0;       // symbolic links
    uint64_t bytes = 0;       // sizes of everything but directories
    // The first kMaxListed paths that would stay behind, in walk order, and
    // how many there are in all. The directories above them stay as well
    // and are not listed.
    std::vector<TreeBlocker> blocked;
    uint64_t blockedCount = 0;

    static const size_t kMaxListed = 20;
};

TreePlan cvPlanTree(const std::string& path);

#endif

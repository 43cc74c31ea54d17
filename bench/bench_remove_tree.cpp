// _remove_directory against "rm -rf" on generated trees (see tree_bench.h).
//
//   bench_remove_tree [rounds] [directory for the trees]
#include "removal.h"
#include "tree_bench.h"

int main(int argc, char** argv)
{
    return treebench::run(argc, argv, "_remove_directory",
                          [](const char* path) { _remove_directory(path); });
}

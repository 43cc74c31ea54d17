// setupDeleteDir against "rm -rf" on generated trees (see tree_bench.h).
//
//   bench_deletedir [rounds] [directory for the trees]
#include "setup_util.h"
#include "tree_bench.h"

int main(int argc, char** argv)
{
    return treebench::run(argc, argv, "setupDeleteDir",
                          [](const char* path) { setupDeleteDir(path); });
}

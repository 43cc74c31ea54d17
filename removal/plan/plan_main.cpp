#include "plan.h"

int main(int argc, char** argv)
{
    return cvPlanMain(argc, argv);
}

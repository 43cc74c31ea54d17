#include "removal.h"

int main(int argc, char** argv)
{
    return cv_removal_main(argc, argv);
}

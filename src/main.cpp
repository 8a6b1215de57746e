#include "Orbivane.h"

int main(int argc, char** argv)
{
    return orbivaneMain(argc, argv);
}

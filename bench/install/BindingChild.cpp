// One extraction through the binding, in a process that loads only what the binding needs,
// so its start costs what a program built on the binding alone would pay.
// Usage: install_binding_child <archive> <folder>
#include "BenchExtract.h"

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    return ExtractOnce(SETUP_BENCH_7Z_LIBRARY, argv[1], argv[2]);
}

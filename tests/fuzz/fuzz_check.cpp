#include "tests/fuzz/fuzz_check.h"

#include <cstdio>
#include <cstdlib>

void FuzzCheckFailed(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, condition);
    std::abort();
}

#include <iostream>
#include <new>

#include "cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return tpatch::RunTpatch(args, std::cout, std::cerr);
    } catch (const std::bad_alloc&) {
        std::cerr << "tpatch: out of memory\n";
        return tpatch::kExitFailure;
    }
}

#include <cstdio>
#include <string>
#include <vector>

#include "cli/fit_command.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return quorvel::RunFitCommand(args, stdin, stdout, stderr);
}

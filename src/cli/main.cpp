#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "cli/fit_command.h"

int main(int argc, char** argv) {
    // Whatever escapes is reported with a status of its own: the process never ends by an abort.
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        return quorvel::RunFitCommand(args, stdin, stdout, stderr);
    } catch (const std::bad_alloc&) {
        std::fputs("quorvel-fit: out of memory\n", stderr);
        return quorvel::ecTooLarge;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quorvel-fit: %s\n", e.what());
    } catch (...) {
        std::fputs("quorvel-fit: unexpected error\n", stderr);
    }
    return quorvel::ecInternal;
}

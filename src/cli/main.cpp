// quorvel-fit. It links no Qt, so that a fit starts in a millisecond; a chart file or a report is drawn
// by quorvel-fit-chart, which this program becomes for such a command.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/fit_command.h"
#include "runtime/large_buffers.h"

namespace {

char** g_argv = nullptr;

// The chart program: beside this one in the build tree, in libexec/quorvel when installed.
std::string ChartProgram() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return {};
    }
    const std::string path(self, static_cast<std::size_t>(length));
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    for (const std::string& candidate :
         {folder + "quorvel-fit-chart", folder + "../libexec/quorvel/quorvel-fit-chart"}) {
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

int HandOverToChartProgram(std::FILE* err) {
    const std::string program = ChartProgram();
    if (program.empty()) {
        std::fputs("quorvel-fit: cannot draw the chart: quorvel-fit-chart is not installed\n", err);
        return quorvel::ecInternal;
    }
    execv(program.c_str(), g_argv);
    std::fprintf(err, "quorvel-fit: cannot draw the chart: %s: %s\n", program.c_str(), std::strerror(errno));
    return quorvel::ecInternal;
}

}  // namespace

int main(int argc, char** argv) {
    quorvel::KeepFreedRoomForReuse();
    g_argv = argv;
    // A large file is read, fitted and checked on two cores where the machine has them.
    return quorvel::RunFitProgram(argc, argv,
                                  quorvel::TChartSupport{nullptr, nullptr, &HandOverToChartProgram},
                                  quorvel::TWorkOptions{.secondCore = true});
}

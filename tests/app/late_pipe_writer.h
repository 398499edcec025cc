#pragma once
// For tests that a pipe is refused: opening one for reading used to wait for a writer. This lets a
// writer in after a while, so that such a wait ends (with an empty read) instead of hanging the test;
// going out of scope ends it early.
#include <QString>

#include <fcntl.h>
#include <unistd.h>

#include <stop_token>
#include <string>
#include <thread>

namespace quorvel::test {

class TLatePipeWriter {
public:
    explicit TLatePipeWriter(const QString& pipe)
        : thread_([path = pipe.toStdString()](const std::stop_token& stop) {
              for (int i = 0; i < 500 && !stop.stop_requested(); ++i) {
                  usleep(10000);
              }
              const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
              if (fd >= 0) {
                  close(fd);
              }
          }) {}

private:
    std::jthread thread_;  // asked to stop and joined on destruction
};

}  // namespace quorvel::test

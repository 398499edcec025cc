#pragma once
// The chart's own exceptions for invalid settings.
#include "runtime/exceptions.h"

namespace quorvel {

class ChartException : public Exception {
public:
    using Exception::Exception;
};

class AxisException : public ChartException {
public:
    using ChartException::ChartException;
};

}  // namespace quorvel

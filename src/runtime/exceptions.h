#pragma once
// The exception family: every error the user may see is one of these, carrying its exact message.
#include <exception>
#include <string>

namespace quorvel {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& Message() const noexcept { return message_; }

private:
    std::string message_;
};

// A text that is not a number, or a format pattern that is too long.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// Floating-point faults outside the exact solve: overflow, division by zero, invalid operation.
class EMathError : public Exception {
public:
    using Exception::Exception;
};

class EOverflow : public EMathError {
public:
    EOverflow() : EMathError("Floating point overflow") {}
};

class EZeroDivide : public EMathError {
public:
    EZeroDivide() : EMathError("Floating point division by zero") {}
};

class EInvalidOp : public EMathError {
public:
    EInvalidOp() : EMathError("Invalid floating point operation") {}
};

// The message of a caught exception: the family's own message, a standard exception's what(), or
// "Unknown exception" for anything else.
std::string ExceptionMessage(const std::exception_ptr& error);

// An index outside a list.
class EListError : public Exception {
public:
    explicit EListError(long long index)
        : Exception("List index out of bounds (" + std::to_string(index) + ")") {}
};

inline std::string ExceptionMessage(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown exception";
    }
}

}  // namespace quorvel

#pragma once
// The one exception family of the system: every failure that reaches the user
// carries a message text, shown by the GUI loop in a message box.
#include <stdexcept>
#include <initializer_list>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}
    const std::string& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    std::string FMessage;
};

// A text that is not a number of the expected form.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// An index outside a list.
class EListError : public Exception {
public:
    using Exception::Exception;
};

// A failed call of the operating system; the message names the call and the
// system's own error text.
class EOSError : public Exception {
public:
    EOSError(std::string message, int code) : Exception(std::move(message)), FErrorCode(code) {}
    int ErrorCode() const noexcept { return FErrorCode; }

private:
    int FErrorCode;
};

// A file could not be opened, read or written.
class EInOutError : public Exception {
public:
    using Exception::Exception;
};

// printf-style formatting of a message text ("%s", "%d" and the rest).
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Fills the placeholders of a message text one after the other with the
// given texts: %s and %d (any flags and width are taken as written, so "%.2d"
// pads a number), %% is a percent sign. Missing arguments give empty texts;
// the pattern may come from a translation table and is never trusted.
std::string FormatText(const std::string& pattern, std::initializer_list<std::string> args);

// The text of a system error number (errno), as the system words it.
std::string SysErrorMessage(int code);

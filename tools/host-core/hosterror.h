// The one error type of the test host. Every failure is reported as a single
// line naming what was attempted and why it failed.
#pragma once

#include <stdexcept>
#include <string>

namespace hostcore {

enum class HostFailure {
    OpenFailed,   // dlopen refused the file
    NoEntryPoint, // neither entry symbol is exported
    NullEffect,   // the entry answered null (e.g. to a host reporting version 0)
    BadMagic,     // the record handed back is not an effect record
    MissingEntry, // the record lacks the function pointer a call needs
    Closed,       // the plug-in was used after effClose
    BadArgument,  // the host itself was asked for something impossible
};

class HostError : public std::runtime_error {
public:
    HostError(HostFailure failure, const std::string& message)
        : std::runtime_error(message), failure_(failure)
    {
    }

    HostFailure failure() const { return failure_; }

private:
    HostFailure failure_;
};

} // namespace hostcore

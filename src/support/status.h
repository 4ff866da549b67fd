// The outcome of a step that can fail for a reason the user has to see: the
// reason travels with the failure instead of staying in the debug log.
#pragma once

#include <string>
#include <utility>

namespace skelvar {

class status {
public:
    status() = default;  // success

    static status failure(std::string reason) { return status(std::move(reason)); }

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    // What went wrong, in words fit for a message ("no FILE signature", ...); empty on success.
    const std::string& reason() const { return reason_; }

private:
    explicit status(std::string reason) : ok_(false), reason_(std::move(reason)) {}

    bool ok_ = true;
    std::string reason_;
};

}  // namespace skelvar

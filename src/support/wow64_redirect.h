// Scoped switch-off of WOW64 file-system redirection around the pre-run step.
// Only 32-bit Windows processes are redirected; on POSIX the guard does nothing.
#pragma once

namespace skelvar {

class wow64_redirect_adt {
public:
    wow64_redirect_adt() = default;
    virtual ~wow64_redirect_adt() = default;
    wow64_redirect_adt(const wow64_redirect_adt&) = delete;
    wow64_redirect_adt& operator=(const wow64_redirect_adt&) = delete;

    // True while redirection is switched off by this guard (never on POSIX).
    bool active() const { return saved_value_ != nullptr; }

private:
    void* saved_value_ = nullptr;
};

}  // namespace skelvar

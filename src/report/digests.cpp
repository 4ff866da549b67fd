#include "report/digests.h"

#include <array>

#include <openssl/evp.h>

namespace skelvar {

namespace {

struct md_context_free {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
using md_context = std::unique_ptr<EVP_MD_CTX, md_context_free>;

md_context start(const EVP_MD* md, const char* name, std::string& error) {
    md_context c(EVP_MD_CTX_new());
    if (!c || EVP_DigestInit_ex(c.get(), md, nullptr) != 1) {
        error += error.empty() ? "" : ", ";
        error += name;
        error += " unavailable";
        c.reset();
    }
    return c;
}

std::string finish_one(md_context& c) {
    if (!c) return {};
    std::array<unsigned char, EVP_MAX_MD_SIZE> value{};
    unsigned int length = 0;
    const bool done = EVP_DigestFinal_ex(c.get(), value.data(), &length) == 1;
    c.reset();
    if (!done) return {};
    static constexpr char digits[] = "0123456789abcdef";
    std::string text(2 * length, '0');
    for (unsigned int i = 0; i < length; ++i) {
        text[2 * i] = digits[value[i] >> 4];
        text[2 * i + 1] = digits[value[i] & 0x0F];
    }
    return text;
}

}  // namespace

struct digest_set::contexts {
    md_context md5, sha1, sha256;
};

digest_set::digest_set(digest_choice choice) : contexts_(std::make_unique<contexts>()) {
    if (choice.md5) contexts_->md5 = start(EVP_md5(), "MD5", error_);
    if (choice.sha1) contexts_->sha1 = start(EVP_sha1(), "SHA-1", error_);
    if (choice.sha256) contexts_->sha256 = start(EVP_sha256(), "SHA-256", error_);
}

digest_set::~digest_set() = default;
digest_set::digest_set(digest_set&&) noexcept = default;
digest_set& digest_set::operator=(digest_set&&) noexcept = default;

void digest_set::update(std::span<const std::uint8_t> bytes) {
    if (!contexts_ || bytes.empty()) return;
    for (md_context* c : {&contexts_->md5, &contexts_->sha1, &contexts_->sha256})
        if (*c) EVP_DigestUpdate(c->get(), bytes.data(), bytes.size());
}

digest_texts digest_set::finish() {
    digest_texts t;
    if (!contexts_) return t;
    t.md5 = finish_one(contexts_->md5);
    t.sha1 = finish_one(contexts_->sha1);
    t.sha256 = finish_one(contexts_->sha256);
    return t;
}

}  // namespace skelvar

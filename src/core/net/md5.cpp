#include "core/net/md5.h"

#include <cstdio>
#include <memory>

#include <openssl/evp.h>

namespace quillon {

namespace {

using MdContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

std::string Hex(const unsigned char* digest, unsigned len, bool upper) {
    static const char* lower = "0123456789abcdef";
    static const char* upperDigits = "0123456789ABCDEF";
    const char* d = upper ? upperDigits : lower;
    std::string out;
    out.reserve(len * 2);
    for (unsigned i = 0; i < len; ++i) {
        out.push_back(d[digest[i] >> 4]);
        out.push_back(d[digest[i] & 15]);
    }
    return out;
}

}  // namespace

std::string FileDigest(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return std::string();
    MdContext ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr);
    unsigned char block[1024];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0) EVP_DigestUpdate(ctx.get(), block, n);
    std::fclose(f);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned len = 0;
    EVP_DigestFinal_ex(ctx.get(), digest, &len);
    return Hex(digest, len, false);
}

std::string Md5Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned len = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &len, EVP_md5(), nullptr);
    return Hex(digest, len, true);
}

}  // namespace quillon

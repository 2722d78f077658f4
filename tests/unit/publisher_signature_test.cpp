// The publisher's key and signatures as openssl writes them, read into the forms CNG takes.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "common/publisher_signature.h"

namespace zunor {
namespace {

std::string Vector(const std::string& name) {
    std::ifstream in(std::string(ZUNOR_SIGNATURE_VECTORS) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Hex(const std::array<std::uint8_t, 64>& bytes) {
    std::ostringstream out;
    for (const std::uint8_t b : bytes) {
        out << "0123456789abcdef"[b >> 4] << "0123456789abcdef"[b & 15];
    }
    return out.str();
}

TEST(PublisherSignature, ReadsWhatOpensslWritesAsOpensslReadsIt) {
    const std::optional<P256Point> key = P256KeyFromPem(Vector("key.pub"));
    ASSERT_TRUE(key);
    EXPECT_EQ(Hex(*key), Vector("key.xy"));
    const std::optional<P256Signature> signature = P256SignatureFromDer(Vector("good.sig"));
    ASSERT_TRUE(signature);
    EXPECT_EQ(Hex(*signature), Vector("good.rs"));
    EXPECT_NE(P256KeyFromPem(Vector("other.pub")), key);
}

TEST(PublisherSignature, RefusesWhatIsNotExactlyAKeyOrASignature) {
    const std::string good = Vector("good.sig");
    EXPECT_FALSE(P256SignatureFromDer(Vector("truncated.sig")));
    EXPECT_FALSE(P256SignatureFromDer(Vector("notder.sig")));
    EXPECT_FALSE(P256SignatureFromDer(""));
    EXPECT_FALSE(P256SignatureFromDer(good + '\0')); // something after it
    std::string longer = good;
    longer[1] = static_cast<char>(longer[1] + 1); // a length that runs past the end
    EXPECT_FALSE(P256SignatureFromDer(longer));
    // r and s: positive, minimal, at most 32 bytes of value, not zero.
    const std::string one = "\x02\x01\x01";
    EXPECT_TRUE(P256SignatureFromDer("\x30\x06" + one + one));
    EXPECT_FALSE(P256SignatureFromDer(std::string("\x30\x06\x02\x01\x81", 5) + one));       // negative
    EXPECT_FALSE(P256SignatureFromDer(std::string("\x30\x07\x02\x02\x00\x01", 6) + one));   // padded
    EXPECT_FALSE(P256SignatureFromDer(std::string("\x30\x06\x02\x01\x00", 5) + one));       // zero
    EXPECT_FALSE(P256SignatureFromDer("\x30\x26\x02\x21" + std::string(33, '\x11') + one)); // 33 bytes
    EXPECT_FALSE(P256SignatureFromDer("\x31\x06" + one + one));                             // a SET
    const std::optional<P256Signature> high =
        P256SignatureFromDer(std::string("\x30\x07\x02\x02\x00\x80", 6) + one); // the zero a high bit needs
    ASSERT_TRUE(high);
    EXPECT_EQ((*high)[31], 0x80);
    EXPECT_EQ((*high)[63], 0x01);

    const std::string pem = Vector("key.pub");
    EXPECT_FALSE(P256KeyFromPem(Vector("key.pem"))); // the private key is no public key
    EXPECT_FALSE(P256KeyFromPem(pem.substr(0, pem.size() / 2)));
    std::string changed = pem;
    changed[40] = changed[40] == 'A' ? 'B' : 'A'; // the algorithm no longer reads as EC on P-256
    EXPECT_FALSE(P256KeyFromPem(changed));
    std::string bad = pem;
    bad[40] = '*';
    EXPECT_FALSE(P256KeyFromPem(bad));
}

} // namespace
} // namespace zunor

// The sandbox's building blocks on their own: HMAC against a published test
// vector, strict percent-decoding, the events query reader, the CA files.
#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "ServiceHosts.h"
#include "sandbox/AnalyticsQuery.h"
#include "sandbox/CertificateAuthority.h"
#include "sandbox/PercentCoding.h"
#include "sandbox/SignatureVerifier.h"
#include "support/TestSupport.h"

namespace quorvela::sandbox {
namespace {

TEST(SignatureVerifierTest, MatchesTheHmacSha256TestVectors) {
    // RFC 4231 test cases 2 and 1.
    EXPECT_EQ(SignatureVerifier::sign("Jefe", "what do ya want for nothing?"),
              "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
    EXPECT_EQ(SignatureVerifier::sign(std::string(20, '\x0b'), "Hi There"),
              "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7");
    const std::string good = SignatureVerifier::sign("k", "a/b");
    EXPECT_TRUE(SignatureVerifier::verify("k", "a/b", good));
    std::string flipped = good;
    flipped.back() = flipped.back() == '0' ? '1' : '0';
    EXPECT_FALSE(SignatureVerifier::verify("k", "a/b", flipped));
    EXPECT_FALSE(SignatureVerifier::verify("k", "a/b", good.substr(0, 63)));
    EXPECT_FALSE(SignatureVerifier::verify("k", "a/b", ""));
}

TEST(PercentCodingTest, DecodesStrictly) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases{
        {"a%20b", "a b"},
        {"caf%C3%A9", "caf\xC3\xA9"},
        {"a+b", "a+b"},
        {"%2F%3f", "/?"},
        {"", ""},
        {"%", std::nullopt},
        {"%4", std::nullopt},
        {"%zz", std::nullopt},
        {"ok%2", std::nullopt},
        {"%00", std::string(1, '\0')},
    };
    for (const auto& [input, expected] : cases) EXPECT_EQ(PercentCoding::decode(input), expected) << input;
}

TEST(AnalyticsQueryTest, SplitsOnEventKeysOnly) {
    using Pairs = AnalyticsQuery::Pairs;
    const std::vector<std::pair<std::string, std::optional<Pairs>>> cases{
        {"deviceid=1&version=3.6.0", Pairs{{"deviceid", "1"}, {"version", "3.6.0"}}},
        {"extrainfo=x=1&y=2&address=a%26b", Pairs{{"extrainfo", "x=1&y=2"}, {"address", "a&b"}}},
        {"mobile=&campaign_name=", Pairs{{"mobile", ""}, {"campaign_name", ""}}},
        {"extrainfo=a&&version=1", Pairs{{"extrainfo", "a&"}, {"version", "1"}}},
        {"other=1", Pairs{{"other", "1"}}},
        {"", std::nullopt},
        {"=1", std::nullopt},
        {"deviceid=%zz", std::nullopt},
    };
    for (const auto& [query, expected] : cases) EXPECT_EQ(AnalyticsQuery::parse(query), expected) << query;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST(CertificateAuthorityTest, MakesCoveringCertificatesAndReusesThem) {
    quorvela::test::TempDir dir;
    const auto files = CertificateAuthority::ensure(dir.path());
    for (const auto& key : {files.keyFile, dir.path() / "ca-key.pem"}) {
        struct stat info {};
        ASSERT_EQ(::stat(key.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u) << key;
    }

    FILE* file = std::fopen(files.certFile.c_str(), "r");
    ASSERT_NE(file, nullptr);
    X509* server = PEM_read_X509(file, nullptr, nullptr, nullptr);
    std::fclose(file);
    ASSERT_NE(server, nullptr);
    for (const std::string host : {QUORVELA_SERVICE_HOST, QUORVELA_IPECHO_HOST, "localhost"}) {
        EXPECT_EQ(X509_check_host(server, host.c_str(), host.size(), 0, nullptr), 1) << host;
    }
    EXPECT_EQ(X509_check_ip_asc(server, "127.0.0.1", 0), 1);
    EXPECT_NE(X509_check_host(server, "other.example", 0, 0, nullptr), 1);
    EXPECT_EQ(X509_check_ca(server), 0);
    X509_free(server);

    const std::string ca = readFile(files.caFile);
    const std::string cert = readFile(files.certFile);
    CertificateAuthority::ensure(dir.path());
    EXPECT_EQ(readFile(files.caFile), ca);
    EXPECT_EQ(readFile(files.certFile), cert);

    // A damaged server certificate is remade under the same CA.
    std::ofstream(files.certFile) << "garbage";
    CertificateAuthority::ensure(dir.path());
    EXPECT_EQ(readFile(files.caFile), ca);
    EXPECT_NE(readFile(files.certFile), cert);
    EXPECT_NE(readFile(files.certFile).find("BEGIN CERTIFICATE"), std::string::npos);
}

}  // namespace
}  // namespace quorvela::sandbox

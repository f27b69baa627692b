// Signed URL building against the bare HMAC-SHA256 of the same text, so the
// cost of encoding and formatting shows next to the cost of the MAC itself.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <string>

#include "protocol/RequestSigner.h"
#include "protocol/SignedUrl.h"

namespace {

const std::string kKey = "3f7c1a9e5b2d4c6a8e0f1b3d5a7c9e2f";
// A registerUser path, and one whose values need percent-encoding.
const std::string kPlainPath =
    "6F9619FF-8B86-D011-B42D-00C04FC964FF/DemoApp/IOS/user@example.com/false/client-1/"
    "1700000000000";
const std::string kEncodedPath =
    "6F9619FF-8B86-D011-B42D-00C04FC964FF/Demo App/IOS/maria perez; #42/false/"
    "client-1/1700000000000";

const std::string& pathFor(const benchmark::State& state) { return state.range(0) ? kEncodedPath : kPlainPath; }

void BM_BareHmacSha256(benchmark::State& state) {
    const std::string& path = pathFor(state);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    for (auto _ : state) {
        HMAC(EVP_sha256(), kKey.data(), static_cast<int>(kKey.size()),
             reinterpret_cast<const unsigned char*>(path.data()), path.size(), digest, &length);
        benchmark::DoNotOptimize(digest);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Sign(benchmark::State& state) {
    const std::string& path = pathFor(state);
    for (auto _ : state) benchmark::DoNotOptimize(quorvela::RequestSigner::sign(path, kKey));
    state.SetItemsProcessed(state.iterations());
}

void BM_SignedUrl(benchmark::State& state) {
    const std::string& path = pathFor(state);
    for (auto _ : state) benchmark::DoNotOptimize(quorvela::SignedUrl::build("registerUser", path, kKey));
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_BareHmacSha256)->ArgName("needsEncoding")->Arg(0)->Arg(1);
BENCHMARK(BM_Sign)->ArgName("needsEncoding")->Arg(0)->Arg(1);
BENCHMARK(BM_SignedUrl)->ArgName("needsEncoding")->Arg(0)->Arg(1);

BENCHMARK_MAIN();

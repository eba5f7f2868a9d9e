// Runs a fuzz target without libFuzzer, for the test suite: a fixed number of generated inputs
// (ZEVO_FUZZ_RUNS, default 60000) from a fixed seed, so that every run checks the same inputs and the
// suite's time stays bounded. The inputs mix raw bytes with text shaped like record lines and frames.
#include <QtGlobal>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

void appendText(std::vector<uint8_t> &out, const char *s)
{
    for (; *s; ++s) out.push_back(uint8_t(*s));
}

std::vector<uint8_t> generate(std::mt19937 &rng)
{
    static const char *pieces[] = {"105",
                                   "0079A785",
                                   "0079a785",
                                   "0004294967",
                                   "09",
                                   "2009",
                                   "0305",
                                   "0807",
                                   "06",
                                   "0000",
                                   "IN01",
                                   "\r\n",
                                   "\n",
                                   "\r",
                                   " ",
                                   ",",
                                   "A5",
                                   "\xa5\x5a",
                                   "\xff\xff",
                                   "\xd5\xc5\xc8\xfd",
                                   "\x81\x30\x81\x30",
                                   "\x80",
                                   "99",
                                   "1231",
                                   "2359",
                                   "1050079A7850709270936280000",
                                   "1050079A785200709270936280000",
                                   "GET / HTTP/1.1\r\n",
                                   "POST /login HTTP/1.1\r\n",
                                   "Host: 127.0.0.1:8470\r\n",
                                   "Content-Length: 12\r\n",
                                   "Content-Length: 99999999999999999999\r\n",
                                   "Transfer-Encoding: chunked\r\n",
                                   "\r\n\r\n",
                                   "%2F%00",
                                   "100000",
                                   "18446744073709551615"};
    std::vector<uint8_t> out;
    const int parts = int(rng() % 64);
    for (int i = 0; i < parts; ++i) {
        if (rng() % 4 == 0) {
            const int n = int(rng() % 16);
            for (int k = 0; k < n; ++k) out.push_back(uint8_t(rng()));
        } else {
            appendText(out, pieces[rng() % std::size(pieces)]);
        }
    }
    return out;
}

}  // namespace

int main()
{
    const int runs =
        qEnvironmentVariableIsSet("ZEVO_FUZZ_RUNS") ? qEnvironmentVariableIntValue("ZEVO_FUZZ_RUNS") : 60000;
    std::mt19937 rng(20260305);
    for (int i = 0; i < runs; ++i) {
        const std::vector<uint8_t> input = generate(rng);
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%d generated inputs passed\n", runs);
    return 0;
}

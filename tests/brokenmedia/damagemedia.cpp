// Makes one damaged copy of a media file, the way files reach a converter
// after a failed download, a bad card or a careless rename.
//
//   damage-media KIND SEED INPUT OUTPUT
//
//   flip    a few bytes changed, most near either end
//   insert  a run of garbage put in somewhere after the first bytes
//   cut     the file ends early
//   header  the first bytes overwritten
//
// The same seed gives the same bytes on every machine: the generator and the
// arithmetic that draws from it are our own, not the standard library's
// distributions, whose results differ between implementations.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kMaxFlips = 16;
constexpr uint64_t kMaxInsertBytes = 4096;
constexpr uint64_t kMaxHeaderBytes = 512;
constexpr uint64_t kSkippedLeadBytes = 16;
constexpr uint64_t kEndBytes = 8192;

// SplitMix64: tiny, and fully defined by its few lines.
class Random {
public:
    explicit Random(uint64_t seed) : m_state(seed) {}

    uint64_t next() {
        uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

    // In [low, high]; the modulo bias is of no interest here.
    uint64_t between(uint64_t low, uint64_t high) {
        return high <= low ? low : low + next() % (high - low + 1);
    }

    uint8_t byte() { return uint8_t(next() >> 56); }

private:
    uint64_t m_state;
};

bool damage(const std::string &kind, Random &random, std::vector<uint8_t> &bytes) {
    const uint64_t size = bytes.size();
    if (size < 2 * kSkippedLeadBytes)
        return false;
    if (kind == "flip") {
        // Two flips in three land where containers keep their headers and
        // indexes, at either end: damage there reaches the numbers that the
        // readers compute with, not only the coded pictures and sound.
        const uint64_t end = std::min(kEndBytes, size);
        const int count = int(random.between(1, kMaxFlips));
        for (int i = 0; i < count; ++i) {
            uint64_t at = random.between(0, size - 1);
            switch (random.next() % 3) {
            case 0:
                at = random.between(0, end - 1);
                break;
            case 1:
                at = size - 1 - random.between(0, end - 1);
                break;
            }
            bytes[at] ^= uint8_t(random.between(1, 255));
        }
    } else if (kind == "insert") {
        const uint64_t at = random.between(kSkippedLeadBytes, size - 1);
        std::vector<uint8_t> garbage(random.between(1, kMaxInsertBytes));
        for (uint8_t &b : garbage)
            b = random.byte();
        bytes.insert(bytes.begin() + std::ptrdiff_t(at), garbage.begin(), garbage.end());
    } else if (kind == "cut") {
        bytes.resize(random.between(1, size - 1));
    } else if (kind == "header") {
        const uint64_t count = random.between(1, std::min(kMaxHeaderBytes, size / 2));
        for (uint64_t i = 0; i < count; ++i)
            bytes[i] = random.byte();
    } else {
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s flip|insert|cut|header SEED INPUT OUTPUT\n", argv[0]);
        return 2;
    }
    const std::string kind = argv[1];
    Random random(std::strtoull(argv[2], nullptr, 10));

    std::ifstream in(argv[3], std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (!in.eof() && !in) {
        std::fprintf(stderr, "%s: cannot read\n", argv[3]);
        return 1;
    }
    if (!damage(kind, random, bytes)) {
        std::fprintf(stderr, "%s: cannot damage it as '%s'\n", argv[3], kind.c_str());
        return 2;
    }
    std::ofstream out(argv[4], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "%s: cannot write\n", argv[4]);
        return 1;
    }
    return 0;
}

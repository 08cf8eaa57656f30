// Commits the one fault named on its command line, so that the sanitized
// build can check that a fault in a process a test starts fails the test.
//   sanitizer-canary freed|undefined|leak|race

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

void *volatile g_kept;
int g_shared;

// Out of line, so that no register of main() still holds the pointer when
// the leak check runs.
__attribute__((noinline)) void loseMemory() {
    g_kept = std::malloc(1337);
    g_kept = nullptr;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2)
        return 2;
    if (std::strcmp(argv[1], "freed") == 0) {
        volatile char *bytes = new char[4];
        delete[] bytes;
        return bytes[0];
    }
    if (std::strcmp(argv[1], "undefined") == 0) {
        volatile int big = INT_MAX;
        std::printf("%d\n", big + argc);
    } else if (std::strcmp(argv[1], "leak") == 0) {
        loseMemory();
    } else if (std::strcmp(argv[1], "race") == 0) {
        std::thread other([] { ++g_shared; });
        ++g_shared;
        other.join();
    } else {
        return 2;
    }
    return 0;
}

#include <unistd.h>

#include "platform/filecalls.h"

// Started by the program with its end of a socket as standard input; answers
// the calls it reads there until the program closes its end.
int main() {
    // Nothing the program had open stays open here: a pipe of the
    // transcoder's kept by this process would never tell its end.
    ::close_range(STDERR_FILENO + 1, ~0U, 0);
    // The program reaps this process, which only starts: the work is left
    // to a child of its own, which nobody waits for. One held by a share that
    // does not answer ends when the share answers, whether or not the program
    // is still there.
    const pid_t worker = ::fork();
    if (worker != 0)
        return worker < 0 ? 1 : 0;
    return FileCalls::serve(STDIN_FILENO, STDIN_FILENO);
}

/* Opens a pseudo-terminal, links its slave at LINK, prints the slave's pts number, and
 * keeps the master open until killed: a stand-in USB serial adapter for the end-to-end
 * test and the benchmarks.
 *   pty_hold LINK */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) || unlockpt(master))
        return 1;
    const char* slave = ptsname(master);
    unlink(argv[1]);
    if (symlink(slave, argv[1]) != 0)
        return 1;
    printf("%s\n", strrchr(slave, '/') + 1);
    fflush(stdout);
    for (;;)
        pause();
}

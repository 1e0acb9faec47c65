// Says it runs, then waits until its standard input ends.
#include <stdio.h>

int main(void)
{
    fputs("running\n", stdout);
    fflush(stdout);
    while (getchar() != EOF) { }
    return 0;
}

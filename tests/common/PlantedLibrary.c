/* A shared library that is no ODBC driver: loading it leaves a mark, the file
   named by QZ_PLANTED_MARK, so that a test sees whether anything loaded it. */
#include <stdio.h>
#include <stdlib.h>

__attribute__((constructor)) static void leaveMark(void) {
    const char* mark = getenv("QZ_PLANTED_MARK");
    if (!mark) return;
    FILE* f = fopen(mark, "w");
    if (f) fclose(f);
}

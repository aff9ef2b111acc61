/* fastcgi_floor: the FastCGI floor. Answers every request on the listening
 * socket it was given as standard input (as spawn-fcgi starts it) with one
 * fixed page of SIZE bytes, through libfcgi as Dirvane's server speaks it:
 * no file is read, nothing is formatted. No FastCGI responder behind the
 * same web server can answer faster.
 *
 *   cc -O2 -o fastcgi_floor fastcgi_floor.c -lfcgi
 *   spawn-fcgi -s SOCKET -- fastcgi_floor SIZE
 */
#include <fcgiapp.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
    const long size = argc > 1 ? strtol(argv[1], NULL, 10) : 2048;
    if (size <= 0 || size > (1L << 24))
        return 2;
    char head[96];
    const int headLength = snprintf(head, sizeof head,
                                    "Content-Type: text/html\r\nContent-Length: %ld\r\n\r\n", size);
    const size_t total = (size_t)headLength + (size_t)size;
    char* page = malloc(total);
    if (page == NULL)
        return 2;
    memcpy(page, head, (size_t)headLength);
    memset(page + headLength, 'x', (size_t)size);

    if (FCGX_Init() != 0)
        return 1;
    FCGX_Request request;
    if (FCGX_InitRequest(&request, 0, 0) != 0)
        return 1;
    while (FCGX_Accept_r(&request) >= 0) {
        FCGX_PutStr(page, (int)total, request.out);
        FCGX_Finish_r(&request);
    }
    free(page);
    return 0;
}

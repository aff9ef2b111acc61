/* floor_readdir_stat: the system-call floor of a folder listing.
 *
 * Reads the working directory with opendir/readdir and stats every entry
 * with fstatat (following links), then prints only the entry count.  No
 * sorting, no formatting: whatever a listing program spends beyond this is
 * its own work. */
#include <dirent.h>
#include <stdio.h>
#include <sys/stat.h>

int main(void) {
    DIR* dir = opendir(".");
    if (dir == NULL) {
        perror("opendir");
        return 1;
    }
    int fd = dirfd(dir);
    unsigned long count = 0;
    unsigned long failed = 0;
    struct dirent* ent;
    while ((ent = readdir(dir)) != NULL) {
        struct stat st;
        /* flags 0: follow symbolic links, as a listing shows the target. */
        if (fstatat(fd, ent->d_name, &st, 0) == 0) {
            count++;
        } else {
            failed++;
        }
    }
    closedir(dir);
    printf("%lu\n", count);
    return failed == 0 ? 0 : 1;
}

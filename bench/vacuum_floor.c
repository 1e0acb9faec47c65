/* The floor for the peer benchmark: what compacting the databases of some
 * folders costs a plain C program that makes the same SQLite calls as the
 * program, in one process, without Qt. Per folder: list the plain files (no
 * hidden ones), keep those whose first 16 bytes are the SQLite header, sort
 * them ignoring case; per database: size before (from the listing's fstat),
 * open read-write without create, progress handler every 1000 steps, VACUUM,
 * close, size after.
 *
 *   vacuum_floor FOLDER...
 *
 * Prints "files N", "bytes_after B" and "elapsed_ms T" (from the first
 * listing to the last size).
 */
#define _GNU_SOURCE
#include <sqlite3.h>

#include <dirent.h>
#include <fcntl.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static atomic_bool stopFlag;

static int progress(void* context)
{
    return atomic_load_explicit((atomic_bool*)context, memory_order_relaxed) ? 1 : 0;
}

struct database
{
    char* path;
    long long size;
};

static int byPath(const void* a, const void* b)
{
    return strcasecmp(((const struct database*)a)->path, ((const struct database*)b)->path);
}

static double nowMs(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

/* Appends the databases of one folder to *list. */
static void listFolder(const char* folder, struct database** list, size_t* count, size_t* capacity)
{
    static const char header[16] = "SQLite format 3";
    DIR* dir = opendir(folder);
    if (!dir)
        return;
    const size_t first = *count;
    struct dirent* entry;
    while ((entry = readdir(dir))) {
        if (entry->d_name[0] == '.')
            continue;
        char* path;
        if (asprintf(&path, "%s/%s", folder, entry->d_name) < 0)
            continue;
        const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat st;
        char head[16];
        int keep = fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)
            && read(fd, head, sizeof head) == (ssize_t)sizeof head && memcmp(head, header, sizeof head) == 0;
        if (fd >= 0)
            close(fd);
        if (!keep) {
            free(path);
            continue;
        }
        if (*count == *capacity) {
            *capacity = *capacity ? *capacity * 2 : 64;
            *list = realloc(*list, *capacity * sizeof **list);
        }
        (*list)[(*count)++] = (struct database){path, (long long)st.st_size};
    }
    closedir(dir);
    qsort(*list + first, *count - first, sizeof **list, byPath);
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: vacuum_floor FOLDER...\n");
        return 2;
    }
    const double start = nowMs();
    struct database* list = NULL;
    size_t count = 0, capacity = 0;
    for (int i = 1; i < argc; ++i)
        listFolder(argv[i], &list, &count, &capacity);

    long long bytesBefore = 0, bytesAfter = 0;
    int compacted = 0;
    for (size_t i = 0; i < count; ++i) {
        bytesBefore += list[i].size;
        sqlite3* db = NULL;
        if (sqlite3_open_v2(list[i].path, &db, SQLITE_OPEN_READWRITE, NULL) == SQLITE_OK) {
            sqlite3_progress_handler(db, 1000, progress, &stopFlag);
            char* error = NULL;
            if (sqlite3_exec(db, "VACUUM", NULL, NULL, &error) == SQLITE_OK)
                ++compacted;
            sqlite3_free(error);
        }
        sqlite3_close(db);
        struct stat st;
        if (stat(list[i].path, &st) == 0)
            bytesAfter += st.st_size;
        free(list[i].path);
    }
    free(list);
    const double elapsed = nowMs() - start;
    printf("files %d\nbytes_before %lld\nbytes_after %lld\nelapsed_ms %.3f\n", compacted, bytesBefore, bytesAfter,
           elapsed);
    return 0;
}

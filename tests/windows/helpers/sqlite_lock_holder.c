// sqlite_lock_holder <database> [transaction]: opens the database with the
// Windows SQLite, begins the transaction (BEGIN EXCLUSIVE unless told), says
// "holding" once the lock is taken, and keeps it until standard input ends.
#include <sqlite3.h>
#include <stdio.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        fputs("usage: sqlite_lock_holder <database> [transaction]\n", stderr);
        return 2;
    }
    sqlite3* db = NULL;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, NULL) != SQLITE_OK) {
        fprintf(stderr, "cannot open %s: %s\n", argv[1], sqlite3_errmsg(db));
        return 1;
    }
    char* error = NULL;
    const char* transaction = argc > 2 ? argv[2] : "BEGIN EXCLUSIVE";
    if (sqlite3_exec(db, transaction, NULL, NULL, &error) != SQLITE_OK) {
        fprintf(stderr, "cannot lock: %s\n", error);
        return 1;
    }
    fputs("holding\n", stdout);
    fflush(stdout);
    while (getchar() != EOF) { }
    sqlite3_exec(db, "ROLLBACK", NULL, NULL, NULL);
    sqlite3_close(db);
    return 0;
}

// quorin-holdfile FILE: holds FILE open, as a program that uses it would, until standard input
// ends. Shared for reading only, so that meanwhile Windows lets no other program replace, move
// or delete it. Prints "held" once the file is open.
#include <stdio.h>
#include <windows.h>

int main(int argc, char **argv)
{
    if (argc != 2) {
        fputs("usage: quorin-holdfile FILE\n", stderr);
        return 2;
    }
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "quorin-holdfile: cannot open %s (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    puts("held");
    fflush(stdout);
    while (getchar() != EOF) { }
    CloseHandle(file);
    return 0;
}

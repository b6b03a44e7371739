/* A tiny Windows console program for the real-Wine tests: it appends one line to
   showstate.log beside itself with how it was asked to show its window, the folder it was
   started in and how many arguments it got. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char **argv)
{
    STARTUPINFOA startup;
    char folder[MAX_PATH];
    char log[MAX_PATH + 32];
    char *cut;
    FILE *out;
    (void)argv;
    GetStartupInfoA(&startup);
    GetCurrentDirectoryA(MAX_PATH, folder);
    GetModuleFileNameA(NULL, log, MAX_PATH);
    cut = strrchr(log, '\\');
    if (cut)
        strcpy(cut + 1, "showstate.log");
    out = fopen(log, "a");
    if (!out)
        return 3;
    fprintf(out, "show=%d cwd=%s args=%d\n",
            (startup.dwFlags & STARTF_USESHOWWINDOW) ? (int)startup.wShowWindow : -1, folder, argc - 1);
    fclose(out);
    return 0;
}

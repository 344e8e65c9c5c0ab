// Stands in for the browser and the mail program: appends the command line it
// was started with, as it arrived, to "opened.txt" beside itself.
#include <windows.h>

#include <cstdio>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    char* name = std::strrchr(path, '\\');
    if (!name || static_cast<size_t>(name + 1 - path) + sizeof "opened.txt" > MAX_PATH) return 1;
    std::strcpy(name + 1, "opened.txt");
    FILE* record = std::fopen(path, "ab");
    if (!record) return 1;
    std::fprintf(record, "%s\n", GetCommandLineA());
    return std::fclose(record) == 0 ? 0 : 1;
}

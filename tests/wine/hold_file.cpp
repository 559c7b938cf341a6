// The other program of the Wine tests: holds a file open without sharing
// for a while, as a spreadsheet holds the CSV file it shows.
//
//   hold_file PATH MILLISECONDS
//
// Prints "held" once the file is open; exit status 0 after the time, 1 when
// the file could not be opened, 2 on a wrong command line.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    HANDLE file = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    std::puts("held");
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
    CloseHandle(file);
    return 0;
}

/* hold_file PATH READY RELEASE: keeps PATH open with no delete sharing, as
   Windows keeps a loaded DLL (Wine lets a loaded DLL be replaced, so the
   installer's in-use path needs this stand-in). Writes READY once the file is
   held and lets go when RELEASE exists, or after a minute. */
#include <windows.h>

int wmain(int argc, wchar_t **argv)
{
    HANDLE file, ready;
    int i;
    if (argc != 4) return 2;
    file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return 1;
    ready = CreateFileW(argv[2], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (ready == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(ready);
    for (i = 0; i < 600 && GetFileAttributesW(argv[3]) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
    CloseHandle(file);
    return 0;
}

/* The sample game's program: a small Windows program that says which version it is. Each build
 * is compiled with its own TS2_VERSION and TS2_REVISION, so the builds differ as real ones do. */
#include <windows.h>

#ifndef TS2_VERSION
#error "compile with -DTS2_VERSION=\"x.y.z\""
#endif
#ifndef TS2_REVISION
#define TS2_REVISION 0
#endif

/* A table that grows from build to build, standing in for the game's logic. */
static const int kBalance[] = {
#define ROW(n) (n) * 7 + TS2_REVISION, (n) * 13 - TS2_REVISION, (n) * 31 + 2 * TS2_REVISION,
    ROW(1) ROW(2) ROW(3) ROW(4) ROW(5) ROW(6) ROW(7) ROW(8) ROW(9) ROW(10) ROW(11) ROW(12)
#if TS2_REVISION >= 3
    ROW(13) ROW(14) ROW(15) ROW(16)
#endif
#if TS2_REVISION >= 6
    ROW(17) ROW(18) ROW(19) ROW(20) ROW(21) ROW(22) ROW(23) ROW(24)
#endif
#undef ROW
};

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    char text[160];
    wsprintfA(text, "Tessaly version %s\n\n%d balance rules loaded.", TS2_VERSION,
              (int)(sizeof kBalance / sizeof kBalance[0]));
    MessageBoxA(NULL, text, "Tessaly", MB_OK | MB_ICONINFORMATION);
    return 0;
}

// A program of its own that sends one message to a window of another
// process and waits for it to be handled: what any program on the desktop
// can do to the manager's window.
//   message_sender <window> <message> <wParam> <lParam>   (numbers, 0x for hex)
// Exit code 0 when the message was delivered and handled, 1 otherwise.
#include <windows.h>

#include <cstdlib>

const DWORD SendLimitMs = 10000;
const int ArgumentCount = 5;

static unsigned long long Number(const char* text) { return std::strtoull(text, nullptr, 0); }

int main(int argc, char** argv) {
    if (argc != ArgumentCount) return 1;
    HWND window = (HWND)(UINT_PTR)Number(argv[1]);
    UINT message = (UINT)Number(argv[2]);
    WPARAM wParam = (WPARAM)Number(argv[3]);
    LPARAM lParam = (LPARAM)Number(argv[4]);
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, SendLimitMs, &result) != 0 ? 0 : 1;
}

// Real keyboard input for the checks from outside: keys through the platform's input
// queue, as a person's keyboard sends them. Relies on USER32.
#include "tests/e2e/common/e2e.h"

// A key pressed and let go with modifiers held, through the real input queue.
void press(WORD key, const std::vector<WORD>& modifiers) {
    std::vector<INPUT> keys;
    auto add = [&](WORD vk, DWORD flags) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.dwFlags = flags;
        keys.push_back(in);
    };
    for (WORD m : modifiers)
        add(m, 0);
    add(key, 0);
    add(key, KEYEVENTF_KEYUP);
    for (WORD m : modifiers)
        add(m, KEYEVENTF_KEYUP);
    ::SendInput(UINT(keys.size()), keys.data(), sizeof(INPUT));
}

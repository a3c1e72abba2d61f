// The window-class table: RegisterClassExA and UnregisterClassA. A class is
// known by its name, compared without regard to case, together with the
// instance that registered it.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "runtime/call_journal.h"
#include "runtime/win32/window_system.h"

namespace {

// Atoms of registered classes start where the platform's string atoms do.
constexpr ATOM kFirstClassAtom = 0xC000;

struct ClassTable {
    std::vector<WindowClass> classes;
    ATOM nextAtom = kFirstClassAtom;
};

ClassTable& Classes() {
    static ClassTable table;
    return table;
}

bool SameName(const std::string& a, const char* b) {
    const std::size_t length = std::char_traits<char>::length(b);
    if (a.size() != length) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// Class names given as atoms are not supported: a name must be a string.
bool IsUsableName(LPCSTR name) {
    return name != nullptr && !IS_INTRESOURCE(name) && *name != 0;
}

std::vector<WindowClass>::iterator Find(LPCSTR name, HINSTANCE instance) {
    auto& classes = Classes().classes;
    return std::find_if(classes.begin(), classes.end(), [&](const WindowClass& entry) {
        return entry.instance == instance && SameName(entry.name, name);
    });
}

}  // namespace

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass) {
    if (windowClass == nullptr || windowClass->cbSize != sizeof(WNDCLASSEXA) ||
        windowClass->lpfnWndProc == nullptr || !IsUsableName(windowClass->lpszClassName) ||
        windowClass->cbClsExtra < 0 || windowClass->cbWndExtra < 0) {
        return 0;
    }
    ClassTable& table = Classes();
    if (Find(windowClass->lpszClassName, windowClass->hInstance) != table.classes.end() ||
        table.nextAtom == 0) {
        return 0;
    }
    WindowClass entry;
    entry.name = windowClass->lpszClassName;
    entry.instance = windowClass->hInstance;
    entry.style = windowClass->style;
    entry.procedure = windowClass->lpfnWndProc;
    entry.icon = windowClass->hIcon;
    entry.smallIcon = windowClass->hIconSm;
    entry.cursor = windowClass->hCursor;
    entry.background = windowClass->hbrBackground;
    entry.atom = table.nextAtom++;
    table.classes.push_back(std::move(entry));
    return table.classes.back().atom;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance) {
    if (!IsUsableName(className)) {
        return FALSE;
    }
    auto found = Find(className, instance);
    // A class still in use by a window stays registered.
    if (found == Classes().classes.end() || ClassHasWindows(found->name, found->instance)) {
        return FALSE;
    }
    JournalCall(("WindowClass(" + found->name + ")").c_str(), "Unregister");
    Classes().classes.erase(found);
    return TRUE;
}

const WindowClass* FindWindowClass(LPCSTR name, HINSTANCE instance) {
    if (!IsUsableName(name)) {
        return nullptr;
    }
    auto found = Find(name, instance);
    return found != Classes().classes.end() ? &*found : nullptr;
}

void ForgetWindowClasses() {
    Classes() = ClassTable{};
}

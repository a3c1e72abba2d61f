#include "runtime/dinput/scripted_keys.h"

#include "runtime/dinput/scancode_table.h"
#include "runtime/win32/run_script.h"

void AddScriptedKeys(BYTE (&keys)[kKeyCount]) {
    const RunScript* script = ActiveRunScript();
    if (script == nullptr) {
        return;
    }
    for (const ScriptedKey& key : script->keys) {
        const BYTE dik = DikFromSdlScancode(key.scancode);
        if (dik != 0 && ScriptHoldsKey(key)) {
            keys[dik] = 0x80;
        }
    }
}

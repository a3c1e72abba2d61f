#include "runtime/win32/module_table.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "vellorn/win32_system.h"
#include "vellorn/win32_window.h"

namespace {

BOOL AlwaysAttached() {
    return TRUE;
}
void IgnoreMute(BOOL) {}

// The ordinal form of a procedure name: a small number in place of a pointer.
LPCSTR Ordinal(std::uintptr_t ordinal) {
    return reinterpret_cast<LPCSTR>(ordinal);
}

class ModuleTableTest : public testing::Test {
  protected:
    void TearDown() override { ResetModuleTable(); }
};

TEST_F(ModuleTableTest, Kernel32IsAlwaysLoadedWithItsOwnIsDebuggerPresent) {
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    ASSERT_NE(kernel, nullptr);
    EXPECT_EQ(GetModuleHandleA("KERNEL32.DLL"), kernel);
    EXPECT_EQ(GetModuleHandleA("Kernel32"), kernel);
    EXPECT_EQ(GetModuleHandleA("kernel32."), nullptr);  // a trailing dot: no extension
    EXPECT_EQ(GetProcAddress(kernel, "IsDebuggerPresent"), ToFarProc(&IsDebuggerPresent));
    EXPECT_EQ(GetProcAddress(kernel, "isdebuggerpresent"), nullptr);  // export names keep case
    EXPECT_EQ(GetProcAddress(kernel, "DebugSetMute"), nullptr);
}

TEST_F(ModuleTableTest, UnregisteredModulesAreNeitherFoundNorLoaded) {
    EXPECT_EQ(GetModuleHandleA("d3d9.dll"), nullptr);
    EXPECT_EQ(LoadLibraryA("d3d9.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleA("d3d9.dll"), nullptr);
    EXPECT_EQ(ModuleReferenceCount("d3d9.dll"), 0);
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
}

TEST_F(ModuleTableTest, NoNameFindsTheProgramsOwnModule) {
    const HMODULE program = GetModuleHandleA(nullptr);
    ASSERT_NE(program, nullptr);
    EXPECT_NE(program, GetModuleHandleA("kernel32.dll"));
    EXPECT_EQ(GetProcAddress(program, "IsDebuggerPresent"), nullptr);
    // The program's resources are found through it.
    EXPECT_NE(LoadIconA(program, MAKEINTRESOURCEA(101)), nullptr);
    ResetModuleTable();
    EXPECT_EQ(GetModuleHandleA(nullptr), program);
}

TEST_F(ModuleTableTest, RegisteredModuleIsFoundLoadedAndCounted) {
    RegisterModule("d3d9.dll", {{"DebugSetMute", ToFarProc(&IgnoreMute)}});
    const HMODULE module = GetModuleHandleA("D3D9");
    ASSERT_NE(module, nullptr);
    EXPECT_NE(module, GetModuleHandleA("kernel32.dll"));
    EXPECT_EQ(ModuleReferenceCount("d3d9.dll"), 1);
    EXPECT_EQ(LoadLibraryA("d3d9.dll"), module);
    EXPECT_EQ(LoadLibraryA("D3D9.DLL"), module);
    EXPECT_EQ(ModuleReferenceCount("d3d9.dll"), 3);
    EXPECT_EQ(FromFarProc<DebugSetMuteProc>(GetProcAddress(module, "DebugSetMute")), &IgnoreMute);
    EXPECT_EQ(GetProcAddress(module, "IsDebuggerPresent"), nullptr);
    EXPECT_EQ(GetProcAddress(module, nullptr), nullptr);
    EXPECT_EQ(GetProcAddress(module, Ordinal(1)), nullptr);
    EXPECT_EQ(GetProcAddress(nullptr, "DebugSetMute"), nullptr);
}

TEST_F(ModuleTableTest, HandleOfRemovedModuleStaysInvalid) {
    RegisterModule("d3d9d.dll", {{"DebugSetMute", ToFarProc(&IgnoreMute)}});
    const HMODULE removed = GetModuleHandleA("d3d9d.dll");
    UnregisterModule("D3D9D.DLL");
    EXPECT_EQ(GetModuleHandleA("d3d9d.dll"), nullptr);
    EXPECT_EQ(GetProcAddress(removed, "DebugSetMute"), nullptr);
    RegisterModule("d3d9d.dll", {{"DebugSetMute", ToFarProc(&IgnoreMute)}});
    EXPECT_NE(GetModuleHandleA("d3d9d.dll"), removed);
    EXPECT_EQ(GetProcAddress(removed, "DebugSetMute"), nullptr);
}

TEST_F(ModuleTableTest, RegisteringAgainReplacesExportsAndKeepsHandleAndReferences) {
    RegisterModule("d3d9.dll", {});
    const HMODULE module = LoadLibraryA("d3d9.dll");
    EXPECT_EQ(GetProcAddress(module, "DebugSetMute"), nullptr);
    RegisterModule("d3d9.dll", {{"DebugSetMute", ToFarProc(&IgnoreMute)}});
    EXPECT_EQ(GetModuleHandleA("d3d9.dll"), module);
    EXPECT_EQ(ModuleReferenceCount("d3d9.dll"), 2);
    EXPECT_NE(GetProcAddress(module, "DebugSetMute"), nullptr);
}

TEST_F(ModuleTableTest, Kernel32ExportsCanBeOverriddenAndComeBack) {
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    RegisterModule("kernel32.dll", {{"IsDebuggerPresent", ToFarProc(&AlwaysAttached)}});
    EXPECT_EQ(GetModuleHandleA("kernel32.dll"), kernel);
    EXPECT_EQ(GetProcAddress(kernel, "IsDebuggerPresent"), ToFarProc(&AlwaysAttached));
    UnregisterModule("kernel32.dll");
    EXPECT_EQ(GetModuleHandleA("kernel32.dll"), kernel);
    EXPECT_EQ(GetProcAddress(kernel, "IsDebuggerPresent"), ToFarProc(&IsDebuggerPresent));
}

}  // namespace

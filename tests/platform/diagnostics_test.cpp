#include "platform/diagnostics.h"

#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/direct3d_settings.h"
#include "platform/processor_check.h"
#include "runtime/backend.h"
#include "runtime/win32/debug_output.h"
#include "runtime/win32/headless_window.h"
#include "runtime/win32/module_table.h"
#include "runtime/win32/settings_store.h"

namespace {

// What the fakes below saw; reset by the fixture.
std::vector<BOOL> d3d9MuteCalls;
std::vector<BOOL> d3d9dMuteCalls;
BOOL debuggerAttached = FALSE;
volatile std::sig_atomic_t breakpointTraps = 0;

void RecordD3d9Mute(BOOL mute) {
    d3d9MuteCalls.push_back(mute);
}
void RecordD3d9dMute(BOOL mute) {
    d3d9dMuteCalls.push_back(mute);
}
BOOL FakeIsDebuggerPresent() {
    return debuggerAttached;
}
void CountTrap(int) {
    breakpointTraps = breakpointTraps + 1;
}

void RegisterD3d9(const char* name, DebugSetMuteProc mute) {
    RegisterModule(name, {{"DebugSetMute", ToFarProc(mute)}});
}

class DiagnosticsTest : public testing::Test {
  protected:
    void SetUp() override {
        diagnosticChannel = {};
        ClearSettings();
        ResetModuleTable();
        d3d9MuteCalls.clear();
        d3d9dMuteCalls.clear();
        debuggerAttached = FALSE;
        breakpointTraps = 0;
        SelectBackend(RuntimeBackend::Headless);
        ResetHeadlessWindowing();
        RegisterModule("kernel32.dll", {{"IsDebuggerPresent", ToFarProc(&FakeIsDebuggerPresent)}});
        SetDebugOutputCapture([this](const char* text) { lines.emplace_back(text); });
        struct sigaction trap = {};
        trap.sa_handler = &CountTrap;
        sigaction(SIGTRAP, &trap, &savedTrap);
    }

    void TearDown() override {
        sigaction(SIGTRAP, &savedTrap, nullptr);
        SetDebugOutputCapture({});
        ResetHeadlessWindowing();
        ResetModuleTable();
        ClearSettings();
        diagnosticChannel = {};
    }

    std::vector<std::string> lines;
    struct sigaction savedTrap = {};
};

struct LevelCase {
    std::optional<int> profileLevel;
    int messageLevel;
    bool sent;
    friend void PrintTo(const LevelCase& c, std::ostream* os) {
        *os << "profile " << (c.profileLevel ? std::to_string(*c.profileLevel) : "absent")
            << " message " << c.messageLevel;
    }
};

class DebugLevelTest : public DiagnosticsTest, public testing::WithParamInterface<LevelCase> {};

TEST_P(DebugLevelTest, MessagesAboveTheProfileLevelAreDropped) {
    if (GetParam().profileLevel) {
        SetProfileInt("Direct3D", "debug", *GetParam().profileLevel);
    }
    DebugMessage(GetParam().messageLevel, "level %d", GetParam().messageLevel);
    const std::string expected = "D3DX: level " + std::to_string(GetParam().messageLevel) + "\r\n";
    EXPECT_EQ(lines,
              GetParam().sent ? std::vector<std::string>{expected} : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Levels, DebugLevelTest,
                         testing::Values(LevelCase{std::nullopt, 0, true},
                                         LevelCase{std::nullopt, 1, false},
                                         LevelCase{std::nullopt, -1, true}, LevelCase{2, 2, true},
                                         LevelCase{2, 3, false}, LevelCase{0, 1, false}));

TEST_F(DiagnosticsTest, ProfileLevelIsReadOnlyOnce) {
    DebugMessage(0, "first");
    SetProfileInt("Direct3D", "debug", 5);
    DebugMessage(3, "dropped: level read before the change");
    diagnosticChannel = {};
    DebugMessage(3, "sent after reset");
    EXPECT_EQ(lines, (std::vector<std::string>{"D3DX: first\r\n", "D3DX: sent after reset\r\n"}));
}

struct LengthCase {
    std::size_t messageLength;
    std::string ending;  // what follows the message's characters in the line
    std::size_t charactersKept;
    friend void PrintTo(const LengthCase& c, std::ostream* os) {
        *os << c.messageLength << " characters";
    }
};

class LongMessageTest : public DiagnosticsTest, public testing::WithParamInterface<LengthCase> {};

TEST_P(LongMessageTest, LineIsCutAt4095Characters) {
    const std::string message(GetParam().messageLength, 'm');
    DebugMessage(0, "%s", message.c_str());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "D3DX: " + std::string(GetParam().charactersKept, 'm') + GetParam().ending);
    EXPECT_LE(lines[0].size(), 4095u);
}

INSTANTIATE_TEST_SUITE_P(Lengths, LongMessageTest,
                         testing::Values(LengthCase{4087, "\r\n", 4087},  // exactly fits: 4,095
                                         LengthCase{4088, "\r", 4088}, LengthCase{4089, "", 4089},
                                         LengthCase{4095, "", 4089}, LengthCase{10000, "", 4089}));

TEST_F(DiagnosticsTest, NothingIsSentWhileMutedWhateverTheLevel) {
    SetProfileInt("Direct3D", "debug", 5);
    EXPECT_EQ(SetDebugMute(TRUE), FALSE);
    for (int level = -1; level <= 6; ++level) {
        DebugMessage(level, "muted %d", level);
    }
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(SetDebugMute(FALSE), TRUE);
    EXPECT_EQ(SetDebugMute(FALSE), FALSE);
    DebugMessage(0, "audible");
    EXPECT_EQ(lines, std::vector<std::string>{"D3DX: audible\r\n"});
}

struct DoNotMuteCase {
    std::optional<DWORD> registryValue;
    bool runtimeMuted;
    friend void PrintTo(const DoNotMuteCase& c, std::ostream* os) {
        *os << "D3DXDoNotMute " << (c.registryValue ? std::to_string(*c.registryValue) : "absent");
    }
};

class DoNotMuteTest : public DiagnosticsTest, public testing::WithParamInterface<DoNotMuteCase> {};

TEST_P(DoNotMuteTest, DoNotMuteSilencesOnlyThisChannel) {
    if (GetParam().registryValue) {
        SetRegistryDword(kDirect3DSettingsKey, "D3DXDoNotMute", *GetParam().registryValue);
    }
    RegisterD3d9("d3d9.dll", &RecordD3d9Mute);
    RegisterD3d9("d3d9d.dll", &RecordD3d9dMute);
    SetDebugMute(TRUE);
    DebugMessage(0, "muted");
    SetDebugMute(FALSE);
    EXPECT_TRUE(lines.empty());
    const std::vector<BOOL> forwarded = {TRUE, FALSE};
    EXPECT_EQ(d3d9MuteCalls, GetParam().runtimeMuted ? forwarded : std::vector<BOOL>());
    EXPECT_EQ(d3d9dMuteCalls, d3d9MuteCalls);
}

INSTANTIATE_TEST_SUITE_P(Values, DoNotMuteTest,
                         testing::Values(DoNotMuteCase{std::nullopt, true}, DoNotMuteCase{0, true},
                                         DoNotMuteCase{1, false}, DoNotMuteCase{7, false}));

TEST_F(DiagnosticsTest, DoNotMuteIsReadOnlyOnce) {
    RegisterD3d9("d3d9.dll", &RecordD3d9Mute);
    SetDebugMute(TRUE);
    SetRegistryDword(kDirect3DSettingsKey, "D3DXDoNotMute", 1);
    SetDebugMute(FALSE);
    EXPECT_EQ(d3d9MuteCalls, (std::vector<BOOL>{TRUE, FALSE}));
}

TEST_F(DiagnosticsTest, RuntimeMuteIsLookedUpOnEveryCallUntilFound) {
    SetDebugMute(TRUE);  // no runtime library loaded yet
    RegisterModule("d3d9.dll", {});
    SetDebugMute(FALSE);  // loaded, but without the entry
    RegisterD3d9("d3d9d.dll", &RecordD3d9dMute);
    SetDebugMute(TRUE);  // found in the debug runtime
    RegisterD3d9("d3d9.dll", &RecordD3d9Mute);
    SetDebugMute(FALSE);  // no further look-up once one entry is known
    EXPECT_EQ(d3d9dMuteCalls, (std::vector<BOOL>{TRUE, FALSE}));
    EXPECT_TRUE(d3d9MuteCalls.empty());
    EXPECT_EQ(ModuleReferenceCount("d3d9d.dll"), 2);  // registration plus the look-up's
}

TEST_F(DiagnosticsTest, WithoutAssertionModeAnAssertionOnlySendsItsMessage) {
    debuggerAttached = TRUE;
    EXPECT_EQ(ReportAssertion("texture.cpp", 42, "width > 0"), 0);
    // The mode is read on the first assertion only.
    SetRegistryDword(kDirect3DSettingsKey, "D3DX", 3);
    EXPECT_EQ(ReportAssertion("texture.cpp", 43, "height > 0"), 0);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "D3DX: Assertion failure! (texture.cpp 42): width > 0\r\n",
                         "D3DX: Assertion failure! (texture.cpp 43): height > 0\r\n"}));
    EXPECT_TRUE(RecordedMessageBoxes().empty());
    EXPECT_EQ(breakpointTraps, 0);
}

struct ActionCase {
    DWORD mode;
    BOOL debugger;
    int answer;  // given to the question when it is asked; 0: none queued
    bool asked;
    int result;  // 1 also means one breakpoint trap
    friend void PrintTo(const ActionCase& c, std::ostream* os) {
        *os << "mode " << c.mode << (c.debugger ? " debugger" : " alone") << " answer " << c.answer;
    }
};

class AssertionActionTest : public DiagnosticsTest,
                            public testing::WithParamInterface<ActionCase> {};

TEST_P(AssertionActionTest, ModeAndDebuggerChooseTheAction) {
    SetRegistryDword(kDirect3DSettingsKey, "D3DX", GetParam().mode);
    debuggerAttached = GetParam().debugger;
    if (GetParam().answer != 0) {
        QueueMessageBoxAnswer(GetParam().answer);
    }
    EXPECT_EQ(ReportAssertion("filter.cpp", 7, "weight >= 0"), GetParam().result);
    EXPECT_EQ(RecordedMessageBoxes().size(), GetParam().asked ? 1u : 0u);
    EXPECT_EQ(breakpointTraps, GetParam().result);
    EXPECT_EQ(lines.size(), 1u);
}

// Without a queued answer the headless box answers with its default button.
constexpr int kDefault = 0;

INSTANTIATE_TEST_SUITE_P(
    Modes, AssertionActionTest,
    testing::Values(
        // With a debugger: 0 continues, 1 and 2 break, 3 asks.
        ActionCase{0, TRUE, IDYES, false, 0}, ActionCase{1, TRUE, IDNO, false, 1},
        ActionCase{2, TRUE, IDNO, false, 1}, ActionCase{3, TRUE, IDYES, true, 1},
        ActionCase{3, TRUE, IDNO, true, 0}, ActionCase{3, TRUE, kDefault, true, 0},
        // Without one: 0 and 1 continue, 2 and 3 ask.
        ActionCase{0, FALSE, IDYES, false, 0}, ActionCase{1, FALSE, IDYES, false, 0},
        ActionCase{2, FALSE, IDYES, true, 1}, ActionCase{2, FALSE, IDNO, true, 0},
        ActionCase{2, FALSE, kDefault, true, 0}, ActionCase{3, FALSE, IDYES, true, 1},
        ActionCase{3, FALSE, IDNO, true, 0},
        // Modes outside 0..3 continue.
        ActionCase{4, TRUE, IDYES, false, 0}, ActionCase{0xFFFFFFFF, FALSE, IDYES, false, 0}));

TEST_F(DiagnosticsTest, QuestionIsATaskModalYesNoCancelBoxWithNoAsDefault) {
    SetRegistryDword(kDirect3DSettingsKey, "D3DX", 3);
    ReportAssertion("sprite.cpp", 118, "count <= capacity");
    ASSERT_EQ(RecordedMessageBoxes().size(), 1u);
    const MessageBoxRecord& box = RecordedMessageBoxes()[0];
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.caption, "D3DX Assertion Failure");
    EXPECT_EQ(box.text,
              "sprite.cpp (118):\n\nD3DXASSERT(count <= capacity);\n\nDo you want to invoke the "
              "debugger?  Cancel will terminate the application");
    EXPECT_EQ(box.type, 0x2113u);  // task modal, error icon, second button default, Yes/No/Cancel
    EXPECT_EQ(box.answer, IDNO);
}

TEST_F(DiagnosticsTest, QuestionTextIsCutTo255Characters) {
    SetRegistryDword(kDirect3DSettingsKey, "D3DX", 3);
    const std::string expression(300, 'e');
    ReportAssertion("dxt.cpp", 1, expression.c_str());
    ASSERT_EQ(RecordedMessageBoxes().size(), 1u);
    const std::string head = "dxt.cpp (1):\n\nD3DXASSERT(";
    EXPECT_EQ(RecordedMessageBoxes()[0].text, head + std::string(255 - head.size(), 'e'));
}

using DiagnosticsDeathTest = DiagnosticsTest;

TEST_F(DiagnosticsDeathTest, CancelEndsTheProcess) {
    SetRegistryDword(kDirect3DSettingsKey, "D3DX", 2);
    QueueMessageBoxAnswer(IDCANCEL);
    EXPECT_EXIT(ReportAssertion("pixel.cpp", 9, "false"), testing::ExitedWithCode(3),
                "D3DX Assertion Failure; application terminated");
}

TEST_F(DiagnosticsTest, Direct3DSettingIsReadOnlyWhenPresent) {
    DWORD value = 77;
    EXPECT_FALSE(ReadDirect3DSetting("DisableMMX", &value));
    EXPECT_EQ(value, 77u);
    SetRegistryDword("Software\\Direct3D", "disablemmx", 0);
    EXPECT_TRUE(ReadDirect3DSetting("DisableMMX", &value));
    EXPECT_EQ(value, 0u);
    SetRegistryDword("Software\\Direct3D\\Other", "DisablePSGP", 1);
    EXPECT_FALSE(ReadDirect3DSetting("DisablePSGP", &value));
    EXPECT_FALSE(ReadDirect3DSetting("DisableMMX", nullptr));
}

// Every x86-64 processor has MMX; "DisableMMX" turns the answer off on every
// call while it is non-zero.
TEST_F(DiagnosticsTest, ProcessorCheckHonoursDisableMmxOnEveryCall) {
#if defined(__x86_64__)
    const bool processor = true;
#else
    const bool processor = ProcessorHasMmx();
#endif
    EXPECT_EQ(ProcessorHasMmx(), processor);
    SetRegistryDword(kDirect3DSettingsKey, "DisableMMX", 1);
    EXPECT_FALSE(ProcessorHasMmx());
    SetRegistryDword(kDirect3DSettingsKey, "DisableMMX", 0);
    EXPECT_EQ(ProcessorHasMmx(), processor);
}

}  // namespace

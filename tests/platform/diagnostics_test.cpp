#include "platform/diagnostics.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/direct3d_settings.h"
#include "runtime/win32/debug_output.h"
#include "runtime/win32/module_table.h"
#include "runtime/win32/settings_store.h"

namespace {

// What the fakes below saw; reset by the fixture.
std::vector<BOOL> d3d9MuteCalls;
std::vector<BOOL> d3d9dMuteCalls;
BOOL debuggerAttached = FALSE;
AssertionAnswer promptAnswer = AssertionAnswer::No;
std::vector<std::pair<std::string, std::string>> prompts;  // caption, text
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
AssertionAnswer FakePrompt(const char* caption, const char* text) {
    prompts.emplace_back(caption, text);
    return promptAnswer;
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
        promptAnswer = AssertionAnswer::No;
        prompts.clear();
        breakpointTraps = 0;
        RegisterModule("kernel32.dll", {{"IsDebuggerPresent", ToFarProc(&FakeIsDebuggerPresent)}});
        SetDebugOutputCapture([this](const char* text) { lines.emplace_back(text); });
        SetAssertionPrompt(&FakePrompt);
        struct sigaction trap = {};
        trap.sa_handler = &CountTrap;
        sigaction(SIGTRAP, &trap, &savedTrap);
    }

    void TearDown() override {
        sigaction(SIGTRAP, &savedTrap, nullptr);
        SetAssertionPrompt(nullptr);
        SetDebugOutputCapture({});
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
    EXPECT_TRUE(prompts.empty());
    EXPECT_EQ(breakpointTraps, 0);
}

struct ActionCase {
    DWORD mode;
    BOOL debugger;
    AssertionAnswer answer;  // of the prompt, when one is shown
    bool asked;
    int result;  // 1 also means one breakpoint trap
    friend void PrintTo(const ActionCase& c, std::ostream* os) {
        *os << "mode " << c.mode << (c.debugger ? " debugger" : " alone")
            << (c.answer == AssertionAnswer::Yes ? " yes" : " no");
    }
};

class AssertionActionTest : public DiagnosticsTest,
                            public testing::WithParamInterface<ActionCase> {};

TEST_P(AssertionActionTest, ModeAndDebuggerChooseTheAction) {
    SetRegistryDword(kDirect3DSettingsKey, "D3DX", GetParam().mode);
    debuggerAttached = GetParam().debugger;
    promptAnswer = GetParam().answer;
    EXPECT_EQ(ReportAssertion("filter.cpp", 7, "weight >= 0"), GetParam().result);
    EXPECT_EQ(prompts.size(), GetParam().asked ? 1u : 0u);
    EXPECT_EQ(breakpointTraps, GetParam().result);
    EXPECT_EQ(lines.size(), 1u);
}

constexpr auto Yes = AssertionAnswer::Yes;
constexpr auto No = AssertionAnswer::No;

INSTANTIATE_TEST_SUITE_P(Modes, AssertionActionTest,
                         testing::Values(
                             // With a debugger: 0 continues, 1 and 2 break, 3 asks.
                             ActionCase{0, TRUE, Yes, false, 0}, ActionCase{1, TRUE, No, false, 1},
                             ActionCase{2, TRUE, No, false, 1}, ActionCase{3, TRUE, Yes, true, 1},
                             ActionCase{3, TRUE, No, true, 0},
                             // Without one: 0 and 1 continue, 2 and 3 ask.
                             ActionCase{0, FALSE, Yes, false, 0},
                             ActionCase{1, FALSE, Yes, false, 0},
                             ActionCase{2, FALSE, Yes, true, 1}, ActionCase{2, FALSE, No, true, 0},
                             ActionCase{3, FALSE, Yes, true, 1}, ActionCase{3, FALSE, No, true, 0},
                             // Modes outside 0..3 continue.
                             ActionCase{4, TRUE, Yes, false, 0},
                             ActionCase{0xFFFFFFFF, FALSE, Yes, false, 0}));

TEST_F(DiagnosticsTest, PromptNamesTheFailedCheck) {
    SetRegistryDword(kDirect3DSettingsKey, "D3DX", 3);
    ReportAssertion("sprite.cpp", 118, "count <= capacity");
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0].first, "D3DX Assertion Failure");
    EXPECT_EQ(prompts[0].second,
              "sprite.cpp (118):\n\nD3DXASSERT(count <= capacity);\n\nDo you want to invoke the "
              "debugger?  Cancel will terminate the application");
}

TEST_F(DiagnosticsTest, PromptTextIsCutTo255Characters) {
    SetRegistryDword(kDirect3DSettingsKey, "D3DX", 3);
    const std::string expression(300, 'e');
    ReportAssertion("dxt.cpp", 1, expression.c_str());
    ASSERT_EQ(prompts.size(), 1u);
    const std::string head = "dxt.cpp (1):\n\nD3DXASSERT(";
    EXPECT_EQ(prompts[0].second, head + std::string(255 - head.size(), 'e'));
}

using DiagnosticsDeathTest = DiagnosticsTest;

TEST_F(DiagnosticsDeathTest, CancelEndsTheProcess) {
    SetRegistryDword(kDirect3DSettingsKey, "D3DX", 2);
    promptAnswer = AssertionAnswer::Cancel;
    EXPECT_EXIT(ReportAssertion("pixel.cpp", 9, "false"), testing::ExitedWithCode(3),
                "D3DX Assertion Failure; application terminated");
}

TEST_F(DiagnosticsDeathTest, DefaultPromptWithoutTerminalCancels) {
    SetRegistryDword(kDirect3DSettingsKey, "D3DX", 3);
    SetAssertionPrompt(nullptr);
    EXPECT_EXIT(
        {
            setsid();  // a new session has no controlling terminal
            ReportAssertion("pixel.cpp", 9, "x < width");
        },
        testing::ExitedWithCode(3),
        "D3DX Assertion Failure\npixel.cpp \\(9\\):.*D3DXASSERT\\(x < width\\);.*No terminal.*"
        "application terminated");
}

struct AnswerCase {
    const char* typed;
    AssertionAnswer answer;
    int questions;
    friend void PrintTo(const AnswerCase& c, std::ostream* os) {
        std::string typed = c.typed;
        for (char& ch : typed) {
            ch = ch == '\n' ? '|' : ch;
        }
        *os << '"' << typed << '"';
    }
};

class AnswerTest : public testing::TestWithParam<AnswerCase> {};

TEST_P(AnswerTest, TypedLineGivesTheAnswer) {
    std::FILE* input = std::tmpfile();
    std::FILE* output = std::tmpfile();
    ASSERT_NE(input, nullptr);
    ASSERT_NE(output, nullptr);
    std::fputs(GetParam().typed, input);
    std::rewind(input);
    EXPECT_EQ(ReadAssertionAnswer(input, output), GetParam().answer);
    std::rewind(output);
    int questions = 0;
    for (int c = std::fgetc(output); c != EOF; c = std::fgetc(output)) {
        questions += c == '?' ? 1 : 0;
    }
    EXPECT_EQ(questions, GetParam().questions);
    std::fclose(input);
    std::fclose(output);
}

INSTANTIATE_TEST_SUITE_P(Lines, AnswerTest,
                         testing::Values(AnswerCase{"y\n", AssertionAnswer::Yes, 1},
                                         AnswerCase{" YES \n", AssertionAnswer::Yes, 1},
                                         AnswerCase{"n\n", AssertionAnswer::No, 1},
                                         AnswerCase{"\n", AssertionAnswer::No,
                                                    1},  // No is the default
                                         AnswerCase{"c\n", AssertionAnswer::Cancel, 1},
                                         AnswerCase{"Cancel", AssertionAnswer::Cancel, 1},
                                         AnswerCase{"maybe\nyep\ny\n", AssertionAnswer::Yes, 3},
                                         AnswerCase{"", AssertionAnswer::Cancel, 1},
                                         AnswerCase{"what\n", AssertionAnswer::Cancel, 2}));

TEST_F(DiagnosticsTest, Direct3DSettingIsReadOnlyWhenPresent) {
    DWORD value = 77;
    EXPECT_FALSE(ReadDirect3DSetting("DisableMMX", &value));
    EXPECT_EQ(value, 77u);
    SetRegistryDword("Software\\Microsoft\\Direct3D", "disablemmx", 0);
    EXPECT_TRUE(ReadDirect3DSetting("DisableMMX", &value));
    EXPECT_EQ(value, 0u);
    SetRegistryDword("Software\\Microsoft\\Direct3D\\Other", "DisablePSGP", 1);
    EXPECT_FALSE(ReadDirect3DSetting("DisablePSGP", &value));
    EXPECT_FALSE(ReadDirect3DSetting("DisableMMX", nullptr));
}

}  // namespace

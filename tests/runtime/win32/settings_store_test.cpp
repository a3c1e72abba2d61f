#include "runtime/win32/settings_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>

#include "vellorn/win32_system.h"

namespace {

constexpr const char* kDirect3DKey = "Software\\Direct3D";
constexpr const char* kVariables[] = {
    "VELLORN_D3DX_DEBUG",  "VELLORN_D3DX_DONOTMUTE", "VELLORN_D3DX_ASSERT",
    "VELLORN_DISABLE_MMX", "VELLORN_DISABLE_PSGP",   "VELLORN_DISABLE_D3DX_PSGP",
};

// Reads a REG_DWORD value below HKEY_LOCAL_MACHINE, or nothing.
std::optional<DWORD> ReadDword(const char* keyPath, const char* valueName) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LONG result =
        RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    if (result != ERROR_SUCCESS) {
        return std::nullopt;
    }
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(size, sizeof(DWORD));
    return value;
}

// Parameter text for test names: path separators and control characters
// would not survive in them.
std::string Printable(std::string text) {
    for (char& c : text) {
        c = c == '\\' ? '/' : (c < ' ' ? '~' : c);
    }
    return text;
}

class SettingsStoreTest : public testing::Test {
  protected:
    void SetUp() override { ClearSettings(); }
    void TearDown() override {
        for (const char* variable : kVariables) {
            unsetenv(variable);
        }
        ClearSettings();
    }
};

TEST_F(SettingsStoreTest, ProfileIntReturnsStoredValueOrDefaultAsUnsigned) {
    EXPECT_EQ(GetProfileIntA("Direct3D", "debug", 7), 7u);
    EXPECT_EQ(GetProfileIntA("Direct3D", "debug", -1), 0xFFFFFFFFu);
    SetProfileInt("Direct3D", "debug", 3);
    EXPECT_EQ(GetProfileIntA("DIRECT3D", "DeBuG", 0), 3u);
    EXPECT_EQ(GetProfileIntA("Direct3D", "debugx", 9), 9u);
    EXPECT_EQ(GetProfileIntA("Direct3", "debug", 9), 9u);
    SetProfileInt("direct3d", "DEBUG", -2);
    EXPECT_EQ(GetProfileIntA("Direct3D", "debug", 0), 0xFFFFFFFEu);
}

struct OpenCase {
    const char* subKey;
    LONG expected;
    friend void PrintTo(const OpenCase& c, std::ostream* os) {
        *os << '"' << Printable(c.subKey) << "\" error " << c.expected;
    }
};

class RegistryOpenTest : public SettingsStoreTest, public testing::WithParamInterface<OpenCase> {};

TEST_P(RegistryOpenTest, OpensKeysThatHoldValuesTheirParentsAndKnownKeys) {
    SetRegistryDword("Software\\Vellorn\\Test", "Value", 5);
    HKEY key = nullptr;
    const LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, GetParam().subKey, 0, KEY_READ, &key);
    EXPECT_EQ(result, GetParam().expected);
    if (result == ERROR_SUCCESS) {
        EXPECT_NE(key, nullptr);
        EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    } else {
        EXPECT_EQ(key, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, RegistryOpenTest,
    testing::Values(OpenCase{"Software\\Vellorn\\Test", ERROR_SUCCESS},
                    OpenCase{"SOFTWARE\\vellorn\\tEST", ERROR_SUCCESS},
                    OpenCase{"Software\\Vellorn", ERROR_SUCCESS},
                    OpenCase{kDirect3DKey, ERROR_SUCCESS},  // known even without values
                    OpenCase{"", ERROR_SUCCESS},            // the root itself
                    OpenCase{"Software\\Vell", ERROR_FILE_NOT_FOUND},
                    OpenCase{"Software\\Direct3D\\Drivers", ERROR_FILE_NOT_FOUND}));

struct BufferCase {
    DWORD capacity;
    LONG expected;
    friend void PrintTo(const BufferCase& c, std::ostream* os) { *os << c.capacity << " bytes"; }
};

class RegistryBufferTest : public SettingsStoreTest,
                           public testing::WithParamInterface<BufferCase> {};

TEST_P(RegistryBufferTest, ValueIsCopiedOnlyIntoBufferOfFourBytesOrMore) {
    SetRegistryDword(kDirect3DKey, "D3DX", 0x04030201u);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDirect3DKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    BYTE data[8] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    DWORD type = 0;
    DWORD size = GetParam().capacity;
    EXPECT_EQ(RegQueryValueExA(key, "d3dx", nullptr, &type, data, &size), GetParam().expected);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(size, 4u);
    const bool copied = GetParam().expected == ERROR_SUCCESS;
    EXPECT_EQ(data[0], copied ? 0x01 : 0xEE);
    EXPECT_EQ(data[3], copied ? 0x04 : 0xEE);
    EXPECT_EQ(data[4], 0xEE);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(Capacities, RegistryBufferTest,
                         testing::Values(BufferCase{0, ERROR_MORE_DATA},
                                         BufferCase{3, ERROR_MORE_DATA},
                                         BufferCase{4, ERROR_SUCCESS},
                                         BufferCase{8, ERROR_SUCCESS}));

TEST_F(SettingsStoreTest, QueriesWithoutBufferBadArgumentsAndDeadHandles) {
    SetRegistryDword(kDirect3DKey, "D3DX", 2);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software", 0, KEY_READ, &key), ERROR_SUCCESS);
    HKEY direct3D = nullptr;  // opened relative to an open key
    ASSERT_EQ(RegOpenKeyExA(key, "Direct3D", 0, KEY_READ, &direct3D), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    DWORD value = 0;
    DWORD size = 0;
    const auto data = reinterpret_cast<LPBYTE>(&value);
    EXPECT_EQ(RegQueryValueExA(direct3D, "D3DX", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(RegQueryValueExA(direct3D, "DisableMMX", nullptr, nullptr, data, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(direct3D, "D3DX", &size, nullptr, data, &size),
              ERROR_INVALID_PARAMETER);  // reserved must be null
    EXPECT_EQ(RegQueryValueExA(direct3D, "D3DX", nullptr, nullptr, data, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDirect3DKey, 0, KEY_READ, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCloseKey(direct3D), ERROR_SUCCESS);
    // A closed handle stays dead.
    EXPECT_EQ(RegQueryValueExA(key, "D3DX", nullptr, nullptr, data, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(key, "Direct3D", 0, KEY_READ, &direct3D), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
}

struct ParseCase {
    const char* text;
    std::optional<DWORD> value;  // nothing: malformed
    friend void PrintTo(const ParseCase& c, std::ostream* os) {
        *os << '"' << Printable(c.text) << '"';
    }
};

class EnvironmentParseTest : public SettingsStoreTest,
                             public testing::WithParamInterface<ParseCase> {};

TEST_P(EnvironmentParseTest, AcceptsDecimalAndHexAndWarnsOnceAboutTheRest) {
    setenv("VELLORN_D3DX_ASSERT", GetParam().text, 1);
    testing::internal::CaptureStderr();
    ReloadSettingsFromEnvironment();
    const std::string warning = testing::internal::GetCapturedStderr();
    EXPECT_EQ(ReadDword(kDirect3DKey, "D3DX"), GetParam().value);
    if (GetParam().value) {
        EXPECT_EQ(warning, "");
    } else {
        EXPECT_NE(warning.find("VELLORN_D3DX_ASSERT"), std::string::npos) << warning;
        EXPECT_EQ(warning.find('\n'), warning.size() - 1) << warning;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, EnvironmentParseTest,
    testing::Values(ParseCase{"3", 3u}, ParseCase{"0x1F", 31u},
                    ParseCase{"0XfFfFfFfF", 0xFFFFFFFFu}, ParseCase{"-1", 0xFFFFFFFFu},
                    ParseCase{"4294967295", 0xFFFFFFFFu}, ParseCase{"4294967296", std::nullopt},
                    ParseCase{"-2147483649", std::nullopt}, ParseCase{"0x100000000", std::nullopt},
                    ParseCase{"0x", std::nullopt}, ParseCase{"0x-1", std::nullopt},
                    ParseCase{"0x1Fg", std::nullopt}, ParseCase{"12abc", std::nullopt},
                    ParseCase{" 5", std::nullopt}, ParseCase{"+5", std::nullopt}));

struct VariableCase {
    const char* variable;
    bool profile;      // profile key "debug" of section "Direct3D", else a registry value
    const char* name;  // registry value name below the Direct3D key
    friend void PrintTo(const VariableCase& c, std::ostream* os) { *os << c.variable; }
};

class EnvironmentVariableTest : public SettingsStoreTest,
                                public testing::WithParamInterface<VariableCase> {};

TEST_P(EnvironmentVariableTest, EachVariableFillsItsOwnSettingOnly) {
    setenv(GetParam().variable, "42", 1);
    ReloadSettingsFromEnvironment();
    EXPECT_EQ(GetProfileIntA("Direct3D", "debug", 0), GetParam().profile ? 42u : 0u);
    for (const char* name :
         {"D3DXDoNotMute", "D3DX", "DisableMMX", "DisablePSGP", "DisableD3DXPSGP"}) {
        const bool mine = !GetParam().profile && std::string(name) == GetParam().name;
        EXPECT_EQ(ReadDword(kDirect3DKey, name), mine ? std::optional<DWORD>(42u) : std::nullopt)
            << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Variables, EnvironmentVariableTest,
    testing::Values(VariableCase{"VELLORN_D3DX_DEBUG", true, ""},
                    VariableCase{"VELLORN_D3DX_DONOTMUTE", false, "D3DXDoNotMute"},
                    VariableCase{"VELLORN_D3DX_ASSERT", false, "D3DX"},
                    VariableCase{"VELLORN_DISABLE_MMX", false, "DisableMMX"},
                    VariableCase{"VELLORN_DISABLE_PSGP", false, "DisablePSGP"},
                    VariableCase{"VELLORN_DISABLE_D3DX_PSGP", false, "DisableD3DXPSGP"}));

TEST_F(SettingsStoreTest, ClearedStoreDoesNotReadTheEnvironmentAgain) {
    setenv("VELLORN_D3DX_DEBUG", "4", 1);
    setenv("VELLORN_DISABLE_MMX", "1", 1);
    ReloadSettingsFromEnvironment();
    EXPECT_EQ(GetProfileIntA("Direct3D", "debug", 0), 4u);
    ClearSettings();
    EXPECT_EQ(GetProfileIntA("Direct3D", "debug", 0), 0u);
    EXPECT_EQ(ReadDword(kDirect3DKey, "DisableMMX"), std::nullopt);
    EXPECT_EQ(GetProfileIntA("Direct3D", "debug", 0), 0u);
}

// The first use of the store fills it from the environment. A death test in
// its own freshly started process is the only place where the store has not
// been used yet.
TEST(SettingsStoreDeathTest, FirstUseReadsTheEnvironment) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    setenv("VELLORN_D3DX_DEBUG", "0x7", 1);
    setenv("VELLORN_DISABLE_MMX", "junk", 1);
    EXPECT_EXIT(std::exit(GetProfileIntA("Direct3D", "debug", 0) == 7 ? 0 : 1),
                testing::ExitedWithCode(0), "VELLORN_DISABLE_MMX=\"junk\"");
    unsetenv("VELLORN_D3DX_DEBUG");
    unsetenv("VELLORN_DISABLE_MMX");
}

}  // namespace

// A locale whose decimal separator is a comma, for the tests that check that
// numbers are read and the caller's locale is kept whatever locale the
// caller runs. The build compiles de_DE with UTF-8 from the system's locale
// sources into VELLORN_TEST_LOCALE_DIR (tests/CMakeLists.txt), so no locale
// has to be installed on the machine; glibc looks there while LOCPATH names
// the folder, which it does only while the locale is loaded.
#pragma once

#include <locale.h>
#include <stdlib.h>

#include <optional>
#include <string>

inline constexpr char kDecimalCommaLocale[] = "de_DE.UTF-8";

// The result of load, run while LOCPATH names the build's locale folder
// (when the build made it); LOCPATH is put back afterwards.
template <typename Load>
auto WithTestLocales(Load load) {
#ifdef VELLORN_TEST_LOCALE_DIR
    const char* current = getenv("LOCPATH");
    const std::optional<std::string> previous =
        current != nullptr ? std::optional<std::string>(current) : std::nullopt;
    setenv("LOCPATH", VELLORN_TEST_LOCALE_DIR, 1);
    const auto result = load();
    if (previous) {
        setenv("LOCPATH", previous->c_str(), 1);
    } else {
        unsetenv("LOCPATH");
    }
    return result;
#else
    return load();
#endif
}

// Sets every category of the process's locale to the decimal-comma locale;
// false when it cannot be loaded.
inline bool SetProcessDecimalCommaLocale() {
    return WithTestLocales([] { return setlocale(LC_ALL, kDecimalCommaLocale) != nullptr; });
}

// A new locale object of the decimal-comma locale, or null when it cannot
// be loaded. It is copied from the process's locale while that is set to it
// for a moment: newlocale keeps the list it makes of LOCPATH's folders
// (glibc 2.36), setlocale frees it.
inline locale_t NewDecimalCommaLocale() {
    const std::string previous = setlocale(LC_ALL, nullptr);
    if (!SetProcessDecimalCommaLocale()) {
        return static_cast<locale_t>(nullptr);
    }
    const locale_t copy = duplocale(LC_GLOBAL_LOCALE);
    setlocale(LC_ALL, previous.c_str());
    return copy;
}

// Why a test that needs the locale cannot run.
inline constexpr char kNoDecimalCommaLocale[] =
    "the de_DE.UTF-8 locale could not be made: install the locales package (scripts/setup) and "
    "configure again";

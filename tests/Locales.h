#pragma once

#include <clocale>
#include <gtest/gtest.h>
#include <locale.h>
#include <string>
#include <unistd.h>

// Locales whose numbers look least like the C locale's: Pashto writes its decimal point as a
// two-byte character (U+066B), German as a comma. scripts/install-deps.sh makes both.
inline constexpr const char* kTwoBytePointLocale = "ps_AF.UTF-8";
inline constexpr const char* kCommaLocale = "de_DE.UTF-8";

inline bool haveLocale(const char* name) {
    const locale_t probe = newlocale(LC_ALL_MASK, name, locale_t(nullptr));
    if (probe)
        freelocale(probe);
    return probe != locale_t(nullptr);
}

// A missing locale fails the test where the dependency script could have made it (as root, in
// CI), and skips it elsewhere.
#define REQUIRE_LOCALE(name)                                                                       \
    if (!haveLocale(name)) {                                                                       \
        if (geteuid() == 0)                                                                        \
            FAIL() << "The locale " << (name) << " is missing: run scripts/install-deps.sh.";      \
        GTEST_SKIP() << "The locale " << (name)                                                    \
                     << " is missing (scripts/install-deps.sh as root).";                          \
    }

// The C library's locale of this process set to `name` while this lives, as QCoreApplication sets
// it from the environment.
class ProcessLocale {
public:
    explicit ProcessLocale(const char* name) : saved_(std::setlocale(LC_ALL, nullptr)) {
        std::setlocale(LC_ALL, name);
    }
    ~ProcessLocale() { std::setlocale(LC_ALL, saved_.c_str()); }
    ProcessLocale(const ProcessLocale&) = delete;
    ProcessLocale& operator=(const ProcessLocale&) = delete;

private:
    std::string saved_;
};

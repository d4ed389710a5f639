#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <string>

// Locales whose numbers look least like the C locale's: Pashto writes its decimal point as a
// two-byte character (U+066B), German as a comma.
inline constexpr const char* kTwoBytePointLocale = "ps_AF.UTF-8";
inline constexpr const char* kCommaLocale = "de_DE.UTF-8";

// The C library's locale of this process set to `name` while this lives, as QCoreApplication sets
// it from the environment. A locale the system lacks is compiled from the system's locale sources
// (the locales package) into a private folder; ok() is false, with the reason, only when neither
// works.
class ProcessLocale {
public:
    explicit ProcessLocale(const char* name);
    ~ProcessLocale();
    ProcessLocale(const ProcessLocale&) = delete;
    ProcessLocale& operator=(const ProcessLocale&) = delete;

    bool ok() const { return error_.isEmpty(); }
    QString error() const { return error_; }

private:
    std::string saved_;
    QString error_;
    bool setPath_ = false;
};

// The environment of a child process running under the locale `name` (LC_ALL, and LOCPATH when
// the locale had to be compiled); `error` says why when it cannot be had.
QProcessEnvironment localeEnvironment(const char* name, QString* error);

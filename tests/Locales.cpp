#include "Locales.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace {

bool systemHas(const char* name) {
    const locale_t probe = newlocale(LC_ALL_MASK, name, locale_t(nullptr));
    if (probe)
        freelocale(probe);
    return probe != locale_t(nullptr);
}

// The folder to put in LOCPATH for `name`: empty when the system has the locale.
QString localePath(const char* name, QString* error) {
    if (systemHas(name))
        return {};
    static QTemporaryDir compiled;
    const QString locale = QString::fromLatin1(name);
    const QString target = compiled.filePath(locale);
    if (QFile::exists(target))
        return compiled.path();
    QProcess localedef;
    localedef.setProcessChannelMode(QProcess::MergedChannels);
    localedef.start(QStringLiteral("localedef"),
                    {QStringLiteral("-i"), locale.section(u'.', 0, 0), QStringLiteral("-f"),
                     locale.section(u'.', 1), target});
    const bool done = compiled.isValid() && localedef.waitForFinished(60000) &&
                      localedef.exitStatus() == QProcess::NormalExit && localedef.exitCode() == 0;
    if (done)
        return compiled.path();
    *error = QStringLiteral("The locale %1 is not installed and localedef could not make it (%2); "
                            "scripts/install-deps.sh installs the locales package and makes it.")
                 .arg(locale, localedef.errorString() + QLatin1Char(' ') +
                                  QString::fromLocal8Bit(localedef.readAll()).trimmed());
    return {};
}

} // namespace

ProcessLocale::ProcessLocale(const char* name) : saved_(std::setlocale(LC_ALL, nullptr)) {
    const QString path = localePath(name, &error_);
    if (!error_.isEmpty())
        return;
    if (!path.isEmpty()) {
        setPath_ = true;
        qputenv("LOCPATH", QFile::encodeName(path));
    }
    if (!std::setlocale(LC_ALL, name))
        error_ = QStringLiteral("The locale %1 could not be set.").arg(QString::fromLatin1(name));
}

ProcessLocale::~ProcessLocale() {
    std::setlocale(LC_ALL, saved_.c_str());
    if (setPath_)
        qunsetenv("LOCPATH");
}

QProcessEnvironment localeEnvironment(const char* name, QString* error) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString path = localePath(name, error);
    if (!path.isEmpty())
        env.insert(QStringLiteral("LOCPATH"), path);
    env.insert(QStringLiteral("LC_ALL"), QString::fromLatin1(name));
    return env;
}

#include "cli/Cli.h"

#include <cstdio>

namespace pm::cli {

void printError(const QString& message) {
    std::fprintf(stderr, "phasemeter-cli: %s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
}

bool printOut(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) ==
               size_t(bytes.size()) &&
           std::fflush(stdout) == 0;
}

int usageError(const QString& command, const QString& message) {
    printError(QStringLiteral("%1: %2 See phasemeter-cli %1 --help.").arg(command, message));
    return kExitUsage;
}

QCommandLineOption portOption() {
    return QCommandLineOption(
        QStringLiteral("port"),
        QStringLiteral("The meter's serial device (e.g. /dev/ttyUSB0); without it, the meter is "
                       "looked for on COM1 to COM16."),
        QStringLiteral("DEV"));
}

std::optional<int> parseArguments(QCommandLineParser& parser, const QString& command,
                                  const QString& usage, const QString& description,
                                  const QStringList& arguments) {
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    parser.addOption(help);
    QStringList argv = arguments;
    argv.prepend(QStringLiteral("phasemeter-cli ") + command);
    if (!parser.parse(argv))
        return usageError(command, parser.errorText());
    if (parser.isSet(help)) {
        const QString table = parser.helpText();
        printOut(QStringLiteral("Usage: phasemeter-cli ") + usage + QStringLiteral("\n\n") +
                 description + QStringLiteral("\n\n") +
                 table.mid(table.indexOf(QStringLiteral("Options:"))));
        return kExitOk;
    }
    return std::nullopt;
}

} // namespace pm::cli

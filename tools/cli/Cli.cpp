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

std::optional<int> parseArguments(QCommandLineParser& parser, const QString& command,
                                  const QString& usage, const QString& description,
                                  const QStringList& arguments) {
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    parser.addOption(help);
    QStringList argv = arguments;
    argv.prepend(QStringLiteral("phasemeter-cli ") + command);
    if (!parser.parse(argv)) {
        printError(QStringLiteral("%1: %2 See phasemeter-cli %1 --help.")
                       .arg(command, parser.errorText()));
        return kExitUsage;
    }
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

#include "cli/Cli.h"
#include "platform/FileSizeSignal.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstring>
#include <memory>

namespace {

QString overview() {
    QString text =
        QStringLiteral("Usage: phasemeter-cli <command> [options]\n"
                       "\n"
                       "Talks to the two-channel phase and volt-ampere meter on a serial port.\n"
                       "\n"
                       "Commands:\n");
    for (const pm::cli::Command& c : pm::cli::commands())
        text +=
            QStringLiteral("  %1%2\n")
                .arg(QString::fromLatin1(c.name).leftJustified(10), QString::fromUtf8(c.summary));
    text += QStringLiteral(
        "\n"
        "phasemeter-cli <command> --help describes a command. Without --port, the meter is\n"
        "looked for on COM1 to COM16: the serial devices of the system, or those listed in\n"
        "PHASEMETER_PORTS (separated by ':').\n"
        "\n"
        "Exit status: 0 on success, 1 when the meter, the port or the output failed, 2 when\n"
        "the command line is wrong.\n");
    return text;
}

} // namespace

int main(int argc, char** argv) {
    // A job's report is drawn with fonts, which only a GUI application has; it needs no screen.
    const bool drawing =
        argc > 2 && std::strcmp(argv[1], "job") == 0 && std::strcmp(argv[2], "report") == 0;
    if (drawing && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> application =
        drawing ? std::make_unique<QGuiApplication>(argc, argv)
                : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication& app = *application;
    pm::ignoreFileSizeSignal();
    QCoreApplication::setApplicationName(QStringLiteral("phasemeter-cli"));
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        pm::cli::printError(QStringLiteral("Name a command. See phasemeter-cli --help."));
        return pm::cli::kExitUsage;
    }
    const QString& name = args.first();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") ||
        name == QLatin1String("help")) {
        return pm::cli::printOut(overview()) ? pm::cli::kExitOk : pm::cli::kExitFailure;
    }
    for (const pm::cli::Command& c : pm::cli::commands())
        if (name == QLatin1String(c.name))
            return c.run(args.mid(1));
    pm::cli::printError(
        QStringLiteral("Unknown command \"%1\". See phasemeter-cli --help.").arg(name));
    return pm::cli::kExitUsage;
}

#include "cli/Cli.h"
#include "cli/HexBlock.h"
#include "cli/ReadingFormat.h"
#include "protocol/Decode.h"
#include "protocol/Reading.h"

#include <QList>

namespace pm::cli {

int runDecode(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("hex"), QStringLiteral("A measurement block."),
                                 QStringLiteral("HEX..."));
    if (const auto done =
            parseArguments(parser, QStringLiteral("decode"), QStringLiteral("decode HEX..."),
                           QStringLiteral("Applies each 22-byte measurement block in turn, as "
                                          "successive live replies, to a panel\n"
                                          "that starts with its initial texts, and prints the "
                                          "report of the result.\n"
                                          "Write a block as 44 hex digits; quote it when it has "
                                          "blanks:\n"
                                          "  phasemeter-cli decode \"F0 55 00 00 39 30 00 00 01 "
                                          "01 02 02 00 00 00 00 58 02 00 00 88 13\""),
                           arguments))
        return *done;

    const QStringList hex = parser.positionalArguments();
    if (hex.isEmpty())
        return usageError(QStringLiteral("decode"),
                          QStringLiteral("give at least one block in hex."));
    QList<QByteArray> blocks;
    for (qsizetype n = 0; n < hex.size(); ++n) {
        QString error;
        const auto block = blockFromHex(hex[n], error);
        if (!block) {
            return usageError(QStringLiteral("decode"),
                              QStringLiteral("block %1 is not a measurement block: %2; a block is "
                                             "22 bytes, 44 hex digits (quote a block written with "
                                             "blanks).")
                                  .arg(n + 1)
                                  .arg(error));
        }
        blocks << *block;
    }

    Panel panel;
    for (const QByteArray& block : blocks)
        livein(block, panel);
    if (!printOut(reportText(panel))) {
        printError(QStringLiteral("Cannot write to standard output."));
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace pm::cli

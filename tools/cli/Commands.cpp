#include "cli/Cli.h"

namespace pm::cli {

int runScan(const QStringList& arguments);
int runLive(const QStringList& arguments);
int runDecode(const QStringList& arguments);
int runRecords(const QStringList& arguments);
int runWiring(const QStringList& arguments);
int runJob(const QStringList& arguments);

// A new subcommand is one file with its run function, and one line here.
std::span<const Command> commands() {
    static const Command table[] = {
        {"scan", "Find the meter on COM1 to COM16 and print its port.", runScan},
        {"live", "Print the live readings once a second, as a report or as CSV.", runLive},
        {"decode", "Print the report of measurement blocks given in hex.", runDecode},
        {"records", "Download the stored records into a text, xlsx or CSV file.", runRecords},
        {"wiring", "Check the meter's connections from one reading and print the verdict.",
         runWiring},
        {"job", "Keep field jobs: checks as found and as left, and the energy to back-bill.",
         runJob},
    };
    return table;
}

} // namespace pm::cli

// Any reply bytes under any lastcmd, linked or not, into the live panel or a block of the table.
#include "fakes/FakeSerialPort.h"
#include "protocol/Download.h"
#include "protocol/MeterCore.h"
#include "records/RecordTable.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    static FakeSerialPort port;
    static pm::RecordTable table;
    static pm::MeterCore core(port, &table);
    if (!port.isOpen())
        port.open();
    int lastcmd = (data[0] | data[1] << 8) & 0x7FFF;
    // Record indices grow the table to 6 x k rows, which is slow under the sanitizers: small ones
    // keep runs fast, and the five high flag bits all set let any index through.
    const bool anyIndex = (data[2] & 0xF8) == 0xF8;
    if (!anyIndex && lastcmd <= 10000)
        lastcmd %= 64;
    core.form.lastcmd = lastcmd;
    core.form.linked = (data[2] & 1) ? pm::kTrue : pm::kFalse;
    core.form.realview = (data[2] & 2) ? pm::kTrue : pm::kFalse;
    const QByteArray reply(reinterpret_cast<const char*>(data + 3), qsizetype(size - 3));
    if (data[2] & 4) {
        // A record reply straight into the table, for any index up to 32767.
        pm::recordin(anyIndex ? lastcmd : lastcmd % 64, reply, table);
    } else {
        port.threshold = 0;
        port.receive(reply);
    }
    table.gridinit(); // each run starts from the initial table
    port.log.clear();
    port.writes.clear();
    return 0;
}

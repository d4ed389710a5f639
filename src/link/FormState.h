#pragma once

#include "link/Timer.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace pm {

// Booleans of the form are -1 for true and 0 for false.
inline constexpr int kTrue = -1;
inline constexpr int kFalse = 0;

// What the window shows of the link and which buttons it offers; the window only displays it.
struct LinkCaptions {
    QString label1 = QStringLiteral("Com Status"); // port status
    QString label1Tip;                             // the device behind the port, why an open failed
    QString label2 = QStringLiteral("Unconnect");  // link status
    bool readEnabled = true;                       // Command1, "Read"
    bool saveEnabled = true;                       // Command2, "Save"
};

// How a record download paces its requests: one per Readdat tick (the meter's documented rate),
// or the next as soon as the reply to the last one is in, with the tick as the fallback.
enum class Pacing { Fixed, Reply };

// A record download beyond recindex: after the paced pass, records whose block holds no reading
// are asked for again.
struct DownloadState {
    Pacing pacing = Pacing::Fixed;
    int pass = 0;           // 0 the paced pass over every record; 1, 2 asking again
    QList<int> again;       // the records the current extra pass asks for
    int againSent = 0;      // how many of them have been asked for
    int asked = 0;          // the record the last request asked for
    bool refilling = false; // a reply fills its block without cutting the table back; kept after
                            // the end, for a reply that comes late
    bool counted = false;   // the count of this download came
    // How the last download ended: the records that did not arrive, and whether the link was lost.
    QList<int> missing;
    bool linkLost = false;
};

// The form-level state shared by the handlers of the window, the command-line tool and the tests.
struct FormState {
    int portno = 1;       // next port to try, 1 to 16
    int linked = kFalse;  // the instrument answered the handshake
    int realview = kTrue; // -1 real-time view shown, 0 recall view
    int lastcmd = 0;      // code of the last command actually written; gives each reply its meaning
    int waitcount = 0;    // COMtimout ticks since the last receive event
    int reccount = 0;     // records reported by the last count reply
    int recindex = 0;     // next record to request; 0 outside a download
    bool awaitingCount = false; // "Read" asked for the count and no count reply has come yet
    QByteArray inbuf;           // bytes of the last receive event
    DownloadState download;

    LinkCaptions ui;

    Timer Findcom{500, false};
    Timer COMtimout{1000, true};
    Timer comunication{1000, true};
    Timer Readdat{100, false};
    Timer Timer1{1000, true};
};

} // namespace pm

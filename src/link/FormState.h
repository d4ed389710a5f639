#pragma once

#include "link/Timer.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <chrono>
#include <functional>
#include <vector>

namespace pm {

inline qint64 steadyClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

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

// A record download beyond recindex. Replies name no record, so each is judged by what the line
// did around it: one request at a time and, after a time-out, nothing sent until the meter has
// answered it or cannot any more; a request that draws two replies files neither. After the paced
// pass, the records this download has not received are asked for again.
struct DownloadState {
    Pacing pacing = Pacing::Fixed;
    int pass = 0;      // 0 the paced pass over every record; 1, 2 asking again
    QList<int> again;  // the records the current extra pass asks for
    int againSent = 0; // how many of them have been asked for
    // Received by this download, by record number: a block filled by an earlier one counts not.
    std::vector<bool> received;

    // The request on the line: the record asked for (0 none), when, and what became of it.
    int asked = 0;
    qint64 askedAt = 0;
    bool windowOver = false; // its time passed without a whole reply: the meter may still owe it
    int replies = 0;         // whole replies that came for it
    bool inDoubt = false;    // its reply may not be filed: the line carried more than one reply
    QByteArray reply;        // the first whole reply
    qint64 repliedAt = 0;
    qint64 quietFrom = 0;  // the line has carried nothing since
    int quietMs = 0;       // before the first request: how long after the count it goes out
    qint64 bytesSeen = 0;  // bytes of no whole reply waiting at the last look
    int replyWaitMs = 100; // reply pacing's time for a reply, learned from the meter's replies
    int lateReplies = 0;   // replies filed though they came after their request's time
    // Replies that no reading can have, by record: filed only when the meter sends them twice.
    QHash<int, QByteArray> impossible;

    int countAsks = 0;            // count requests of this download
    bool counted = false;         // the count of this download came
    bool countUnreadable = false; // every count reply was garbled or cut short
    // How the last download ended: the records that did not arrive, those the meter holds damaged
    // (filed as sent), and whether the link was lost.
    QList<int> missing;
    QList<int> damaged;
    bool linkLost = false;
};

// The form-level state shared by the handlers of the window, the command-line tool and the tests.
struct FormState {
    int portno = 1;       // next port to try, 1 to 16
    int linked = kFalse;  // the instrument answered the handshake
    int realview = kTrue; // -1 real-time view shown, 0 recall view
    // A recording or a publisher takes every live reading: polling asks for them on any view.
    bool liveWanted = false;
    int lastcmd = 0;   // code of the last command actually written; gives each reply its meaning
    int waitcount = 0; // COMtimout ticks since the last receive event
    int reccount = 0;  // records reported by the last count reply
    int recindex = 0;  // next record to request; 0 outside a download
    bool awaitingCount = false; // "Read" asked for the count and no count reply has come yet
    qint64 lastSentAt = -1;     // when the last command went out
    qint64 lastReplyAt = -1;    // when the last receive event came
    QByteArray inbuf;           // bytes of the last receive event
    DownloadState download;
    // Milliseconds on a steady clock; tests put a clock of their own here.
    std::function<qint64()> now = steadyClockMs;

    LinkCaptions ui;

    Timer Findcom{500, false};
    Timer COMtimout{1000, true};
    Timer comunication{1000, true};
    Timer Readdat{100, false};
    Timer Timer1{1000, true};
};

} // namespace pm

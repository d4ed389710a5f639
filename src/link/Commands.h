#pragma once

namespace pm {

// Command codes. 1 to 10000 request the stored record of that index.
inline constexpr int CmdLink = 11000;  // link check and keep-alive
inline constexpr int CmdCount = 12000; // number of stored records
inline constexpr int CmdLive = 13000;  // live readings
inline constexpr int kMaxRecordCode = 10000;

// Replies carry nothing that names their request: the length expected is known from the code alone.
int replyLength(int code);

} // namespace pm

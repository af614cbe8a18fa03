// serve_batch.h - the server's side of one exchange: carry out the records that
// a client laid in a 32768-byte block against the simulator's data.
//
// Pure code, shared by simstandin.exe and the native tests' fake server. It reads
// the block as a server must: whatever a client wrote there, it never touches a
// byte outside the block or the simulator data. Reads of simulator data beyond its
// end yield zero bytes; writes beyond its end are dropped.
#pragma once

#include <cstddef>
#include <cstdint>

struct ServeStats {
    uint32_t reads;  // read records carried out
    uint32_t writes; // write records carried out
    bool malformed;  // the walk met an unknown type or a record running off the block
    // The batch's length as served: its records and its end marker; for a
    // malformed batch, the records carried out before the one that broke the walk.
    size_t bytes;
};

// Walks records from the block's first byte until a type of 0, an unknown type,
// or a record that would not fit in the block.
ServeStats ServeBatch(uint8_t* block, size_t blockSize, uint8_t* simData, size_t simSize);

// Header tampering, to try a client's walk against a broken server. Applied to
// the block after the batch has been served.
enum class Tamper : int {
    None = 0,
    FirstType,    // first record's type becomes 7 (an unknown type)
    FirstSize,    // first record's size becomes 0x7FFFFFFF
    EndMarker,    // the end marker becomes a read type, pointing past the batch
    SecondOffset, // the second record's offset field changes
    Garbage,      // every header byte of the batch is overwritten with 0xA5
};

// Changes the headers of the batch in the block as `how` says. Safe on any block.
void TamperBatch(uint8_t* block, size_t blockSize, Tamper how);

// Parses "none", "type", "size", "end", "offset", "garbage"; false if unknown.
bool ParseTamper(const char* text, Tamper* how);

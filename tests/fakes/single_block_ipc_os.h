// single_block_ipc_os.h - the IPC client's OS operations for programs that drive
// it at full speed with no server process: every open succeeds on one static
// block, pauses return at once, and the last error is 0. The program itself
// defines IpcOsSend, which plays the server on singleBlock.
#pragma once

#include <cstdint>

#include "ipc_client.h"

extern uint8_t singleBlock[kIpcBlockSize];

// settings_writer.h - a small INI writer: create (the file is emptied at once),
// select a group, write integer keys, close (the whole text is composed in
// memory and written in one write, which also ends the file).
//
// Contract
// - Create opens the file for reading and writing, shared with other programs
//   for reading only. On failure the writer has no file and every later call
//   does nothing; nothing is shown and nothing is reported.
// - A group that does not exist yet is created when its first key is written,
//   after all entries present so far. A key is added after the last entry of the
//   current group; a key the group already holds (matched without regard to
//   case) gets the new value in its place.
// - Text: "[group]" and "key = value" lines, each ended by CR LF, values with
//   "%i". Without memory for the text at close nothing is written (the file
//   stays empty); a short write is not detected.
// - The file operations sit behind settings_file.h (Win32 or POSIX).
#pragma once

#include <cstddef>
#include <cstdint>

void SettingsCreate(const char* fileName);
void SettingsSelectGroup(const char* group);
void SettingsWriteInt(const char* key, int32_t value);
void SettingsClose();

// The text Close would write for the entries so far, into out (capacity bytes,
// no terminator). Returns the text's length; when it exceeds capacity nothing
// useful is in out. For tests.
size_t SettingsComposeForTest(char* out, size_t capacity);

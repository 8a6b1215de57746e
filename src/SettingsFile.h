#pragma once

#include <cstddef>
#include <optional>
#include <string>

// Finds the settings record (SettingsRecord.h) in a file Orbivane saved,
// telling the format by its first bytes, not its name: a PNG's text chunk
// of that keyword before its image data, a PLY header's or a leading OBJ
// comment, a glb's asset.extras member, a JSON document's top-level member.
// Only the first SETTINGS_FILE_HEAD bytes are read, and only from a regular
// file: a FIFO, a device or a directory is refused without waiting on it.

// Bytes read from the start of a file at most; every record is written there.
inline constexpr std::size_t SETTINGS_FILE_HEAD = 256 * 1024;

// The record in the file at path; nothing, with one line saying why in why,
// when it cannot be read, is not a format Orbivane saves or holds no record.
std::optional<std::string> readSettingsRecord(const std::string& path, std::string& why);

#pragma once

// File names as the file chooser shows them. GIO shows a name that is not in the file system's
// encoding with U+FFFD for each bad sequence and a note after it (" (invalid encoding)", in the
// desktop's language), and the chooser answers by that shown name what the user typed or
// completed in its location field, or picked from a save chooser's list: the path of a file that
// does not exist.

#include <string>
#include <string_view>

namespace kelvo::standin {

// The name `shown` stands for as far as it can be read: without the note GIO adds to a name that
// holds U+FFFD ("caf\uFFFD.vrs (invalid encoding)" reads "caf\uFFFD.vrs"), any other as it is.
std::string_view nameShownAs(std::string_view shown);

// The name GIO shows for a file named `name` (in the file system's bytes): as it is when it is
// UTF-8, otherwise with U+FFFD for each bad sequence and GIO's note after it.
std::string shownFileName(std::string_view name);

// The file a save chooser's answer `path` stands for when it was given the name `given` (in the
// file system's bytes): `given` in the answer's folder when `given` is not UTF-8 and the answer's
// name is still the one shown for it, whatever else in that folder is shown alike; otherwise
// pathOfShownFile(path).
std::string pathOfSaveAnswer(const std::string& path, std::string_view given);

// The file `path` stands for: `path` itself, unless nothing is there and its last part is a name
// as GIO shows one that holds U+FFFD, and exactly one entry of its folder is shown under that
// name: then that entry's path, in the file system's own bytes.
std::string pathOfShownFile(const std::string& path);

}  // namespace kelvo::standin

// The rule for the sound key's "file": which paths the settings program
// stores and plays, and orvane-card's doctor accepts.
#ifndef ORVANE_STORE_SOUND_PATH_H
#define ORVANE_STORE_SOUND_PATH_H

namespace orvane {

constexpr int kMaxSoundPathLength = 259;

// The logon component opens the stored file as SYSTEM at the logon screen,
// so only a plain full path on a local drive is taken: "X:\" and then
// components separated by single backslashes, at most 259 characters. No
// UNC, device or namespace path (anything starting "\\"), no drive-relative
// or relative path, no forward slash, no second colon (a stream), no
// wildcard (* ? < > "), no '|' or control character, no empty, "." or ".."
// component, no component ending in a dot or a space (Windows drops those,
// so another file would be opened than the one named) and no DOS device
// name (CON, NUL, COM1, ...) as a component. Only the text is looked at.
bool IsAllowedSoundPath(const char16_t* path);

}  // namespace orvane

#endif

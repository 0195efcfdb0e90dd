#pragma once
// The engine's own English texts. The utility searches some of them for fixed phrases ("file of
// the same name", "No update done since file contents do not match", "Insufficient Storage",
// "N bytes", "Applying", "New Version"): keep those phrases when rewording.
#include <cstdint>
#include <string>

namespace tpe {

inline std::string MismatchText(const std::string& name) {
    return name +
           ": a file of the same name exists, but it matches neither the old nor the new "
           "version; it is left as it is";
}
// Permission bits as "rwxr-xr-x".
inline std::string ModeLetters(uint16_t mode) {
    std::string text = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) {
        if ((mode & (0400 >> bit)) == 0) {
            text[size_t(bit)] = '-';
        }
    }
    return text;
}
inline std::string ModeText(const std::string& name, uint16_t found, uint16_t recorded) {
    return name + ": the new version is in place, but with the permissions " + ModeLetters(found) +
           " instead of " + ModeLetters(recorded) + "; an update sets them";
}
inline std::string MissingText(const std::string& name) {
    return "No update done since file contents do not match: " + name + " is missing";
}
inline std::string UnsafeText(const std::string& name) {
    return "No update done: " + name + " is reached through a link or is not a regular file";
}
inline std::string UnreadableText(const std::string& name) {
    return "No update done: " + name + " cannot be read";
}
inline std::string TooLongText(const std::string& name, size_t limit) {
    return "No update done: " + name + " cannot be reached, its path in the installation is " +
           "longer than Windows allows (" + std::to_string(limit) + " characters)";
}
inline std::string SpaceText(uint64_t bytes) {
    return "Insufficient Storage, " + std::to_string(bytes) + " bytes needed";
}
inline std::string ApplyingText(const std::string& name, const char* what) {
    return std::string("Applying patch to ") + name + what;
}
inline std::string NewVersionText(const std::string& name) {
    return name + ": New Version already in place";
}
inline std::string JournalText() {
    return "Cannot write the update journal in the installation folder";
}
// Notices (message 11) of a run that found an apply interrupted by a killed process.
inline std::string RecoveredForwardText() {
    return "An interrupted update was completed: the installation is at the new version";
}
inline std::string RecoveredBackText() {
    return "An interrupted update was rolled back: the installation is as it was before";
}
inline std::string RecoveryFailedText(const std::string& why) {
    return "Cannot recover the interrupted update: " + why +
           ". Nothing else was done; the next run tries again";
}
inline std::string JournalUnusableText(const std::string& journal, const std::string& why) {
    return "The journal " + journal + " of an interrupted update cannot be used: " + why +
           ". Nothing was changed; keep the file for support";
}
inline std::string ReadOnlyQuestion(const std::string& name) {
    return name + " is read-only. Replace it anyway? (Y/N)";
}

}  // namespace tpe

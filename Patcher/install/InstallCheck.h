#pragma once
// The installation check that comes before anything is written: which version is installed,
// whether its key files are intact, and whether this patch is meant for it.

class PatchDescription;

enum class InstallCheckResult {
    Pass,          // the installation matches; the update goes on
    StopFailed,    // stop, and count it as a failure (the Error Report is offered)
    StopNoChange,  // stop without a failure: nothing needed doing, or another version
};

// Writes its findings to the log pane and returns the verdict.
InstallCheckResult CheckInstallation(PatchDescription& description);

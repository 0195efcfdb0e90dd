#include "patchinfo/PatchDescription.h"

PatchDescription* g_patchDescription = nullptr;

PatchDescription::PatchDescription() {
    g_patchDescription = this;
}

PatchDescription::~PatchDescription() {
    if (g_patchDescription == this) {
        g_patchDescription = nullptr;
    }
}

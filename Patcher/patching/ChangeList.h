#pragma once
// After a successful update: the offer to open the list of changes in the user's language.

class PatchDescription;

// Asks; on Yes the shell opens the change list from the installation folder.
void OfferChangeList(const PatchDescription& description);
